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
        {"http://[::1]:8080/s", true, false, "[::1]", 8080, "/s", ""},
        {"http://h?x=1", true, false, "h", 80, "/?x=1", ""},
        {" http://h/x \r\n", true, false, "h", 80, "/x", ""},
        {"http://u%40x:p%3Aq@h/", true, false, "h", 80, "/", "u@x:p:q"},
        {"http://h/a b/\xC3\xA4?c d", true, false, "h", 80, "/a%20b/%c3%a4?c+d", ""},
        {"http://h:0/", false},
        {"http://h:99999/", false},
        {"http://h:port/", false},
        {"http:///path", false},
        {"file:///etc/passwd", false},
        {"mms://h/x", false},
        {"rtmp://h/x", false},
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

// RFC 3986 5.4's examples, and playlist entries and Locations as servers write them.
TEST(HttpHeadTest, ResolveLocation_references_rfc3986Targets) {
    const std::pair<const char *, const char *> rfc[] = {
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g/"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"},
        {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"},
        {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"g..", "http://a/b/c/g.."},
        {"./../g", "http://a/b/g"},
        {"g;x=1/../y", "http://a/b/c/y"},
        {"https://other/x", "https://other/x"},
    };
    const auto base = *parse_stream_url("http://a/b/c/d;p?q");
    for (auto [reference, target] : rfc)
        EXPECT_EQ(resolve_location(base, reference), target) << reference;
    const auto list = *parse_stream_url("http://h:8000/lists/radio.m3u");
    EXPECT_EQ(resolve_location(list, "../streams/live.mp3"), "http://h:8000/streams/live.mp3");
    EXPECT_EQ(resolve_location(list, "live 2.mp3"), "http://h:8000/lists/live%202.mp3");
    EXPECT_EQ(resolve_location(list, "//cdn:81/y?a=b"), "http://cdn:81/y?a=b");
    EXPECT_EQ(resolve_location(list, "mms://x/y"), "");
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
    EXPECT_FALSE(icy->chunked);

    auto bare = parse_http_head("ICY 200 OK\nicy-metaint: 8192\nTransfer-Encoding: Chunked\n\n");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->status, 200);
    EXPECT_EQ(bare->metaint, 8192u);
    EXPECT_TRUE(bare->chunked);

    auto moved = parse_http_head("HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\n\r\n");
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->status, 302);
    EXPECT_EQ(moved->location, "/elsewhere");

    for (const char *bad : {"", "garbage\r\n\r\n", "HTTP/1.0\r\n\r\n", "HTTP/1.0 abc\r\n\r\n",
                            "HTTP/1.0 42 Odd\r\n\r\n", "\x16\x03\x01 binary"})
        EXPECT_FALSE(parse_http_head(bad)) << bad;
}

TEST(HttpHeadTest, HttpHeadSize_lineEnds_headUpToTheBlankLine) {
    const std::pair<const char *, size_t> cases[] = {
        {"HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody\n\n", 25},
        {"ICY 200 OK\nicy-br: 1\n\n\r\n\r\n", 22},
        {"HTTP/1.0 200 OK\r\nA: b\n\r\n", 24},
        {"HTTP/1.0 200 OK\r\nA: b\r\n", 0},
        {"HTTP/1.0 200 OK\r\r\n", 0},
    };
    for (auto [bytes, size] : cases)
        EXPECT_EQ(http_head_size(bytes), size) << bytes;
}

// Bitrates as servers write them: icy-br's first number, else ice-audio-info's.
TEST(HttpHeadTest, ParseHttpHead_bitrateHeaders_bitrateTag) {
    const std::pair<const char *, std::optional<std::string>> cases[] = {
        {"icy-br: 128,128\r\n", "128"},
        {"icy-br:  64 \r\n", "64"},
        {"icy-br:\r\n", ""},
        {"ice-audio-info: ice-samplerate=44100;ice-bitrate=128;ice-channels=2\r\n", "128"},
        {"ice-audio-info: channels=2; Bitrate = 96\r\n", "96"},
        {"ice-audio-info: bitrate=96\r\nicy-br: 64\r\n", "64"},
        {"ice-audio-info: channels=2\r\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &[lines, bitrate] : cases) {
        auto head = parse_http_head("HTTP/1.0 200 OK\r\n" + std::string(lines) + "\r\n");
        ASSERT_TRUE(head) << lines;
        EXPECT_EQ(head->bitrate, bitrate) << lines;
    }
}

// A chunked body read in pieces of every size comes out whole; broken framing is refused.
TEST(DechunkerTest, Feed_anySplitOfTheInput_theBodyThenDone) {
    const std::string crlf = "4\r\nWiki\r\n5;name=\"v\"\r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n"
                             "0\r\nExpires: never\r\n\r\n";
    const std::string lf = "4\nWiki\n5 ;x\npedia\ne\n in\r\n\r\nchunks.\n0\n\n";
    for (const std::string &body : {crlf, lf}) {
        for (size_t step = 1; step <= body.size(); ++step) {
            Dechunker chunks;
            std::string out;
            for (size_t i = 0; i < body.size(); i += step)
                ASSERT_TRUE(chunks.feed(reinterpret_cast<const uint8_t *>(body.data()) + i,
                                        std::min(step, body.size() - i), out))
                    << step;
            EXPECT_EQ(out, "Wikipedia in\r\n\r\nchunks.") << step;
            EXPECT_TRUE(chunks.done()) << step;
        }
    }
    for (const std::string &bad :
         {std::string("zz\r\n"), std::string("4\r\nWikiX\r\n"), std::string("\r\n"),
          std::string("10000000000000000\r\n"), std::string(2000, '0') + "1\r\n"}) {
        Dechunker chunks;
        std::string out;
        EXPECT_FALSE(chunks.feed(reinterpret_cast<const uint8_t *>(bad.data()), bad.size(), out))
            << bad.substr(0, 20);
    }
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
