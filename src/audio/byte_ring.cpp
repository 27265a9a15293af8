#include "audio/byte_ring.h"

#include <algorithm>
#include <cstring>

namespace hvn {

ByteRing::ByteRing(size_t capacity) : data_(std::max<size_t>(capacity, 1)) {}

size_t ByteRing::wait_space() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return aborted_ || closed_ || size_ < data_.size(); });
    if (aborted_ || closed_)
        return 0;
    return data_.size() - size_;
}

size_t ByteRing::write(const uint8_t *data, size_t size) {
    {
        std::lock_guard lock(mutex_);
        if (aborted_ || closed_)
            return 0;
        size = std::min(size, data_.size() - size_);
        size_t tail = (head_ + size_) % data_.size();
        size_t first = std::min(size, data_.size() - tail);
        std::memcpy(data_.data() + tail, data, first);
        std::memcpy(data_.data(), data + first, size - first);
        size_ += size;
        writeTotal_ += size;
    }
    changed_.notify_all();
    return size;
}

void ByteRing::mark_boundary() {
    std::lock_guard lock(mutex_);
    if (boundaries_.empty() || boundaries_.back() != writeTotal_)
        boundaries_.push_back(writeTotal_);
}

void ByteRing::close(int endCode) {
    {
        std::lock_guard lock(mutex_);
        if (!closed_)
            endCode_ = endCode;
        closed_ = true;
    }
    changed_.notify_all();
}

long ByteRing::read(uint8_t *out, size_t size, std::atomic<bool> *dry) {
    size_t n = 0;
    {
        std::unique_lock lock(mutex_);
        if (dry && size_ == 0 && !closed_ && !aborted_)
            *dry = true;
        changed_.wait(lock, [&] { return aborted_ || closed_ || size_ > 0; });
        if (aborted_)
            return -1;
        if (!boundaries_.empty() && boundaries_.front() == readTotal_) {
            boundaries_.pop_front();
            return 0;
        }
        n = std::min(size, size_);
        if (!boundaries_.empty())
            n = static_cast<size_t>(std::min<uint64_t>(n, boundaries_.front() - readTotal_));
        size_t first = std::min(n, data_.size() - head_);
        std::memcpy(out, data_.data() + head_, first);
        std::memcpy(out + first, data_.data(), n - first);
        head_ = (head_ + n) % data_.size();
        size_ -= n;
        readTotal_ += n;
    }
    changed_.notify_all();
    return static_cast<long>(n);
}

bool ByteRing::wait_data() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return aborted_ || closed_ || size_ > 0; });
    return !aborted_ && size_ > 0;
}

void ByteRing::abort() {
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
    }
    changed_.notify_all();
}

size_t ByteRing::fill() const {
    std::lock_guard lock(mutex_);
    return size_;
}

bool ByteRing::full() const {
    std::lock_guard lock(mutex_);
    return size_ == data_.size();
}

bool ByteRing::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

int ByteRing::end_code() const {
    std::lock_guard lock(mutex_);
    return endCode_;
}

} // namespace hvn
