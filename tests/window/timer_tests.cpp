// Periodic timers on virtual time.
#include <climits>

#include "window_test_support.h"

using namespace window_test;

namespace {

class TimerTest : public WindowTest {
protected:
    std::vector<int64_t> TickTimes(HWND window, UINT_PTR id) const {
        std::vector<int64_t> times;
        for (const Event& e : Received(window, WM_TIMER)) {
            if (e.wParam == id) times.push_back(e.atMs);
        }
        return times;
    }
};

TEST_F(TimerTest, APeriodicTimerKeepsItsDeadlinesWhenEachTickTakesTime) {
    const HWND w = Create(0, 0, 10, 10);
    // Each tick's handler "works" for 1.5 s of virtual time.
    g_handler = [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_TIMER) edge.VirtualTime()->AdvanceBy(1'500'000);
        return std::nullopt;
    };
    ASSERT_NE(SetTimer(w, 0, 6000, nullptr), 0u);
    edge.RunFor(48'000);
    EXPECT_EQ(TickTimes(w, 0), (std::vector<int64_t>{6000, 12000, 18000, 24000, 30000, 36000,
                                                      42000, 48000}));
}

TEST_F(TimerTest, ATimerThatFellBehindFiresOnceThenSkipsToItsNextDeadline) {
    const HWND w = Create(0, 0, 10, 10);
    bool first = true;
    g_handler = [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_TIMER && first) {
            first = false;
            edge.VirtualTime()->AdvanceBy(13'000'000);  // to 19 s: the 12 s deadline is missed
        }
        return std::nullopt;
    };
    SetTimer(w, 5, 6000, nullptr);
    edge.RunFor(30'000);
    // One late tick for the missed deadlines (not two), then on schedule again.
    EXPECT_EQ(TickTimes(w, 5), (std::vector<int64_t>{6000, 19000, 24000, 30000}));
}

TEST_F(TimerTest, ReArmingAnArmedTimerRestartsItWithTheNewPeriod) {
    const HWND w = Create(0, 0, 10, 10);
    SetTimer(w, 1, 5000, nullptr);
    edge.RunFor(4000);
    SetTimer(w, 1, 3000, nullptr);  // at 4 s: next ticks at 7 s and 10 s, not 5 s
    edge.RunFor(6000);
    EXPECT_EQ(TickTimes(w, 1), (std::vector<int64_t>{7000, 10000}));
    const auto timers = tarn::ws::Timers();
    ASSERT_EQ(timers.size(), 1u);
    EXPECT_EQ(timers[0].periodMs, 3000u);
    EXPECT_EQ(timers[0].deadlineMicros, 13'000'000);
}

TEST_F(TimerTest, KillTimerStopsItEvenFromInsideItsOwnTick) {
    const HWND w = Create(0, 0, 10, 10);
    g_handler = [&](HWND window, UINT m, WPARAM id, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_TIMER && id == 2) KillTimer(window, 2);
        return std::nullopt;
    };
    SetTimer(w, 1, 1000, nullptr);
    SetTimer(w, 2, 1000, nullptr);
    edge.RunFor(2500);
    EXPECT_EQ(TickTimes(w, 1), (std::vector<int64_t>{1000, 2000}));
    EXPECT_EQ(TickTimes(w, 2), (std::vector<int64_t>{1000}));
    EXPECT_TRUE(KillTimer(w, 1));
    EXPECT_FALSE(KillTimer(w, 1)) << "already killed";
    EXPECT_FALSE(KillTimer(w, 99));
    edge.RunFor(5000);
    EXPECT_EQ(TickTimes(w, 1).size(), 2u);
    EXPECT_EQ(tarn::ws::NextTimerDeadline(), INT64_MAX);
}

TEST_F(TimerTest, TimersAreNamedByWindowAndId) {
    const HWND a = Create(0, 0, 10, 10);
    const HWND b = Create(0, 0, 10, 10);
    SetTimer(a, 3, 1000, nullptr);
    SetTimer(b, 3, 1500, nullptr);
    edge.RunFor(3000);
    EXPECT_EQ(TickTimes(a, 3), (std::vector<int64_t>{1000, 2000, 3000}));
    EXPECT_EQ(TickTimes(b, 3), (std::vector<int64_t>{1500, 3000}));
    KillTimer(a, 3);
    edge.RunFor(1500);
    EXPECT_EQ(TickTimes(a, 3).size(), 3u);
    EXPECT_EQ(TickTimes(b, 3).back(), 4500);
}

TEST_F(TimerTest, TimersDieWithTheirWindow) {
    const HWND a = Create(0, 0, 10, 10);
    const HWND b = Create(0, 0, 10, 10);
    SetTimer(a, 1, 1000, nullptr);
    SetTimer(b, 1, 1000, nullptr);
    DestroyWindow(a);
    ASSERT_EQ(tarn::ws::Timers().size(), 1u);
    EXPECT_EQ(tarn::ws::Timers()[0].window, b);
    EXPECT_EQ(SetTimer(a, 1, 1000, nullptr), 0u) << "no timer for a destroyed window";
    edge.RunFor(1000);
    EXPECT_TRUE(Received(a, WM_TIMER).empty());
}

TEST_F(TimerTest, ADueTimerComesAfterMessagesPostedBeforeTheFetch) {
    const HWND w = Create(0, 0, 10, 10);
    SetTimer(w, 1, 1000, nullptr);
    edge.VirtualTime()->AdvanceTo(1'000'000);  // due, not yet fetched
    PostMessageA(w, WM_USER + 1, 0, 0);
    PostMessageA(w, WM_USER + 2, 0, 0);
    tarn::ws::PumpPending();
    EXPECT_EQ(MessagesOf(w), (std::vector<UINT>{WM_CREATE, WM_USER + 1, WM_USER + 2, WM_TIMER}));
}

TEST_F(TimerTest, GetMessageWaitsThroughTheEdgeUntilTheTimerIsDue) {
    const HWND w = Create(0, 0, 10, 10);
    EXPECT_EQ(SetTimer(w, 0, 48000, nullptr), 1u) << "id 0 still reports success";
    MSG msg{};
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.hwnd, w);
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.time, 48000u);
    EXPECT_EQ(edge.NowMillis(), 48000);
}

TEST_F(TimerTest, TooShortPeriodsAreRaisedToTheMinimum) {
    const HWND w = Create(0, 0, 10, 10);
    SetTimer(w, 1, 0, nullptr);
    edge.RunFor(100);
    EXPECT_EQ(Received(w, WM_TIMER).size(), 100u / tarn::ws::kMinimumTimerPeriodMs);
}

}  // namespace
