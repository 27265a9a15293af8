#include "audio/thread_reaper.h"

#include <pthread.h>

#include <algorithm>

namespace hvn {

void name_thread(const char *name) {
    pthread_setname_np(pthread_self(), name);
}

ThreadReaper::~ThreadReaper() {
    join_all();
}

void ThreadReaper::start(std::function<void()> work) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread t([work = std::move(work), done] {
        work();
        *done = true;
    });
    workers_.push_back({std::move(t), std::move(done)});
}

void ThreadReaper::reap() {
    auto finished = std::stable_partition(workers_.begin(), workers_.end(),
                                          [](const Worker &w) { return !*w.done; });
    for (auto it = finished; it != workers_.end(); ++it)
        it->thread.join();
    workers_.erase(finished, workers_.end());
}

void ThreadReaper::join_all() {
    for (auto &w : workers_)
        w.thread.join();
    workers_.clear();
}

} // namespace hvn
