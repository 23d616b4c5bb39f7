// Figures for the media's own work; see CMakeLists.txt.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/graph.h"
#include "platform/clock.h"
#include "platform/media/audio_output.h"
#include "platform/media/clock_audio_sink.h"
#include "platform/media/picture_cache.h"
#include "platform/media/still_picture.h"

namespace fs = std::filesystem;
namespace tmedia = tarn::media;
using Clock = std::chrono::steady_clock;

namespace {

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Median and slowest of `repeats` runs of `work`, in milliseconds.
void Time(const std::string& what, int repeats, const std::function<void()>& work) {
    std::vector<double> runs;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        work();
        runs.push_back(Millis(Clock::now() - start));
    }
    std::sort(runs.begin(), runs.end());
    std::printf("| %-52s | %9.1f | %9.1f |\n", what.c_str(), runs[runs.size() / 2], runs.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path folder = fs::temp_directory_path() / "tarn-media-bench";
    fs::create_directories(folder);
    const std::string baseline = (folder / "photo.jpg").string();
    const std::string progressive = (folder / "photo-progressive.jpg").string();
    const std::string wav = (folder / "minute.wav").string();
    const std::string mp3 = (folder / "minute.mp3").string();
    const std::string ff = "ffmpeg -hide_banner -loglevel error -nostdin -y ";
    if (!fs::exists(baseline) &&
        !Shell(ff + "-f lavfi -i 'mandelbrot=s=6000x4000,noise=alls=12:allf=t' -frames:v 1 -q:v 3 '" + baseline + "'")) {
        std::fprintf(stderr, "could not make the photo (ffmpeg)\n");
        return 0;
    }
    if (!fs::exists(progressive)) Shell("jpegtran -progressive -outfile '" + progressive + "' '" + baseline + "'");
    // As tarnpack stores it: a restart marker after every row of MCUs, so
    // that the decoder cuts it in two and decodes the halves side by side.
    const std::string marked = (folder / "photo-restart-rows.jpg").string();
    if (!fs::exists(marked)) Shell("jpegtran -optimize -restart 1 -outfile '" + marked + "' '" + baseline + "'");
    if (!fs::exists(wav)) Shell(ff + "-f lavfi -i sine=frequency=440:duration=60 -ac 2 '" + wav + "'");
    if (!fs::exists(mp3)) Shell(ff + "-i '" + wav + "' -c:a libmp3lame '" + mp3 + "'");

    std::printf("| %-52s | %9s | %9s |\n", "work", "median ms", "slowest");
    std::printf("|%s|%s|%s|\n", std::string(54, '-').c_str(), std::string(11, '-').c_str(),
                std::string(11, '-').c_str());
    for (const auto& [name, path] : {std::pair{"baseline", baseline}, std::pair{"progressive", progressive},
                                     std::pair{"marked", marked}}) {
        if (!fs::exists(path)) continue;
        for (const tmedia::Size screen : {tmedia::Size{1920, 1080}, tmedia::Size{1024, 768}}) {
            tmedia::StillPicture picture;
            const std::string what = std::string("6000x4000 ") + name + " JPEG fitted to " +
                                     std::to_string(screen.width) + "x" + std::to_string(screen.height);
            Time(what, repeats, [&] { tmedia::DecodeStillPicture(path.c_str(), screen, &picture); });
        }
    }
    {
        tmedia::StillPicture picture;
        Time("prepared picture taken (decoded ahead)", repeats, [&] {
            tmedia::ClearPreparedPictures();
            tmedia::PreparePicture(baseline, tmedia::Size{1920, 1080});
            while (!tmedia::PictureIsPrepared(baseline, tmedia::Size{1920, 1080})) {}
        });
        Time("  ... taking it once ready", repeats,
             [&] { tmedia::DecodeStillPictureCached(baseline, tmedia::Size{1920, 1080}, &picture); });
        tmedia::ClearPreparedPictures();
    }

    // Sounds through the clock sink: one minute of virtual time.
    for (const auto& [name, path] : {std::pair{"WAV", wav}, std::pair{"MP3", mp3}}) {
        if (!fs::exists(path)) continue;
        Time(std::string("60 s ") + name + " played through in virtual time", repeats, [&] {
            tarn::VirtualClock clock;
            tarn::InstallClock(&clock);
            auto sink = std::make_shared<tmedia::ClockAudioSink>(clock);
            tmedia::InstallAudioOutput(sink);
            {
                tmedia::ComPtr<tmedia::IGraphBuilder> graph;
                tmedia::CoCreateInstance(tmedia::CLSID_FilterGraph, nullptr, tmedia::CLSCTX_INPROC_SERVER,
                                     tmedia::IID_IGraphBuilder, graph.PutVoid());
                std::u16string wide(path.size() + 1, u'\0');
                tmedia::AnsiToWide(path.c_str(), wide.data(), static_cast<int>(wide.size()));
                graph->RenderFile(wide.c_str(), nullptr);
                tmedia::Query<tmedia::IMediaControl>(graph)->Run();
                clock.AdvanceBy(61'000'000);
            }
            tmedia::InstallAudioOutput(nullptr);
            sink.reset();
            tarn::InstallClock(nullptr);
        });
    }
    return 0;
}
