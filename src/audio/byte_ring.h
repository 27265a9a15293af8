#pragma once
// The stream buffer: a bounded ring of the raw bytes the network sent, between the network
// thread (the one writer) and the decoder thread (the one reader). Its fill is what the
// stream reports as percent buffered.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace hvn {

class ByteRing {
public:
    explicit ByteRing(size_t capacity);

    // Writer: blocks until there is free space, the ring is aborted or closed. Returns the
    // free space, 0 once aborted or closed.
    size_t wait_space();
    // Writer: copies at most the free space; returns the bytes taken. Never blocks.
    size_t write(const uint8_t *data, size_t size);
    // Writer: no more data will come. endCode is kept for the reader (0 = a clean end).
    void close(int endCode);
    // Writer: what is written from now on belongs to a new connection. The reader gets an
    // end of data (0) once it has read everything before the mark, then the new bytes.
    void mark_boundary();

    // Reader: blocks until data is there, the writer closed or the ring is aborted. Returns
    // the bytes copied, 0 at the end of the data or at a boundary, -1 once aborted. When the call
    // has to wait on an empty ring it first sets *dry (when given), so others see it running dry.
    long read(uint8_t *out, size_t size, std::atomic<bool> *dry = nullptr);

    // Reader: blocks until data is there, the writer closed or the ring is aborted; true
    // when there is data.
    bool wait_data();

    // Any thread: wakes every waiter; later calls return at once.
    void abort();

    size_t capacity() const { return data_.size(); }
    size_t fill() const;
    bool full() const;
    bool closed() const;
    int end_code() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<uint8_t> data_;
    size_t head_ = 0; // next byte to read
    size_t size_ = 0;
    bool closed_ = false;
    bool aborted_ = false;
    int endCode_ = 0;
    uint64_t readTotal_ = 0, writeTotal_ = 0;
    std::deque<uint64_t> boundaries_; // writeTotal_ at each mark not yet reached
};

} // namespace hvn
