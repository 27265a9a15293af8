#pragma once
// Decoded sound waiting for the output: interleaved stereo float frames at the output rate,
// bounded. The decoder thread pushes (blocking while full); the output thread pops without
// ever blocking.
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace hvn {

class PcmFifo {
public:
    explicit PcmFifo(size_t capacityFrames);

    // Decoder thread: blocks until every frame is queued; false once aborted.
    bool push(const float *frames, size_t count);
    // Decoder thread: nothing more will be pushed.
    void finish();
    // Output thread: copies up to count frames, returns how many. Never blocks.
    size_t pop(float *frames, size_t count);
    // Any thread: wakes a blocked push; later pushes fail at once.
    void abort();

    size_t frames() const;
    // Finished and emptied: the stream has been heard to its end.
    bool drained() const;
    bool finished() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable space_;
    std::vector<float> data_; // 2 floats a frame
    size_t capacity_;
    size_t head_ = 0; // in frames
    size_t size_ = 0;
    bool finished_ = false;
    bool aborted_ = false;
};

} // namespace hvn
