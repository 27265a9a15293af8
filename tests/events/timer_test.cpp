#include "events/timer.h"

#include "events/queue.h"

#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <poll.h>
#include <thread>

namespace hvn {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class Timers : public ::testing::Test {
protected:
    void SetUp() override {
        SetEventPump(nullptr);
        DeliverTimerTicks();
        FlushEvents();
    }
    void TearDown() override { FlushEvents(); }
};

// Waits (in WaitEvent) until `timer` has delivered `ticks`, counting every tick by source.
void WaitForTicks(const Timer &timer, int ticks, std::map<const void *, int> &seen) {
    while (timer.Ticks() < ticks) {
        const Event &e = WaitEvent();
        if (e.id == TimerTick) {
            seen[e.source] = e.data;
        }
    }
}

TEST_F(Timers, IntervalMs_Rates_FloorOfThousandOverRate) {
    const std::pair<double, int> cases[] = {{0.5, 2000}, {4, 250},  {30, 33}, {10, 100}, {3, 333},
                                            {1000, 1},   {5000, 1}, {0, 0},   {-1, 0}};
    for (auto [hz, ms] : cases) {
        TimerPtr timer = Timer::Create(hz);
        EXPECT_EQ(timer->IntervalMs(), ms) << hz;
        EXPECT_EQ(timer->Rate(), hz);
    }
}

TEST_F(Timers, WaitEvent_ThreeRates_TickAtTheirRatesWithTimerAsSource) {
    auto start = Clock::now();
    TimerPtr slow = Timer::Create(4);
    TimerPtr fast = Timer::Create(30);
    TimerPtr idle = Timer::Create(0.5);
    std::map<const void *, int> last;
    WaitForTicks(*slow, 4, last); // one second
    auto elapsed = Clock::now() - start;
    // Ticks are scheduled from the start: the fourth 250 ms tick is due at 1000 ms.
    EXPECT_GE(elapsed, milliseconds(1000));
    EXPECT_LT(elapsed, milliseconds(1300));
    EXPECT_EQ(last[slow.get()], 4);
    EXPECT_EQ(last[idle.get()], 0);
    // 1000 / 33 = 30.3 ticks were due; allow for the last one still on its way.
    EXPECT_GE(fast->Ticks(), 28);
    EXPECT_LE(fast->Ticks(), 31);
    EXPECT_EQ(last[fast.get()], fast->Ticks()); // data is the running tick count
    EXPECT_EQ(idle->Ticks(), 0);
}

TEST_F(Timers, DeliverTimerTicks_MainThreadBusy_TicksMergeIntoOneEvent) {
    TimerPtr timer = Timer::Create(200);
    // Stand-in for a long step on the main thread while the timer keeps ticking.
    std::this_thread::sleep_for(milliseconds(100));
    DeliverTimerTicks();
    EXPECT_GE(timer->Ticks(), 15);    // every tick was counted...
    EXPECT_EQ(QueuedEventCount(), 1); // ...but they share one slot
    const Event &e = WaitEvent();
    EXPECT_EQ(e.id, TimerTick);
    EXPECT_EQ(e.source, timer.get());
    EXPECT_EQ(e.data, timer->Ticks());
}

TEST_F(Timers, Stop_SlowTimer_ReturnsPromptlyAndNothingArrivesAfter) {
    TimerPtr slow = Timer::Create(0.5);
    TimerPtr fast = Timer::Create(100);
    std::map<const void *, int> seen;
    WaitForTicks(*fast, 3, seen);
    auto start = Clock::now();
    slow->Stop();
    fast->Stop();
    EXPECT_LT(Clock::now() - start, milliseconds(100));
    fast->Stop(); // twice is harmless
    int ticks = fast->Ticks();
    FlushEvents();
    PumpEvents(0.05);
    EXPECT_EQ(fast->Ticks(), ticks);
    EXPECT_EQ(QueuedEventCount(), 0);
}

TEST_F(Timers, SetPaused_WhilePaused_NoWakeUpAndTheScheduleGoesOnFromTheStart) {
    const auto start = Clock::now();
    TimerPtr timer = Timer::Create(10);
    std::map<const void *, int> seen;
    WaitForTicks(*timer, 2, seen);
    timer->SetPaused(true);
    PumpEvents(0.05); // a tick posted just before the pause may still come
    const int ticks = timer->Ticks();
    pollfd fd{TimerWakeFd(), POLLIN, 0};
    EXPECT_EQ(::poll(&fd, 1, 350), 0); // the main thread is left asleep
    timer->SetPaused(false);
    WaitForTicks(*timer, ticks + 1, seen);
    // The ticks due during the pause are skipped, not delivered late, and the next one
    // comes on the 100 ms grid of the start time.
    EXPECT_EQ(timer->Ticks(), ticks + 1);
    const auto sinceStart = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    EXPECT_GE(sinceStart.count(), 600);
    EXPECT_LT(sinceStart.count() % 100, 80);
}

TEST_F(Timers, Destroy_WithTickPending_NoEventForTheGoneTimer) {
    TimerPtr timer = Timer::Create(100);
    pollfd fd{TimerWakeFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&fd, 1, 2000), 1); // a tick is waiting in the pipe
    timer.reset();
    DeliverTimerTicks();
    EXPECT_EQ(QueuedEventCount(), 0);
}

TEST_F(Timers, EmitHook_DroppingTicks_TicksStillCounted) {
    TimerPtr timer = Timer::Create(100);
    int seen = 0;
    int hook = AddEmitHook(0, [&](Event &e) {
        if (e.source != timer.get()) {
            return true;
        }
        ++seen;
        return false;
    });
    while (timer->Ticks() < 3) {
        PumpEvents(-1);
    }
    RemoveEmitHook(hook);
    EXPECT_EQ(seen, timer->Ticks());
    EXPECT_EQ(QueuedEventCount(), 0);
}

} // namespace
} // namespace hvn
