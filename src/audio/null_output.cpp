// The test-only output: takes frames at the real-time rate and drops them.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "audio/audio_output.h"

namespace hvn {
namespace {

class NullOutput : public AudioOutput {
public:
    bool write(const float *, size_t count) override {
        using namespace std::chrono;
        std::unique_lock lock(mutex_);
        auto now = steady_clock::now();
        // After an idle spell the clock restarts instead of letting frames rush through.
        if (deadline_ < now)
            deadline_ = now;
        deadline_ += duration_cast<steady_clock::duration>(
            duration<double>(static_cast<double>(count) / kOutputRate));
        wake_.wait_until(lock, deadline_, [&] { return interrupted_; });
        return true;
    }
    void interrupt() override {
        {
            std::lock_guard lock(mutex_);
            interrupted_ = true;
        }
        wake_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::chrono::steady_clock::time_point deadline_{};
    bool interrupted_ = false;
};

} // namespace

std::unique_ptr<AudioOutput> open_null_output() {
    return std::make_unique<NullOutput>();
}

} // namespace hvn
