// The real-time message loop of the command-line program: messages posted
// from other threads, delayed calls, periodic timers, watched descriptors
// and the ends of a run. Nothing here sleeps: the loop itself waits, and the
// only clock readings compared are lower bounds (a timer never fires early),
// which do not depend on the machine's load.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/core/PosixMessageLoop.h"

namespace {

constexpr int kGiveUpMs = 10000;  // a run that takes this long has hung

class CRecorder : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    std::vector<std::pair<UINT, WPARAM>> got;
    std::thread::id thread;
    std::function<void(UINT, WPARAM)> onMessage;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM) override {
        got.emplace_back(msg, wParam);
        thread = std::this_thread::get_id();
        if (onMessage) onMessage(msg, wParam);
        return 0;
    }
    std::size_t Count(UINT msg) const {
        std::size_t n = 0;
        for (const auto& m : got) n += m.first == msg;
        return n;
    }
};

constexpr UINT WM_TEST = WM_USER + 1;

}  // namespace

TEST(PosixMessageLoop, PostsFromOtherThreadsArriveOnTheLoopThreadInOrder) {
    CPosixMessageLoop loop;
    CRecorder target(loop);
    constexpr int kThreads = 4, kEach = 2000;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) loop.Post(&target, WM_TEST, static_cast<WPARAM>(t * kEach + i));
        });
    }
    const bool all = loop.RunUntil([&] { return target.got.size() == kThreads * kEach; }, kGiveUpMs);
    for (auto& p : posters) p.join();
    ASSERT_TRUE(all);
    EXPECT_EQ(target.thread, std::this_thread::get_id());
    // Each thread's messages keep their order among themselves.
    std::vector<int> last(kThreads, -1);
    for (const auto& m : target.got) {
        const int t = static_cast<int>(m.second) / kEach, i = static_cast<int>(m.second) % kEach;
        EXPECT_EQ(i, last[t] + 1);
        last[t] = i;
    }
}

TEST(PosixMessageLoop, MessagesToAGoneTargetAreDropped) {
    CPosixMessageLoop loop;
    CRecorder stays(loop);
    auto gone = std::make_unique<CRecorder>(loop);
    const std::uint64_t handle = gone->Handle();
    EXPECT_TRUE(loop.Post(gone.get(), WM_TEST, 1));  // queued while it lives
    gone.reset();
    EXPECT_FALSE(loop.PostTo(handle, WM_TEST, 2));
    loop.Post(&stays, WM_TEST, 3);
    ASSERT_TRUE(loop.RunUntil([&] { return !stays.got.empty(); }, kGiveUpMs));
    EXPECT_EQ(stays.got.size(), 1u);
}

TEST(PosixMessageLoop, DelayedCallsRunOnceNotEarlyAndNotWhenCancelledOrOrphaned) {
    CPosixMessageLoop loop;
    CRecorder owner(loop);
    auto orphan = std::make_unique<CRecorder>(loop);
    std::vector<int> order;
    const std::int64_t start = CPosixMessageLoop::MonotonicMicros();
    std::int64_t ranAt = 0;
    loop.CallLater(&owner, 30, [&] {
        order.push_back(30);
        ranAt = CPosixMessageLoop::MonotonicMicros();
    });
    loop.CallLater(&owner, 10, [&] { order.push_back(10); });
    const std::uint64_t cancelled = loop.CallLater(&owner, 5, [&] { order.push_back(5); });
    loop.CallLater(orphan.get(), 1, [&] { order.push_back(1); });
    loop.CallLater(nullptr, 20, [&] { order.push_back(20); });  // no owner: always runs
    loop.CancelCall(cancelled);
    orphan.reset();
    ASSERT_TRUE(loop.RunUntil([&] { return order.size() == 3; }, kGiveUpMs));
    EXPECT_EQ(order, (std::vector<int>{10, 20, 30}));
    EXPECT_GE(ranAt - start, 30000);
    // Nothing is left to run: a short run ends on its time limit.
    EXPECT_FALSE(loop.RunUntil([&] { return order.size() > 3; }, 50));
}

TEST(PosixMessageLoop, TimersRepeatRestartWithANewPeriodAndStopWhenKilledOrTheirTargetGoes) {
    CPosixMessageLoop loop;
    CRecorder ticker(loop);
    ticker.onMessage = [&](UINT msg, WPARAM id) {
        // The fifth tick kills its own timer from inside its handler.
        if (msg == WM_TIMER && id == 7 && ticker.Count(WM_TIMER) == 5) loop.KillTimer(&ticker, 7);
    };
    const std::int64_t start = CPosixMessageLoop::MonotonicMicros();
    loop.SetTimer(&ticker, 7, 2);
    loop.SetTimer(&ticker, 7, 4);  // the same ID: restarted with the new period
    EXPECT_TRUE(loop.IsTimerRunning(&ticker, 7));
    ASSERT_TRUE(loop.RunUntil([&] { return ticker.Count(WM_TIMER) == 5; }, kGiveUpMs));
    EXPECT_GE(CPosixMessageLoop::MonotonicMicros() - start, 5 * 4000);
    EXPECT_FALSE(loop.IsTimerRunning(&ticker, 7));
    loop.RunUntil(nullptr, 30);
    EXPECT_EQ(ticker.Count(WM_TIMER), 5u);

    auto goes = std::make_unique<CRecorder>(loop);
    loop.SetTimer(goes.get(), 1, 1);
    CRecorder* raw = goes.get();
    ASSERT_TRUE(loop.RunUntil([&] { return raw->Count(WM_TIMER) >= 1; }, kGiveUpMs));
    goes.reset();
    // A timer left behind would now deliver to a dead target (ASan) or keep
    // the loop busy; the loop instead has nothing to do.
    EXPECT_FALSE(loop.RunUntil([] { return false; }, 20));
}

TEST(PosixMessageLoop, WatchedDescriptorsCallBackWhenReadable) {
    CPosixMessageLoop loop;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string got;
    loop.Watch(fds[0], [&] {
        char buffer[16];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
    });
    std::thread writer([&] { ASSERT_EQ(write(fds[1], "abc", 3), 3); });
    ASSERT_TRUE(loop.RunUntil([&] { return got == "abc"; }, kGiveUpMs));
    writer.join();
    loop.Unwatch(fds[0]);
    ASSERT_EQ(write(fds[1], "d", 1), 1);
    loop.RunUntil(nullptr, 20);
    EXPECT_EQ(got, "abc");
    close(fds[0]);
    close(fds[1]);
}

TEST(PosixMessageLoop, QuitFromAnotherThreadOrAHandlerEndsTheRun) {
    CPosixMessageLoop loop;
    // Whether the quit comes before the run starts or while it waits, the run ends.
    std::thread quitter([&] { loop.Quit(); });
    loop.Run();
    quitter.join();
    loop.Quit();
    loop.Run();

    CRecorder target(loop);
    target.onMessage = [&](UINT, WPARAM n) {
        if (n == 1) loop.Quit();
    };
    loop.Post(&target, WM_TEST, 1);
    loop.Post(&target, WM_TEST, 2);
    loop.Run();
    // The run ended after the handler that quit; the rest waits for the next run.
    EXPECT_EQ(target.got.size(), 1u);
    ASSERT_TRUE(loop.RunUntil([&] { return target.got.size() == 2; }, kGiveUpMs));
}
