#pragma once
// The engine's worker threads. A stream's threads are never joined on the main thread while
// they may still be stuck in a network call: release only marks them, and they are joined
// once they have finished (or, at system release, waited for).
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace hvn {

// Names the calling thread (up to 15 bytes) so that per-thread figures show whose it is.
void name_thread(const char *name);

class ThreadReaper {
public:
    ~ThreadReaper(); // join_all()
    // Main thread: runs work on a new thread.
    void start(std::function<void()> work);
    // Main thread: joins the threads that have finished. Never blocks for long.
    void reap();
    // Main thread: waits for every thread (their streams must have been aborted).
    void join_all();

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Worker> workers_;
};

} // namespace hvn
