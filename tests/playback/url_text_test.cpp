#include "playback/playback.h"

#include <gtest/gtest.h>

namespace hvn {
namespace {

TEST(UrlHost, TableOfUrls_GivesHostWithPort) {
    const struct {
        const char *url;
        const char *host;
    } cases[] = {
        {"http://www.example.com/", "www.example.com"},
        {"http://127.0.0.1:8000/live.mp3", "127.0.0.1:8000"},
        {"https://radio.example.org?x=1", "radio.example.org"},
        {"http://host.example/path?x=1/y", "host.example"},
        {"www.example.com/index.html", "www.example.com"},
        {"host?query", "host"},
        {"", ""},
        {"http://", ""},
        // Cut at every "://": only the second piece counts.
        {"a://b://c/d", "b"},
        {"http://user@host:81/a b", "user@host:81"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(UrlHost(c.url), c.host) << c.url;
    }
}

TEST(OpenStateText, EveryState_GivesItsSuffix) {
    const char *texts[] = {" - Ready!", " - Loading!",      " - Error!",
                           "",          " - Buffering!",    " - Seeking!",
                           "",          " - Set Position!", " - Max!"};
    for (int state = 0; state <= 8; ++state) {
        EXPECT_EQ(OpenStateText(state), texts[state]) << state;
    }
    EXPECT_EQ(OpenStateText(-1), "");
    EXPECT_EQ(OpenStateText(9), "");
    EXPECT_EQ(OpenStateText(1000), "");
}

TEST(EncodeUrlSpaces, Blanks_BecomePercent20Only) {
    EXPECT_EQ(EncodeUrlSpaces("http://a b/c  d"), "http://a%20b/c%20%20d");
    EXPECT_EQ(EncodeUrlSpaces("tab\there"), "tab\there");
    EXPECT_EQ(EncodeUrlSpaces(""), "");
    EXPECT_EQ(EncodeUrlSpaces(" "), "%20");
}

} // namespace
} // namespace hvn
