#include "events/queue.h"

#include <chrono>
#include <gtest/gtest.h>
#include <vector>

namespace hvn {
namespace {

class Queue : public ::testing::Test {
protected:
    void SetUp() override {
        SetEventPump(nullptr);
        FlushEvents();
    }
    void TearDown() override {
        for (int handle : hooks_) {
            RemoveEmitHook(handle);
        }
        SetEventPump(nullptr);
        FlushEvents();
    }
    int Hook(int priority, EmitHook hook) {
        hooks_.push_back(AddEmitHook(priority, std::move(hook)));
        return hooks_.back();
    }
    std::vector<int> hooks_;
};

Event Make(int id, const void *source, int data = 0) {
    Event e;
    e.id = id;
    e.source = source;
    e.data = data;
    return e;
}

// Takes every queued event without pumping.
std::vector<Event> Drain() {
    std::vector<Event> out;
    while (QueuedEventCount() > 0) {
        out.push_back(WaitEvent());
    }
    return out;
}

int sourceA, sourceB;

TEST_F(Queue, QueueEvent_MergeableKinds_SameIdAndSourceMerged) {
    for (int id : {int(TimerTick), int(GadgetAction), int(WindowMove), int(WindowSize)}) {
        FlushEvents();
        EmitEvent(Make(id, &sourceA, 1));
        EmitEvent(Make(MouseDown, &sourceA, 1));
        Event later = Make(id, &sourceA, 2);
        later.x = 10;
        later.y = 20;
        later.mods = 4;
        later.extra = "x";
        EmitEvent(later);
        EmitEvent(Make(id, &sourceB, 3)); // another source: its own slot
        std::vector<Event> got = Drain();
        ASSERT_EQ(got.size(), 3u) << id;
        // The merged event keeps its place and takes the newer values.
        EXPECT_EQ(got[0].id, id);
        EXPECT_EQ(got[0].data, 2);
        EXPECT_EQ(got[0].x, 10);
        EXPECT_EQ(got[0].y, 20);
        EXPECT_EQ(got[0].mods, 4);
        EXPECT_EQ(got[0].extra, "x");
        EXPECT_EQ(got[1].id, MouseDown);
        EXPECT_EQ(got[2].source, &sourceB);
    }
}

TEST_F(Queue, QueueEvent_OtherKinds_NeverMerged) {
    for (int id : {int(MouseMove), int(MouseDown), int(GadgetSelect), int(MenuAction),
                   int(WindowAccept), int(GadgetPaint)}) {
        FlushEvents();
        EmitEvent(Make(id, &sourceA, 1));
        EmitEvent(Make(id, &sourceA, 2));
        EXPECT_EQ(QueuedEventCount(), 2) << id;
    }
    // A merge happens only while the first one is still queued.
    FlushEvents();
    EmitEvent(Make(TimerTick, &sourceA, 1));
    EXPECT_EQ(WaitEvent().data, 1);
    EmitEvent(Make(TimerTick, &sourceA, 2));
    EXPECT_EQ(QueuedEventCount(), 1);
}

TEST_F(Queue, QueueEvent_Full_NewEventDroppedButMergeStillWorks) {
    EXPECT_TRUE(QueueEvent(Make(TimerTick, &sourceA, 1)));
    for (int i = 1; i < kEventQueueSize; ++i) {
        EXPECT_TRUE(QueueEvent(Make(MouseMove, &sourceB, i)));
    }
    EXPECT_EQ(QueuedEventCount(), kEventQueueSize);
    EXPECT_FALSE(QueueEvent(Make(MouseMove, &sourceB, 999)));
    EXPECT_FALSE(QueueEvent(Make(TimerTick, &sourceB, 1)));
    EXPECT_TRUE(QueueEvent(Make(TimerTick, &sourceA, 7))); // merges, needs no slot
    EXPECT_EQ(QueuedEventCount(), kEventQueueSize);
    std::vector<Event> got = Drain();
    EXPECT_EQ(got.front().data, 7);
    EXPECT_EQ(got.back().data, kEventQueueSize - 1); // the dropped ones never arrive
}

TEST_F(Queue, EmitHooks_Priorities_RunHighestFirstAroundTheQueue) {
    std::vector<std::string> order;
    Hook(-20000, [&](Event &) {
        order.push_back("low:" + std::to_string(QueuedEventCount()));
        return true;
    });
    Hook(0, [&](Event &) {
        order.push_back("zero");
        return true;
    });
    Hook(5, [&](Event &e) {
        order.push_back("five");
        e.data = 42;
        return true;
    });
    Hook(0, [&](Event &) {
        order.push_back("zero2");
        return true;
    });
    EmitEvent(Make(MouseDown, &sourceA, 1));
    EXPECT_EQ(order, (std::vector<std::string>{"five", "zero", "zero2", "low:1"}));
    EXPECT_EQ(WaitEvent().data, 42); // a hook may change the event
}

TEST_F(Queue, EmitHooks_DropAndRemove_EventKeptOutOfTheQueue) {
    int lowSeen = 0;
    Hook(-20000, [&](Event &) { return ++lowSeen, true; });
    int filter = Hook(0, [](Event &e) { return !(e.id == GadgetPaint && e.source == &sourceA); });
    EmitEvent(Make(GadgetPaint, &sourceA));
    EmitEvent(Make(GadgetPaint, &sourceB));
    EXPECT_EQ(QueuedEventCount(), 1);
    EXPECT_EQ(lowSeen, 1); // a dropped event goes no further down the chain
    RemoveEmitHook(filter);
    EmitEvent(Make(GadgetPaint, &sourceA));
    EXPECT_EQ(QueuedEventCount(), 2);
    RemoveEmitHook(12345); // unknown handles are ignored
}

TEST_F(Queue, EmitHooks_HookRemovesItselfWhileRunning_ChainFinishes) {
    int self = 0;
    int after = 0;
    self = Hook(10, [&](Event &) {
        RemoveEmitHook(self);
        return true;
    });
    Hook(5, [&](Event &) { return ++after, true; });
    EmitEvent(Make(MouseUp, &sourceA));
    EmitEvent(Make(MouseUp, &sourceA));
    EXPECT_EQ(after, 2);
    EXPECT_EQ(QueuedEventCount(), 2);
}

TEST_F(Queue, WaitAndPoll_WithPump_DeliverThroughThePump) {
    std::vector<double> timeouts;
    SetEventPump([&](double timeout) {
        timeouts.push_back(timeout);
        if (timeouts.size() == 3) {
            EmitEvent(Make(MenuAction, &sourceA, 9));
        }
    });
    EXPECT_EQ(PollEvent(), nullptr);
    const Event &e = WaitEvent(); // pumps until the third call emits
    EXPECT_EQ(e.id, MenuAction);
    EXPECT_EQ(e.data, 9);
    EXPECT_EQ(&CurrentEvent(), &e);
    EXPECT_EQ(timeouts, (std::vector<double>{0, -1, -1}));

    EmitEvent(Make(MouseWheel, &sourceB, -2));
    const Event *polled = PollEvent();
    ASSERT_NE(polled, nullptr);
    EXPECT_EQ(polled->data, -2);
    EXPECT_EQ(CurrentEvent().id, MouseWheel);
}

TEST_F(Queue, DefaultPump_NoTimers_WaitsForTheTimeout) {
    auto start = std::chrono::steady_clock::now();
    PumpEvents(0.05);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(45));
    EXPECT_LT(waited, std::chrono::milliseconds(1000));
    EXPECT_EQ(PollEvent(), nullptr);
}

} // namespace
} // namespace hvn
