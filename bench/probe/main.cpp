// benchprobe: measures one viewer on the X screen named by $DISPLAY.
//
//   benchprobe boxes                       box lines of a signature file
//   benchprobe sig REFERENCE.ppm INDEX     image line of one photo
//   benchprobe start  [options] -- viewer args...
//   benchprobe keys   [options] -- viewer args...
//   benchprobe timed  [options] -- viewer args...
//   benchprobe fade   [options] -- viewer args...
//   benchprobe extract [options] -- package args...
//
// Results are "name value..." lines on stdout; problems are "error ..." lines
// and a non-zero exit. Times are milliseconds of the steady clock.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ppm_file.h"
#include "signatures.h"
#include "viewer_process.h"
#include "x_screen.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

double MsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

void SleepMs(double ms) { std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms)); }

struct Options {
    std::string sigs;
    std::string key = "Right";
    std::string quit_key = "Escape";
    double settle_ms = 1000;
    double poll_ms = 2;
    double timeout_ms = 30000;
    int count = 20;
    std::vector<std::string> argv;
};

int Fail(const std::string& message) {
    std::printf("error %s\n", message.c_str());
    std::fflush(stdout);
    return 1;
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    int i = 2;
    for (; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--") {
            ++i;
            break;
        }
        if (i + 1 >= argc) {
            error = "option " + name + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        if (name == "--sigs") options.sigs = value;
        else if (name == "--key") options.key = value;
        else if (name == "--quit-key") options.quit_key = value;
        else if (name == "--settle-ms") options.settle_ms = std::atof(value.c_str());
        else if (name == "--poll-ms") options.poll_ms = std::atof(value.c_str());
        else if (name == "--timeout-ms") options.timeout_ms = std::atof(value.c_str());
        else if (name == "--count") options.count = std::atoi(value.c_str());
        else {
            error = "unknown option " + name;
            return false;
        }
    }
    for (; i < argc; ++i) options.argv.push_back(argv[i]);
    if (options.argv.empty()) {
        error = "no program to run (give it after --)";
        return false;
    }
    return true;
}

// What is on screen, polled until a condition holds.
class ScreenWatch {
public:
    ScreenWatch(XScreen& screen, const Signatures& sigs, double poll_ms)
        : screen_(screen), sigs_(sigs), poll_ms_(poll_ms) {}

    int Current() { return Classify(sigs_, screen_.Grab(sigs_.boxes)); }

    // Polls until `wanted(current index)` holds; returns the index then, or
    // -2 on timeout, -3 when the viewer ended first.
    template <typename Wanted>
    int WaitFor(ViewerProcess& viewer, double timeout_ms, Wanted wanted) {
        const auto start = SteadyClock::now();
        for (;;) {
            const int current = Current();
            if (wanted(current)) return current;
            if (viewer.Exited()) return -3;
            if (MsSince(start) > timeout_ms) return -2;
            SleepMs(poll_ms_);
        }
    }

private:
    XScreen& screen_;
    const Signatures& sigs_;
    double poll_ms_;
};

std::string WaitProblem(int result, const std::string& what) {
    return (result == -3 ? "viewer ended before " : "timed out waiting for ") + what;
}

// Asks the viewer to quit with its key, then ends its process group.
void Quit(XScreen& screen, ViewerProcess& viewer, const std::string& quit_key) {
    if (!viewer.Exited()) {
        screen.PressKey(quit_key);
        viewer.WaitExit(3000);
    }
    viewer.Kill();
}

struct Session {
    XScreen screen;
    Signatures sigs;
};

bool OpenSession(const Options& options, Session& session, std::string& error) {
    if (!session.screen.ok()) {
        error = "cannot open the X display";
        return false;
    }
    if (!LoadSignatures(options.sigs, session.sigs, error)) return false;
    // Out of the way of the pictures, before any viewer window exists.
    session.screen.MovePointer(session.screen.width() - 1, 0);
    return true;
}

// One viewer on the screen, started and showing its first photo.
struct ViewerRun {
    Session session;
    std::unique_ptr<ScreenWatch> watch;
    std::unique_ptr<ViewerProcess> viewer;
    SteadyClock::time_point first;  // when the first photo appeared
    int count = 0;                  // photos to watch for

    void Quit(const Options& options) { ::Quit(session.screen, *viewer, options.quit_key); }
};

// Opens the screen, starts the viewer and waits for its first photo; an
// empty string, or what went wrong (the viewer is then ended).
std::string StartViewer(const Options& options, ViewerRun& run) {
    std::string error;
    if (!OpenSession(options, run.session, error)) return error;
    run.watch = std::make_unique<ScreenWatch>(run.session.screen, run.session.sigs, options.poll_ms);
    const auto start = SteadyClock::now();
    run.viewer = std::make_unique<ViewerProcess>(options.argv);
    if (!run.viewer->started()) return "cannot start " + options.argv[0];
    const int seen = run.watch->WaitFor(*run.viewer, options.timeout_ms, [](int c) { return c == 0; });
    run.first = SteadyClock::now();
    const double first_ms = MsSince(start);
    if (seen != 0) {
        run.Quit(options);
        return WaitProblem(seen, "the first photo");
    }
    run.count = std::min<int>(options.count, static_cast<int>(run.session.sigs.images.size()));
    std::printf("first_ms %.2f\n", first_ms);
    return {};
}

int RunStart(const Options& options) {
    ViewerRun run;
    const std::string error = StartViewer(options, run);
    if (!error.empty()) return Fail(error);
    run.Quit(options);
    return 0;
}

int RunKeys(const Options& options) {
    ViewerRun run;
    const std::string error = StartViewer(options, run);
    if (!error.empty()) return Fail(error);
    ScreenWatch& watch = *run.watch;
    ViewerProcess& viewer = *run.viewer;
    const int count = run.count;
    int seen = 0;
    TreeMemory memory;
    std::vector<double> latencies;
    int changed_before_key = 0;
    for (int next = 1; next < count; ++next) {
        // A person looks at each slide for a while before pressing the key;
        // memory is sampled while the viewer rests.
        SleepMs(options.settle_ms);
        Merge(memory, viewer.SampleMemory());
        // The screen must still show the previous photo, or the latency
        // would be measured from a change that had already happened.
        if (watch.Current() != next - 1) ++changed_before_key;
        if (!run.session.screen.PressKey(options.key)) {
            run.Quit(options);
            return Fail("unknown key " + options.key);
        }
        const auto sent = SteadyClock::now();
        seen = watch.WaitFor(viewer, options.timeout_ms, [next](int c) { return c == next; });
        const double latency = MsSince(sent);
        if (seen != next) {
            run.Quit(options);
            return Fail(WaitProblem(seen, "photo " + std::to_string(next)));
        }
        latencies.push_back(latency);
    }
    SleepMs(options.settle_ms);
    Merge(memory, viewer.SampleMemory());
    std::printf("latency_ms");
    for (double l : latencies) std::printf(" %.2f", l);
    std::printf("\npeak_rss_kb %ld\npeak_rss_largest_kb %ld\nprocesses %d\nchanged_before_key %d\n",
                memory.sum_hwm_kb, memory.max_hwm_kb, memory.processes, changed_before_key);
    run.Quit(options);
    return 0;
}

int RunTimed(const Options& options) {
    ViewerRun run;
    const std::string error = StartViewer(options, run);
    if (!error.empty()) return Fail(error);
    ScreenWatch& watch = *run.watch;
    ViewerProcess& viewer = *run.viewer;
    const int count = run.count;
    const auto first = run.first;
    int seen = 0;
    // Each later photo's appearance; a photo shown too briefly to be seen is
    // recorded at the appearance of the one after it, and counted as missed.
    std::vector<double> appear(count, 0.0);
    int missed = 0;
    int next = 1;
    while (next < count) {
        const int wanted_from = next;
        seen = watch.WaitFor(viewer, options.timeout_ms, [wanted_from](int c) { return c >= wanted_from; });
        if (seen < 0) {
            run.Quit(options);
            return Fail(WaitProblem(seen, "photo " + std::to_string(next)));
        }
        const double at = MsSince(first);
        missed += seen - next;
        for (; next <= seen; ++next) appear[next] = at;
    }
    // The show ends when the last photo leaves the screen (the viewer closes).
    const int last = count - 1;
    seen = watch.WaitFor(viewer, options.timeout_ms, [last](int c) { return c != last; });
    const double end_ms = MsSince(first);
    const bool exited = viewer.WaitExit(3000);
    std::printf("appear_ms");
    for (int i = 1; i < count; ++i) std::printf(" %.2f", appear[i]);
    std::printf("\nmissed %d\n", missed);
    if (seen == -2) std::printf("end_ms none\n");
    else std::printf("end_ms %.2f\n", end_ms);
    std::printf("exited %d\n", exited ? 1 : 0);
    run.Quit(options);
    return 0;
}

// The box in which photos `a` and `b` differ most in mean colour.
Box MostChangingBox(const Signatures& sigs, int a, int b) {
    size_t best = 0;
    double most = -1;
    for (size_t k = 0; k < sigs.boxes.size(); ++k) {
        const BoxStats& x = sigs.images[a][k];
        const BoxStats& y = sigs.images[b][k];
        const double change = std::abs(x.r - y.r) + std::abs(x.g - y.g) + std::abs(x.b - y.b);
        if (change > most) {
            most = change;
            best = k;
        }
    }
    return sigs.boxes[best];
}

// Cross-fades by key: after each key, the one box where the two photos
// differ most is grabbed as fast as the server answers (one request, so one
// frame's pixels) until the whole screen shows the next photo. Every grab
// that differs from the one before is a distinct frame that reached the
// screen; frames shown between two grabs are not seen, so the rate is a
// lower bound.
int RunFade(const Options& options) {
    ViewerRun run;
    const std::string error = StartViewer(options, run);
    if (!error.empty()) return Fail(error);
    Session& session = run.session;
    ViewerProcess& viewer = *run.viewer;
    std::vector<double> first_change, fade_ms, frames, grabs;
    for (int next = 1; next < run.count; ++next) {
        SleepMs(options.settle_ms);
        const std::vector<Box> watched{MostChangingBox(session.sigs, next - 1, next)};
        std::vector<BoxStats> before = session.screen.Grab(watched);
        if (!session.screen.PressKey(options.key)) {
            run.Quit(options);
            return Fail("unknown key " + options.key);
        }
        const auto sent = SteadyClock::now();
        double changed_at = -1;
        double classified_at = 0;
        int distinct = 0;
        int taken = 0;
        for (;;) {
            const std::vector<BoxStats> now = session.screen.Grab(watched);
            ++taken;
            if (now[0].r != before[0].r || now[0].g != before[0].g || now[0].b != before[0].b) {
                if (changed_at < 0) changed_at = MsSince(sent);
                ++distinct;
                before = now;
            }
            // Once the fade has begun, the whole screen is checked every
            // 20 ms for the finished photo.
            if (changed_at >= 0 && MsSince(sent) - classified_at > 20) {
                classified_at = MsSince(sent);
                if (Classify(session.sigs, session.screen.Grab(session.sigs.boxes)) == next) break;
            }
            if (viewer.Exited() || MsSince(sent) > options.timeout_ms) {
                run.Quit(options);
                return Fail("photo " + std::to_string(next) + " never completed its fade");
            }
        }
        const double done = MsSince(sent);
        first_change.push_back(changed_at);
        fade_ms.push_back(done - changed_at);
        // The last distinct grab is the finished photo, not a mixed frame.
        frames.push_back(distinct - 1);
        grabs.push_back(taken);
    }
    auto print = [](const char* name, const std::vector<double>& values) {
        std::printf("%s", name);
        for (double v : values) std::printf(" %.2f", v);
        std::printf("\n");
    };
    print("key_to_change_ms", first_change);
    print("fade_ms", fade_ms);
    print("fade_frames", frames);
    print("fade_grabs", grabs);
    std::vector<double> fps;
    for (size_t i = 0; i < frames.size(); ++i) fps.push_back(fade_ms[i] > 0 ? frames[i] * 1000.0 / fade_ms[i] : 0);
    print("fade_fps", fps);
    run.Quit(options);
    return 0;
}

int RunExtract(const Options& options) {
    const auto start = SteadyClock::now();
    ViewerProcess package(options.argv);
    if (!package.started()) return Fail("cannot start " + options.argv[0]);
    double child_ms = -1;
    while (child_ms < 0) {
        if (package.FirstChild() != 0) child_ms = MsSince(start);
        else if (package.Exited()) return Fail("the package ended without starting its player");
        else if (MsSince(start) > options.timeout_ms) return Fail("timed out waiting for the player to start");
        else SleepMs(0.5);
    }
    const bool exited = package.WaitExit(static_cast<int>(options.timeout_ms));
    std::printf("child_ms %.2f\n", child_ms);
    if (exited) std::printf("exit_ms %.2f\n", MsSince(start));
    else std::printf("exit_ms none\n");
    return 0;
}

int RunSig(int argc, char** argv) {
    if (argc != 4) return Fail("usage: benchprobe sig REFERENCE.ppm INDEX");
    PpmPicture picture;
    std::string error;
    if (!ReadPpm(argv[2], picture, error)) return Fail(error);
    std::vector<BoxStats> stats;
    for (const Box& box : DefaultBoxes()) {
        if (box.x + box.w > picture.width || box.y + box.h > picture.height)
            return Fail("reference picture smaller than the screen boxes");
        stats.push_back(MeasureBox(box.w, box.h, [&](int x, int y) { return picture.At(box.x + x, box.y + y); }));
    }
    std::printf("%s\n", FormatImageLine(std::atoi(argv[3]), stats).c_str());
    return 0;
}

int RunBoxes() {
    for (const Box& box : DefaultBoxes()) std::printf("box %d %d %d %d\n", box.x, box.y, box.w, box.h);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Fail("usage: benchprobe boxes|sig|start|keys|timed|fade|extract ...");
    const std::string command = argv[1];
    if (command == "boxes") return RunBoxes();
    if (command == "sig") return RunSig(argc, argv);
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) return Fail(error);
    if (command == "start") return RunStart(options);
    if (command == "keys") return RunKeys(options);
    if (command == "timed") return RunTimed(options);
    if (command == "fade") return RunFade(options);
    if (command == "extract") return RunExtract(options);
    return Fail("unknown command " + command);
}
