#include "audio/http_head.h"

#include <gtest/gtest.h>

#include "audio/fmod.h"
#include "audio/icy_metadata.h"

namespace hvn {
namespace {

struct UrlCase {
    const char *url;
    bool ok;
    bool tls = false;
    const char *host = "";
    int port = 0;
    const char *target = "";
    const char *userinfo = "";
};

TEST(HttpHeadTest, ParseStreamUrl_urls_partsOrRejected) {
    const UrlCase cases[] = {
        {"http://radio.example/live", true, false, "radio.example", 80, "/live", ""},
        {"HTTP://Radio.Example:8000", true, false, "Radio.Example", 8000, "/", ""},
        {"https://s.example/a?b=c#frag", true, true, "s.example", 443, "/a?b=c", ""},
        {"http://u:p@h:1/x", true, false, "h", 1, "/x", "u:p"},
        {"http://[::1]:8080/s", true, false, "::1", 8080, "/s", ""},
        {"http://h?x=1", true, false, "h", 80, "/?x=1", ""},
        {"http://h:0/", false},
        {"http://h:99999/", false},
        {"http://h:port/", false},
        {"http:///path", false},
        {"file:///etc/passwd", false},
        {"mms://h/x", false},
        {"radio.example/live", false},
        {"", false},
    };
    for (const auto &c : cases) {
        auto url = parse_stream_url(c.url);
        ASSERT_EQ(url.has_value(), c.ok) << c.url;
        if (!c.ok)
            continue;
        EXPECT_EQ(url->tls, c.tls) << c.url;
        EXPECT_EQ(url->host, c.host) << c.url;
        EXPECT_EQ(url->port, c.port) << c.url;
        EXPECT_EQ(url->target, c.target) << c.url;
        EXPECT_EQ(url->userinfo, c.userinfo) << c.url;
    }
}

TEST(HttpHeadTest, ResolveLocation_absoluteAndRelative_fullUrl) {
    auto base = *parse_stream_url("http://h:8000/dir/page?q");
    EXPECT_EQ(resolve_location(base, "https://other/x"), "https://other/x");
    EXPECT_EQ(resolve_location(base, "/root"), "http://h:8000/root");
    EXPECT_EQ(resolve_location(base, "next.mp3"), "http://h:8000/dir/next.mp3");
    EXPECT_EQ(resolve_location(base, "//cdn/y"), "http://cdn/y");
}

TEST(HttpHeadTest, BuildRequest_url_http10WithHostIcyAndAuth) {
    auto url = *parse_stream_url("http://user:pw@h:8000/live.mp3");
    std::string r = build_request(url);
    EXPECT_EQ(r.rfind("GET /live.mp3 HTTP/1.0\r\n", 0), 0u);
    EXPECT_NE(r.find("\r\nHost: h:8000\r\n"), std::string::npos);
    EXPECT_NE(r.find("\r\nIcy-MetaData: 1\r\n"), std::string::npos);
    EXPECT_NE(r.find("\r\nAuthorization: Basic dXNlcjpwdw==\r\n"), std::string::npos);
    EXPECT_EQ(r.substr(r.size() - 4), "\r\n\r\n");
    EXPECT_NE(build_request(*parse_stream_url("http://h/")).find("\r\nHost: h\r\n"),
              std::string::npos);
}

TEST(HttpHeadTest, ParseHttpHead_heads_statusAndIcyFields) {
    auto head = parse_http_head("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-br:128\r\n"
                                "icy-metaint: 16000\r\n\r\n");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_EQ(head->bitrate, "128");
    EXPECT_EQ(head->metaint, 16000u);

    auto icy = parse_http_head("ICY 200 OK\r\nicy-metaint: x\r\n\r\n");
    ASSERT_TRUE(icy);
    EXPECT_EQ(icy->metaint, 0u); // unreadable: treated as no metadata
    EXPECT_EQ(icy->bitrate, std::nullopt);

    auto moved = parse_http_head("HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\n\r\n");
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->status, 302);
    EXPECT_EQ(moved->location, "/elsewhere");

    for (const char *bad : {"", "garbage\r\n\r\n", "HTTP/1.0\r\n\r\n", "HTTP/1.0 abc\r\n\r\n",
                            "HTTP/1.0 42 Odd\r\n\r\n", "\x16\x03\x01 binary"})
        EXPECT_FALSE(parse_http_head(bad)) << bad;
}

TEST(HttpHeadTest, HttpStatusResult_statuses_ownCodes) {
    const std::pair<int, int> cases[] = {
        {200, FMOD_OK},
        {206, FMOD_OK},
        {404, FMOD_ERR_HTTP_NOT_FOUND},
        {401, FMOD_ERR_HTTP_ACCESS},
        {403, FMOD_ERR_HTTP_ACCESS},
        {400, FMOD_ERR_HTTP},
        {500, FMOD_ERR_HTTP},
        {304, FMOD_ERR_HTTP},
    };
    for (auto [status, result] : cases)
        EXPECT_EQ(http_status_result(status), result) << status;
}

TEST(IcySplitterTest, Feed_anySplitOfTheInput_sameSoundAndBlocks) {
    // metaint 5: "abcde" [1]"StreamTitle='x';" "fghij" [0] "klm"
    std::string block = "StreamTitle='x';"; // 16 bytes
    std::string body =
        "abcde" + std::string(1, '\x01') + block + "fghij" + std::string(1, '\0') + "klm";
    for (size_t step : {1u, 2u, 7u, 100u}) {
        IcySplitter splitter(5);
        std::string sound;
        std::vector<std::string> blocks;
        for (size_t i = 0; i < body.size(); i += step)
            splitter.feed(reinterpret_cast<const uint8_t *>(body.data()) + i,
                          std::min(step, body.size() - i), sound, blocks);
        EXPECT_EQ(sound, "abcdefghijklm") << step;
        ASSERT_EQ(blocks.size(), 1u) << step;
        EXPECT_EQ(blocks[0], block);
    }
    IcySplitter plain(0);
    std::string sound;
    std::vector<std::string> blocks;
    plain.feed(reinterpret_cast<const uint8_t *>(body.data()), body.size(), sound, blocks);
    EXPECT_EQ(sound, body);
    EXPECT_TRUE(blocks.empty());
}

} // namespace
} // namespace hvn
