// Timer jitter and event-queue cost.
//   events_bench [seconds]   (default 10)
// Jitter: a 30 Hz timer's ticks as WaitEvent returns them, against their schedule
// (start + n * 33 ms). Queue: the cost of one emit followed by one wait or poll.
#include "events/queue.h"
#include "events/timer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

void TimerJitter(double seconds) {
    const Clock::time_point start = Clock::now();
    hvn::TimerPtr timer = hvn::Timer::Create(30);
    const auto interval = std::chrono::milliseconds(timer->IntervalMs());
    const int wanted = int(seconds * 1000 / timer->IntervalMs());
    std::vector<double> late; // microseconds after the scheduled time
    int merged = 0;
    int expected = 1;
    while (timer->Ticks() < wanted) {
        const hvn::Event &e = hvn::WaitEvent();
        if (e.id != hvn::TimerTick || e.source != timer.get()) {
            continue;
        }
        Clock::time_point now = Clock::now();
        merged += e.data - expected;
        expected = e.data + 1;
        late.push_back(Micros(now - (start + e.data * interval)));
    }
    timer->Stop();
    double sum = 0, absMax = 0;
    for (double v : late) {
        sum += std::fabs(v);
        absMax = std::max(absMax, std::fabs(v));
    }
    std::sort(late.begin(), late.end());
    std::printf("timer 30 Hz, %d ms interval, %zu ticks over %.1f s\n", timer->IntervalMs(),
                late.size(), seconds);
    std::printf("  deviation from schedule: mean %.1f us, median %.1f us, p99 %.1f us, "
                "max %.1f us, min %.1f us; ticks merged %d\n",
                sum / double(late.size()), late[late.size() / 2],
                late[size_t(double(late.size()) * 0.99)], absMax, late.front(), merged);
}

void QueuePass(int passes) {
    int source = 0;
    hvn::Event e;
    e.id = hvn::MouseMove;
    e.source = &source;
    auto start = Clock::now();
    for (int i = 0; i < passes; ++i) {
        e.data = i;
        hvn::EmitEvent(e);
        hvn::WaitEvent();
    }
    double waitNs = Micros(Clock::now() - start) * 1000 / passes;

    start = Clock::now();
    for (int i = 0; i < passes; ++i) {
        e.data = i;
        hvn::EmitEvent(e);
        hvn::PollEvent(); // pumps: one poll() on the wake-up pipe
    }
    double pollNs = Micros(Clock::now() - start) * 1000 / passes;

    int hook = hvn::AddEmitHook(0, [](hvn::Event &ev) { return ev.id != hvn::GadgetPaint; });
    start = Clock::now();
    for (int i = 0; i < passes; ++i) {
        e.data = i;
        hvn::EmitEvent(e);
        hvn::WaitEvent();
    }
    double hookNs = Micros(Clock::now() - start) * 1000 / passes;
    hvn::RemoveEmitHook(hook);

    std::printf("queue pass over %d events: emit + WaitEvent %.0f ns, with one filter hook "
                "%.0f ns, emit + PollEvent %.0f ns\n",
                passes, waitNs, hookNs, pollNs);
}

} // namespace

int main(int argc, char **argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    QueuePass(1000000);
    TimerJitter(seconds > 0 ? seconds : 10.0);
    return 0;
}
