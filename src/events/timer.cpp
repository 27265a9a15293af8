#include "events/timer.h"

#include "events/queue.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace hvn {

namespace {

using Clock = std::chrono::steady_clock;

// The part of a timer its thread and the delivery share; kept alive by whoever still
// holds it, so a tick being delivered never outlives the timer's memory.
struct TimerCore {
    Timer *owner = nullptr;
    double hz = 0;
    int intervalMs = 0;

    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false; // guarded by mutex
    bool paused = false;   // guarded by mutex

    int pending = 0;      // guarded by the hub's mutex
    int ticks = 0;        // main thread only
    bool stopped = false; // main thread only
};

// Ticks handed from the timer threads to the main thread.
class TickHub {
public:
    TickHub() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            readFd_ = fds[0];
            writeFd_ = fds[1];
        }
    }

    int ReadFd() const { return readFd_; }

    // Any thread, and signal handlers: write(2) is all it does.
    void Wake() const {
        ssize_t n = ::write(writeFd_, "w", 1);
        (void)n;
    }

    // Timer thread.
    void Post(const std::shared_ptr<TimerCore> &core) {
        std::lock_guard lock(mutex_);
        if (core->pending++ == 0) {
            ready_.push_back(core);
        }
        // One byte is enough to wake the main thread; it takes every pending tick.
        if (!signalled_) {
            signalled_ = true;
            ssize_t n = ::write(writeFd_, "t", 1);
            (void)n;
        }
    }

    // Main thread: the timers with ticks waiting and how many each has.
    std::vector<std::pair<std::shared_ptr<TimerCore>, int>> Take() {
        DrainPipe();
        std::lock_guard lock(mutex_);
        signalled_ = false;
        std::vector<std::pair<std::shared_ptr<TimerCore>, int>> taken;
        for (auto &core : ready_) {
            taken.emplace_back(core, std::exchange(core->pending, 0));
        }
        ready_.clear();
        return taken;
    }

    // Main thread, after the timer's thread has ended.
    void Forget(const TimerCore *core) {
        std::lock_guard lock(mutex_);
        std::erase_if(ready_, [&](const auto &c) { return c.get() == core; });
    }

private:
    void DrainPipe() {
        char buffer[64];
        for (;;) {
            ssize_t n = ::read(readFd_, buffer, sizeof buffer);
            if (n <= 0 && !(n < 0 && errno == EINTR)) {
                return;
            }
        }
    }

    // The pipe lives as long as the process: the hub is never destroyed.
    int readFd_ = -1;
    int writeFd_ = -1;
    std::mutex mutex_;
    std::vector<std::shared_ptr<TimerCore>> ready_;
    bool signalled_ = false;
};

TickHub &Hub() {
    // Never destroyed, so a timer stopped during exit still finds it.
    static TickHub *hub = new TickHub();
    return *hub;
}

int IntervalFor(double hz) {
    if (!(hz > 0) || !std::isfinite(hz)) {
        return 0; // never ticks
    }
    // Rates above 1000 Hz would give 0 ms and a thread that never sleeps.
    return std::max(1, int(std::floor(1000.0 / hz)));
}

// `start` is taken when the timer is created, not when its thread first runs, so the
// thread's own start-up delay does not shift the schedule.
void RunTimer(std::shared_ptr<TimerCore> core, Clock::time_point start) {
    const auto interval = std::chrono::milliseconds(core->intervalMs);
    std::unique_lock lock(core->mutex);
    auto stop = [&] { return core->stopping; };
    auto stopOrPause = [&] { return core->stopping || core->paused; };
    for (int64_t n = 1;; ++n) {
        if (core->intervalMs == 0) {
            core->wake.wait(lock, stop);
            return;
        }
        if (core->paused) {
            core->wake.wait(lock, [&] { return core->stopping || !core->paused; });
            if (core->stopping)
                return;
            n = (Clock::now() - start) / interval + 1;
        }
        // From the start time, so a late wake-up does not shift later ticks.
        if (core->wake.wait_until(lock, start + n * interval, stopOrPause)) {
            if (core->stopping)
                return;
            --n; // paused before this tick was due
            continue;
        }
        lock.unlock();
        Hub().Post(core);
        lock.lock();
    }
}

} // namespace

struct Timer::Impl {
    std::shared_ptr<TimerCore> core;
    std::thread thread;
};

Timer::Timer(double hz) : impl_(std::make_unique<Impl>()) {
    impl_->core = std::make_shared<TimerCore>();
    impl_->core->owner = this;
    impl_->core->hz = hz;
    impl_->core->intervalMs = IntervalFor(hz);
}

std::shared_ptr<Timer> Timer::Create(double hz) {
    std::shared_ptr<Timer> timer(new Timer(hz));
    Hub(); // the pipe exists before the first tick
    timer->impl_->thread = std::thread(RunTimer, timer->impl_->core, Clock::now());
    return timer;
}

Timer::~Timer() {
    Stop();
}

void Timer::Stop() {
    TimerCore &core = *impl_->core;
    {
        std::lock_guard lock(core.mutex);
        core.stopping = true;
    }
    core.wake.notify_all();
    if (impl_->thread.joinable()) {
        impl_->thread.join();
    }
    core.stopped = true;
    Hub().Forget(&core);
}

void Timer::SetPaused(bool paused) {
    TimerCore &core = *impl_->core;
    {
        std::lock_guard lock(core.mutex);
        if (core.paused == paused)
            return; // no wake-up for the thread
        core.paused = paused;
    }
    core.wake.notify_all();
}

double Timer::Rate() const {
    return impl_->core->hz;
}

int Timer::Ticks() const {
    return impl_->core->ticks;
}

int Timer::IntervalMs() const {
    return impl_->core->intervalMs;
}

int TimerWakeFd() {
    return Hub().ReadFd();
}

void WakeMainThread() {
    Hub().Wake();
}

void DeliverTimerTicks() {
    for (auto &[core, count] : Hub().Take()) {
        for (int i = 0; i < count && !core->stopped; ++i) {
            ++core->ticks;
            Event event;
            event.id = TimerTick;
            event.source = core->owner;
            event.data = core->ticks;
            EmitEvent(std::move(event));
        }
    }
}

} // namespace hvn
