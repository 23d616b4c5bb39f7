#include "wine_show.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace tarn::e2e::wine {

namespace {

std::string Hex(uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", colour);
    return text;
}

std::string Colour(uint32_t colour, int width, int height) {
    return "color=c=0x" + Hex(colour) + ":s=" + std::to_string(width) + "x" + std::to_string(height);
}

bool Ffmpeg(std::vector<std::string> arguments, const std::string& log) {
    std::vector<std::string> argv{"ffmpeg", "-hide_banner", "-loglevel", "error", "-y"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunToEnd(argv, 120000, {}, log) == 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

bool MakeStill(const std::string& path, uint32_t colour, int width, int height, const std::string& log) {
    return Ffmpeg({"-f", "lavfi", "-i", Colour(colour, width, height), "-frames:v", "1", "-q:v", "2", path}, log);
}

bool MakeTone(const std::string& path, double seconds, const std::string& log) {
    return Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=660:d=" + std::to_string(seconds), path}, log);
}

bool MakeClip(const std::string& path, uint32_t first, uint32_t second, int width, int height,
              const std::string& log) {
    std::vector<std::string> arguments{
        "-f", "lavfi", "-i", Colour(first, width, height) + ":r=25:d=1",
        "-f", "lavfi", "-i", Colour(second, width, height) + ":r=25:d=1",
        "-f", "lavfi", "-i", "sine=frequency=440:d=2",
        "-filter_complex", "[0:v][1:v]concat=n=2:v=1:a=0[v]", "-map", "[v]", "-map", "2:a"};
    if (EndsWith(path, ".mp4")) {
        // As a phone makes it: H.264 (4:2:0) and AAC, the index at the front.
        arguments.insert(arguments.end(), {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset", "veryfast",
                                           "-c:a", "aac", "-movflags", "+faststart"});
    } else {
        arguments.insert(arguments.end(), {"-c:v", "mjpeg", "-pix_fmt", "yuvj420p", "-q:v", "3",
                                           "-c:a", "pcm_s16le"});
    }
    arguments.push_back(path);
    return Ffmpeg(arguments, log);
}

bool WriteShow(const std::string& path, const std::vector<std::pair<std::string, std::string>>& options,
               const std::vector<Slide>& slides) {
    std::ofstream ini(path, std::ios::binary);
    ini << "[OPTIONS]\r\n";
    for (const auto& [key, value] : options) ini << key << "=" << value << "\r\n";
    ini << "\r\n[SLIDES]\r\nCount=" << slides.size() << "\r\n";
    for (size_t i = 0; i < slides.size(); ++i) {
        ini << "Image" << 1000 + i << "=" << slides[i].image << "\r\n";
        ini << "Sound" << 1000 + i << "=" << slides[i].sound << "\r\n";
    }
    return static_cast<bool>(ini.flush());
}

bool WineDesktop::Start(int width, int height, const std::string& logFolder) {
    log_ = logFolder + "/wine.log";
    if (!screen_.Start(width, height, logFolder + "/xvfb.log") ||
        !screen_.StartWindowManager(WindowManager::kOpenbox)) {
        return false;
    }
    // One session for every show: its server stays, and its system
    // processes start now, on this screen, rather than with the first show.
    if (RunToEnd({"wineserver", "-p"}, 30000, Environment(), log_) != 0) return false;
    session_ = true;
    return RunToEnd({"wine", "cmd", "/c", "exit"}, 120000, Environment(), log_) == 0;
}

void WineDesktop::Stop() {
    if (session_) {
        RunToEnd({"wineserver", "-k"}, 30000, Environment(), log_);
        RunToEnd({"wineserver", "-w"}, 30000, Environment(), log_);
        session_ = false;
    }
}

std::map<std::string, std::string> WineDesktop::Environment() const {
    return {{"DISPLAY", screen_.Name()}, {"WINEDEBUG", "-all"}, {"WINEARCH", "win32"}};
}

int Watch::First(int what, size_t from) const {
    for (size_t i = from; i < sightings.size(); ++i) {
        if (sightings[i].what == what) return static_cast<int>(i);
    }
    return -1;
}

int Watch::FirstOther(int what, size_t from) const {
    for (size_t i = from; i < sightings.size(); ++i) {
        if (sightings[i].what != what) return static_cast<int>(i);
    }
    return -1;
}

std::string Watch::Changes() const {
    std::string text;
    int previous = -1000;
    for (const Sighting& s : sightings) {
        if (s.what == previous) continue;
        previous = s.what;
        char item[48];
        std::snprintf(item, sizeof item, "%s%d@%.0f", text.empty() ? "" : " ", s.what, s.ms);
        text += item;
    }
    return text + (ended ? " (ended)" : "") + (timedOut ? " (timed out)" : "");
}

Watch WatchScreen(VirtualScreen& screen, ChildProcess& process, const std::function<int(const ws::Pixels&)>& classify,
                  const std::function<bool(const Sighting&)>& done, int timeoutMs, ws::Pixels* last) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto since = [&](Clock::time_point t) { return std::chrono::duration<double, std::milli>(t - start).count(); };
    Watch watch;
    for (;;) {
        const auto before = Clock::now();
        ws::Pixels shot = screen.Capture();
        const auto after = Clock::now();
        const Sighting sighting{classify(shot), (since(before) + since(after)) / 2};
        watch.sightings.push_back(sighting);
        if (last != nullptr) *last = std::move(shot);
        if (done(sighting)) break;
        if (process.WaitFor(0)) {
            watch.ended = true;
            break;
        }
        if (since(after) >= timeoutMs) {
            watch.timedOut = true;
            break;
        }
    }
    return watch;
}

}  // namespace tarn::e2e::wine
