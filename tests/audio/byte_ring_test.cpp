#include "audio/byte_ring.h"
#include "audio/pcm_fifo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <numeric>
#include <thread>
#include <vector>

namespace hvn {
namespace {

using namespace std::chrono_literals;

TEST(ByteRingTest, ByteRing_writesAcrossTheWrap_readBackInOrder) {
    ByteRing ring(10);
    std::vector<uint8_t> in(25);
    std::iota(in.begin(), in.end(), 0);
    std::vector<uint8_t> out;
    size_t written = 0;
    while (out.size() < in.size()) {
        written += ring.write(in.data() + written, std::min<size_t>(7, in.size() - written));
        EXPECT_LE(ring.fill(), 10u);
        uint8_t buf[4];
        long n = ring.read(buf, sizeof buf);
        ASSERT_GT(n, 0);
        out.insert(out.end(), buf, buf + n);
    }
    EXPECT_EQ(out, in);
}

TEST(ByteRingTest, ByteRing_full_writeTakesOnlyFreeSpace) {
    ByteRing ring(8);
    uint8_t data[12] = {};
    EXPECT_EQ(ring.write(data, 12), 8u);
    EXPECT_TRUE(ring.full());
    EXPECT_EQ(ring.write(data, 1), 0u);
}

TEST(ByteRingTest, ByteRing_closedAfterData_readsDataThenEndWithCode) {
    ByteRing ring(8);
    uint8_t data[3] = {1, 2, 3};
    ring.write(data, 3);
    ring.close(17);
    uint8_t buf[8];
    EXPECT_EQ(ring.read(buf, 8), 3);
    EXPECT_EQ(ring.read(buf, 8), 0);
    EXPECT_EQ(ring.end_code(), 17);
    EXPECT_EQ(ring.wait_space(), 0u);
}

TEST(ByteRingTest, ByteRing_abortWhileBlocked_bothSidesReturn) {
    ByteRing ring(4);
    std::atomic<bool> dry{false};
    auto reader = std::async(std::launch::async, [&] {
        uint8_t buf[4];
        return ring.read(buf, 4, &dry);
    });
    EXPECT_EQ(reader.wait_for(50ms), std::future_status::timeout);
    EXPECT_TRUE(dry); // seen while it still waits
    ring.abort();
    ASSERT_EQ(reader.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(reader.get(), -1);

    ByteRing full(2);
    uint8_t data[2] = {};
    full.write(data, 2);
    auto writer = std::async(std::launch::async, [&] { return full.wait_space(); });
    EXPECT_EQ(writer.wait_for(50ms), std::future_status::timeout);
    full.abort();
    ASSERT_EQ(writer.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(writer.get(), 0u);
}

TEST(PcmFifoTest, PcmFifo_pushMoreThanCapacity_blocksUntilPopped) {
    PcmFifo fifo(4);
    std::vector<float> in(2 * 10);
    std::iota(in.begin(), in.end(), 0.0f);
    auto pusher = std::async(std::launch::async, [&] { return fifo.push(in.data(), 10); });
    std::vector<float> out;
    float buf[2 * 3];
    while (out.size() < in.size()) {
        size_t n = fifo.pop(buf, 3);
        out.insert(out.end(), buf, buf + 2 * n);
        if (n == 0)
            std::this_thread::yield();
    }
    EXPECT_TRUE(pusher.get());
    EXPECT_EQ(out, in);
    EXPECT_FALSE(fifo.drained());
    fifo.finish();
    EXPECT_TRUE(fifo.drained());
}

TEST(PcmFifoTest, PcmFifo_abortWhileFull_pushFails) {
    PcmFifo fifo(2);
    float frames[2 * 4] = {};
    auto pusher = std::async(std::launch::async, [&] { return fifo.push(frames, 4); });
    EXPECT_EQ(pusher.wait_for(50ms), std::future_status::timeout);
    fifo.abort();
    ASSERT_EQ(pusher.wait_for(1s), std::future_status::ready);
    EXPECT_FALSE(pusher.get());
}

} // namespace
} // namespace hvn
