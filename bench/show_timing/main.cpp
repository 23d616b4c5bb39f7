// Plays a timed show of photos on the real clock and prints, for every slide
// change and for the close, when it began against its schedule (k x delay
// after the advance timer was armed at the end of StartShow) and how long
// the change took (decoding and placing the photo). The start offsets must
// stay within a few milliseconds and must not grow from slide to slide: the
// time a slide takes to render must not push the following ones back.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "controller/controller.h"
#include "platform/clock.h"
#include "platform/window/headless_edge.h"
#include "platform/window_system.h"
#include "show/show_record.h"
#include "ui/show_window.h"

namespace {

int Argument(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::atoi(argv[index]) : fallback;
}

bool MakePhoto(const std::string& path, int width, int index) {
    const int height = width * 2 / 3;
    const std::string command = "ffmpeg -loglevel error -y -f lavfi -i \"testsrc2=size=" + std::to_string(width) +
                                "x" + std::to_string(height) + "\" -vf \"hue=h=" + std::to_string(40 * index) +
                                "\" -frames:v 1 -q:v 3 \"" + path + "\"";
    return std::system(command.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int slides = Argument(argc, argv, 1, 8);
    const int delayMs = Argument(argc, argv, 2, 6000);
    const int photoWidth = Argument(argc, argv, 3, 4000);

    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tarn-show-timing";
    std::filesystem::create_directories(folder);
    std::string description = "[OPTIONS]\r\nAdvanceMethod=6\r\nShowSplash=0\r\n";
    description += "DelayBetweenSlidesInMilliseconds=" + std::to_string(delayMs) + "\r\n";
    description += "[SLIDES]\r\nCount=" + std::to_string(slides) + "\r\n";
    std::printf("making %d photos of %d pixels wide...\n", slides, photoWidth);
    for (int i = 0; i < slides; ++i) {
        const std::string photo = (folder / ("photo" + std::to_string(i) + ".jpg")).string();
        if (!std::filesystem::exists(photo) && !MakePhoto(photo, photoWidth, i)) {
            std::fprintf(stderr, "show_timing: ffmpeg could not make %s\n", photo.c_str());
            return 1;
        }
        description += "Image" + std::to_string(1000 + i) + "=" + photo + "\r\n";
        description += "Sound" + std::to_string(1000 + i) + "=\r\n";
    }
    const std::string ini = (folder / "show.ini").string();
    std::ofstream(ini, std::ios::binary) << description;

    tarn::ws::HeadlessEdge edge(tarn::ws::HeadlessEdge::OnCurrentClock{}, 1920, 1080);
    tarn::ws::InstallEdge(&edge);

    LoadDefaultPaths();
    std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s", ini.c_str());
    ReadShowSettings();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterWindowClasses(instance);
    if (CreateShowWindows(instance, SW_SHOW) == 0) {
        std::fprintf(stderr, "show_timing: the show windows could not be created\n");
        return 1;
    }

    const tarn::Clock& clock = tarn::CurrentClock();
    const int64_t start = clock.NowMicros();
    StartShow();
    const int64_t armed = clock.NowMicros();
    std::printf("first slide shown after %.1f ms; the advance timer runs from there\n\n", (armed - start) / 1000.0);

    struct Change {
        int64_t began;  // when the message that changed the slide was taken
        int64_t ended;
    };
    std::vector<Change> changes;
    int32_t seen = g_Show.CurrentSlide;
    bool running = true;
    while (running) {
        edge.WaitForEvents(tarn::ws::NextTimerDeadline());
        const int64_t began = clock.NowMicros();
        running = tarn::ws::PumpPending();
        if (g_Show.CurrentSlide != seen) {
            seen = g_Show.CurrentSlide;
            changes.push_back({began - armed, clock.NowMicros() - armed});
        }
    }

    std::printf("| step | scheduled ms | began ms | late ms | took ms |\n|---|---|---|---|---|\n");
    double worst = 0;
    for (size_t k = 0; k < changes.size(); ++k) {
        const double scheduled = static_cast<double>(delayMs) * static_cast<double>(k + 1);
        const double began = changes[k].began / 1000.0;
        const double late = began - scheduled;
        worst = std::max(worst, std::abs(late));
        std::printf("| %s %zu | %.0f | %.1f | %+.1f | %.1f |\n", k + 1 < changes.size() ? "slide" : "close", k + 1,
                    scheduled, began, late, (changes[k].ended - changes[k].began) / 1000.0);
    }
    std::printf("\nlargest distance from the schedule: %.1f ms\n", worst);

    tarn::ws::InstallEdge(nullptr);
    std::filesystem::remove(ini);
    return 0;
}
