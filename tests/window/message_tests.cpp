// Sending, posting, fetching and the quit message.
#include <atomic>
#include <thread>

#include "window_test_support.h"

using namespace window_test;
using tarn::ws::PumpPending;

namespace {

constexpr UINT kFirst = WM_USER + 1;
constexpr UINT kSecond = WM_USER + 2;
constexpr UINT kThird = WM_USER + 3;
constexpr UINT kEnter = WM_USER + 100;  // logged by the handler below, not sent

class MessageTest : public WindowTest {};

TEST_F(MessageTest, SendFromInsideAHandlerRunsTheTargetAtOnceAndReturnsItsResult) {
    const HWND a = Create(0, 0, 10, 10);
    const HWND b = Create(0, 0, 10, 10);
    std::vector<std::string> trace;
    g_handler = [&](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (w == a && m == kFirst) {
            trace.push_back("a1 begin");
            const LRESULT r = SendMessageA(b, kSecond, 0, 0);
            trace.push_back("a1 end, b said " + std::to_string(r));
            return r + 1;
        }
        if (w == b && m == kSecond) {
            trace.push_back("b2 begin");
            const LRESULT r = SendMessageA(a, kThird, 0, 0);  // back into a, still inside a1
            trace.push_back("b2 end, a said " + std::to_string(r));
            return r * 10;
        }
        if (w == a && m == kThird) {
            trace.push_back("a3");
            return 7;
        }
        return std::nullopt;
    };
    EXPECT_EQ(SendMessageA(a, kFirst, 0, 0), 71);
    EXPECT_EQ(trace, (std::vector<std::string>{"a1 begin", "b2 begin", "a3", "b2 end, a said 7",
                                                "a1 end, b said 70"}));
}

TEST_F(MessageTest, PostedMessagesArriveInOrderOnlyWhenDispatched) {
    const HWND a = Create(0, 0, 10, 10);
    const HWND b = Create(0, 0, 10, 10);
    g_log.clear();
    EXPECT_TRUE(PostMessageA(a, kFirst, 1, 10));
    EXPECT_TRUE(PostMessageA(b, kSecond, 2, 20));
    EXPECT_TRUE(PostMessageA(a, kThird, 3, 30));
    EXPECT_TRUE(g_log.empty()) << "a post must not run the procedure";
    SendMessageA(b, kEnter, 0, 0);  // sends overtake posts
    EXPECT_TRUE(PumpPending());
    ASSERT_EQ(g_log.size(), 4u);
    EXPECT_EQ(g_log[0].message, kEnter);
    EXPECT_EQ(g_log[1].window, a);
    EXPECT_EQ(g_log[1].message, kFirst);
    EXPECT_EQ(g_log[1].wParam, 1u);
    EXPECT_EQ(g_log[1].lParam, 10);
    EXPECT_EQ(g_log[2].window, b);
    EXPECT_EQ(g_log[2].message, kSecond);
    EXPECT_EQ(g_log[3].message, kThird);
}

TEST_F(MessageTest, GetMessageReturnsPostsThenTheQuitMessageWithItsExitCode) {
    const HWND a = Create(0, 0, 10, 10);
    PostMessageA(a, kFirst, 0, 0);
    PostQuitMessage(42);
    PostMessageA(a, kSecond, 0, 0);  // posted after the quit, still fetched before it
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, kFirst);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, kSecond);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 42u);
    int code = 0;
    EXPECT_TRUE(tarn::ws::QuitPosted(&code));
    EXPECT_EQ(code, 42);
    EXPECT_FALSE(PumpPending()) << "the quit message has been taken";
}

TEST_F(MessageTest, PumpPendingStopsAtTheQuitMessage) {
    const HWND a = Create(0, 0, 10, 10);
    g_handler = [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == kFirst) PostQuitMessage(3);
        return std::nullopt;
    };
    PostMessageA(a, kFirst, 0, 0);
    EXPECT_FALSE(PumpPending());
    PostMessageA(a, kSecond, 0, 0);
    int code = -1;
    EXPECT_TRUE(tarn::ws::QuitPosted(&code));
    EXPECT_EQ(code, 3);
    tarn::ws::ResetWindowSystem();
    EXPECT_FALSE(tarn::ws::QuitPosted(&code)) << "a reset forgets the quit";
}

TEST_F(MessageTest, PostsToAWindowDestroyedBeforeDispatchAreDropped) {
    const HWND a = Create(0, 0, 10, 10);
    const HWND b = Create(0, 0, 10, 10);
    g_handler = [&](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (w == a && m == kFirst) DestroyWindow(b);
        return std::nullopt;
    };
    PostMessageA(a, kFirst, 0, 0);
    PostMessageA(b, kSecond, 0, 0);
    PostMessageA(a, kThird, 0, 0);
    PumpPending();
    EXPECT_TRUE(Received(b, kSecond).empty());
    EXPECT_EQ(Received(a, kThird).size(), 1u) << "later posts to live windows still arrive";
    EXPECT_FALSE(PostMessageA(b, kSecond, 0, 0)) << "posting to a destroyed window fails";

    // A message fetched before its window died is not dispatched either.
    PostMessageA(a, kSecond, 5, 0);
    MSG msg{};
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    DestroyWindow(a);
    g_log.clear();
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_TRUE(g_log.empty());
}

TEST_F(MessageTest, GetMessageFiltersByWindowAndRange) {
    const HWND a = Create(0, 0, 10, 10);
    const HWND b = Create(0, 0, 10, 10);
    PostMessageA(a, kFirst, 0, 0);
    PostMessageA(b, kSecond, 0, 0);
    PostMessageA(a, kThird, 0, 0);
    MSG msg{};
    ASSERT_TRUE(GetMessageA(&msg, b, 0, 0));
    EXPECT_EQ(msg.message, kSecond);
    ASSERT_TRUE(GetMessageA(&msg, nullptr, kThird, kThird));
    EXPECT_EQ(msg.message, kThird);
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, kFirst);
}

TEST_F(MessageTest, PostsFromOtherThreadsArriveInEachThreadsOrder) {
    const HWND a = Create(0, 0, 10, 10);
    constexpr int kThreads = 4;
    constexpr int kPerThread = 400;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([a, t] {
            for (int i = 0; i < kPerThread; ++i) {
                PostMessageA(a, kFirst, static_cast<WPARAM>(t), i);
            }
        });
    }
    for (auto& th : threads) th.join();
    PumpPending();
    std::vector<int> next(kThreads, 0);
    for (const Event& e : Received(a, kFirst)) {
        ASSERT_LT(e.wParam, static_cast<WPARAM>(kThreads));
        EXPECT_EQ(e.lParam, next[e.wParam]) << "thread " << e.wParam << " out of order";
        next[e.wParam] = static_cast<int>(e.lParam) + 1;
    }
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kPerThread);
}

TEST_F(MessageTest, APostFromAnotherThreadWakesAWaitingGetMessage) {
    const HWND a = Create(0, 0, 10, 10);
    // With nothing scheduled GetMessage can only wait for other threads; make
    // the idle wait long so that only a working wake-up ends it promptly.
    edge.SetIdleWait(std::chrono::seconds(30));
    std::atomic<bool> started{false};
    std::thread poster([&] {
        while (!started.load()) std::this_thread::yield();
        for (int i = 0; i < 3; ++i) PostMessageA(a, kFirst, 0, i);
        PostMessageA(a, kSecond, 0, 0);
    });
    g_handler = [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == kSecond) PostQuitMessage(9);
        return std::nullopt;
    };
    started = true;
    MSG msg{};
    std::vector<LPARAM> seen;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (msg.message == kFirst) seen.push_back(msg.lParam);
        DispatchMessageA(&msg);
    }
    poster.join();
    EXPECT_EQ(msg.wParam, 9u);
    EXPECT_EQ(seen, (std::vector<LPARAM>{0, 1, 2}));
    EXPECT_GE(edge.WakeCount(), 1);
    EXPECT_EQ(edge.NowMillis(), 0) << "waiting for a post must not move virtual time";
}

TEST_F(MessageTest, WaitForPostReportsWakeUpsFromOtherThreads) {
    const HWND a = Create(0, 0, 10, 10);
    std::thread poster([a] { PostMessageA(a, kFirst, 0, 0); });
    EXPECT_TRUE(edge.WaitForPost(std::chrono::seconds(30)));
    poster.join();
    EXPECT_FALSE(edge.WaitForPost(std::chrono::milliseconds(1))) << "the wake was consumed";
}

TEST_F(MessageTest, AThreadMessageIsFetchedButDispatchedToNoOne) {
    EXPECT_TRUE(PostMessageA(nullptr, kFirst, 4, 0));
    MSG msg{};
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, 4u);
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_TRUE(g_log.empty());
}

}  // namespace
