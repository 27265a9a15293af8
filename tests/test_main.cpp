// The tests' main: GoogleTest's own, except that a fatal failure ends the whole test.
#include <gtest/gtest.h>

#include <thread>

namespace {

// An ASSERT inside a helper only leaves the helper, and the test would go on into a null
// pointer or a wait for a state that never comes. Thrown, the failure ends the test with
// its message. On other threads an exception would end the process: there the failure
// is only recorded.
class FatalFailureEndsTest : public testing::EmptyTestEventListener {
public:
    void OnTestPartResult(const testing::TestPartResult &result) override {
        if (result.fatally_failed() && std::this_thread::get_id() == mainThread_)
            throw testing::AssertionException(result);
    }

private:
    std::thread::id mainThread_ = std::this_thread::get_id();
};

} // namespace

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FatalFailureEndsTest);
    return RUN_ALL_TESTS();
}
