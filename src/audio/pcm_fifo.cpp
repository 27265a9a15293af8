#include "audio/pcm_fifo.h"

#include <algorithm>
#include <cstring>

namespace hvn {

PcmFifo::PcmFifo(size_t capacityFrames)
    : data_(std::max<size_t>(capacityFrames, 1) * 2),
      capacity_(std::max<size_t>(capacityFrames, 1)) {}

bool PcmFifo::push(const float *frames, size_t count) {
    std::unique_lock lock(mutex_);
    while (count > 0) {
        space_.wait(lock, [&] { return aborted_ || size_ < capacity_; });
        if (aborted_)
            return false;
        size_t n = std::min(count, capacity_ - size_);
        size_t tail = (head_ + size_) % capacity_;
        size_t first = std::min(n, capacity_ - tail);
        std::memcpy(&data_[tail * 2], frames, first * 2 * sizeof(float));
        std::memcpy(&data_[0], frames + first * 2, (n - first) * 2 * sizeof(float));
        size_ += n;
        frames += n * 2;
        count -= n;
    }
    return true;
}

void PcmFifo::finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
}

size_t PcmFifo::pop(float *frames, size_t count) {
    size_t n = 0;
    {
        std::lock_guard lock(mutex_);
        n = std::min(count, size_);
        size_t first = std::min(n, capacity_ - head_);
        std::memcpy(frames, &data_[head_ * 2], first * 2 * sizeof(float));
        std::memcpy(frames + first * 2, &data_[0], (n - first) * 2 * sizeof(float));
        head_ = (head_ + n) % capacity_;
        size_ -= n;
    }
    if (n > 0)
        space_.notify_all();
    return n;
}

void PcmFifo::abort() {
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
    }
    space_.notify_all();
}

size_t PcmFifo::frames() const {
    std::lock_guard lock(mutex_);
    return size_;
}

bool PcmFifo::drained() const {
    std::lock_guard lock(mutex_);
    return finished_ && size_ == 0;
}

bool PcmFifo::finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

} // namespace hvn
