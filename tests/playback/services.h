#pragma once
// Test services: a test that needs one reads its variable; without it the test fails
// when HALVANE_TEST_SERVICES=1 is set and is skipped otherwise.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace hvn::test {

inline bool ServicesRequired() {
    const char *v = std::getenv("HALVANE_TEST_SERVICES");
    return v && std::string(v) == "1";
}

inline bool HaveEnv(const char *name) {
    const char *v = std::getenv(name);
    return v && *v;
}

} // namespace hvn::test

// Use at the start of a test or SetUp: returns from it when the service is missing.
#define HVN_REQUIRE_SERVICE(var)                                                                   \
    do {                                                                                           \
        if (!::hvn::test::HaveEnv(var)) {                                                          \
            if (::hvn::test::ServicesRequired()) {                                                 \
                FAIL() << var << " is not set";                                                    \
            }                                                                                      \
            GTEST_SKIP() << var << " is not set";                                                  \
        }                                                                                          \
    } while (0)
