// Streams from a small HTTP server of the tests' own that misbehaves on purpose.
#include "audio_test_support.h"

#include <random>
#include <regex>

#include "audio/net_stream.h"

namespace hvn {
namespace {

using namespace std::chrono_literals;
using test::Connection;
using test::OpenState;
using test::TestHttpServer;

class FaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        system_ = test::make_system(FmodOutput::NoSound);
        ASSERT_TRUE(system_);
        // Short, so that stalls show within the test's time.
        ASSERT_EQ(system_->SetNetworkTimeout(700), FMOD_OK);
    }
    void TearDown() override {
        if (system_)
            system_->SystemRelease();
    }
    TFMODSoundPtr open(const std::string &url) {
        return system_->CreateStreamURL(url, FMOD_NONBLOCKING | FMOD_2D, nullptr);
    }
    OpenState wait_error(TFMODSound &sound, std::chrono::milliseconds limit = 3s) {
        return test::wait_state(*system_, sound, test::is_error, limit);
    }
    TFMODSystemPtr system_;
};

struct ErrorCase {
    const char *name;
    std::string response; // sent after the request, then the connection closes
    int result;
};

class FaultsErrorTest : public FaultsTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(FaultsErrorTest, Fault_badResponse_errorStateWithItsCode) {
    const std::string response = GetParam().response;
    TestHttpServer server([&](Connection &c) {
        c.read_request();
        c.send(response);
    });
    auto sound = open(server.url());
    ASSERT_TRUE(sound);
    OpenState s = wait_error(*sound);
    EXPECT_EQ(s.state, FMOD_OPENSTATE_ERROR);
    EXPECT_EQ(s.result, GetParam().result) << FMODErrorString(s.result);
    EXPECT_EQ(system_->PlaySound(-1, sound, 0, nullptr), nullptr);
    EXPECT_EQ(sound->SoundRelease(), FMOD_OK);
}

std::string random_bytes(size_t n) {
    std::mt19937 gen(42);
    std::string s(n, '\0');
    for (char &c : s)
        c = static_cast<char>(gen());
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Responses, FaultsErrorTest,
    ::testing::Values(
        ErrorCase{"not_found", "HTTP/1.0 404 Not Found\r\n\r\nno", FMOD_ERR_HTTP_NOT_FOUND},
        ErrorCase{"forbidden", "HTTP/1.0 403 Forbidden\r\n\r\n", FMOD_ERR_HTTP_ACCESS},
        ErrorCase{"server_error", "HTTP/1.0 500 Oops\r\n\r\n", FMOD_ERR_HTTP},
        ErrorCase{"html_page",
                  test::http_ok("text/html") + "<html><body>" + std::string(20000, 'x') +
                      "</body></html>",
                  FMOD_ERR_FORMAT},
        ErrorCase{"random_body", test::http_ok("audio/mpeg") + random_bytes(60000),
                  FMOD_ERR_FORMAT},
        ErrorCase{"empty_body", test::http_ok("audio/mpeg"), FMOD_ERR_FORMAT},
        ErrorCase{"closed_before_headers", "", FMOD_ERR_NET_READ},
        ErrorCase{"huge_header",
                  "HTTP/1.0 200 OK\r\nX-Big: " + std::string(200000, 'h') + "\r\n\r\n",
                  FMOD_ERR_HTTP}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(FaultsTest, Fault_redirectLoop_redirectError) {
    std::string self;
    TestHttpServer server([&](Connection &c) {
        c.read_request();
        c.send("HTTP/1.0 302 Found\r\nLocation: " + self + "\r\n\r\n");
    });
    self = server.url();
    auto sound = open(server.url());
    OpenState s = wait_error(*sound);
    EXPECT_EQ(s.result, FMOD_ERR_NET_REDIRECT);
    EXPECT_LE(server.connections(), 8); // bounded, not followed forever
}

TEST_F(FaultsTest, Fault_oneRedirect_followedToTheStream) {
    const std::string mp3 = test::sine_mp3(); // made before the clock runs
    TestHttpServer target([&](Connection &c) { test::serve_mp3(c, mp3); });
    TestHttpServer server([&](Connection &c) {
        c.read_request();
        c.send("HTTP/1.0 302 Found\r\nLocation: " + target.url() + "\r\n\r\n");
    });
    auto sound = open(server.url());
    EXPECT_TRUE(test::is_ready(test::wait_state(*system_, *sound, test::is_ready, 3s)));
}

TEST_F(FaultsTest, Fault_nothingListening_connectError) {
    int port = 0;
    { // a port that was free a moment ago
        TestHttpServer gone([](Connection &) {});
        port = std::stoi(gone.url().substr(gone.url().rfind(':') + 1));
    }
    auto sound = open("http://127.0.0.1:" + std::to_string(port) + "/x");
    EXPECT_EQ(wait_error(*sound).result, FMOD_ERR_NET_CONNECT);
    auto unresolvable = open("http://no-such-host.invalid/stream");
    EXPECT_EQ(wait_error(*unresolvable).result, FMOD_ERR_NET_CONNECT);
    // Station URLs never reach local files or other protocols.
    EXPECT_EQ(open("file:///etc/passwd"), nullptr);
    EXPECT_EQ(open("rtmp://127.0.0.1/x"), nullptr);
    EXPECT_EQ(open(""), nullptr);
}

TEST_F(FaultsTest, Fault_serverNeverAnswers_connectingThenTimeout) {
    TestHttpServer server([](Connection &) {}, /*accept=*/false);
    auto sound = open(server.url());
    OpenState s = test::open_state(*sound);
    EXPECT_EQ(s.result, FMOD_OK);
    EXPECT_EQ(s.state, FMOD_OPENSTATE_CONNECTING);
    s = wait_error(*sound);
    EXPECT_EQ(s.result, FMOD_ERR_NET_TIMEOUT);
}

// A connection that ends or stalls once the stream played is a drop: the stream starves,
// stays open and comes back on a new connection to the same URL.
TEST_F(FaultsTest, Fault_closedOrStalledWhilePlaying_starvesThenReconnects) {
    const std::string part = test::sine_mp3().substr(0, 40000); // 2.5 s
    for (bool stall : {false, true}) {
        SCOPED_TRACE(stall ? "stalled" : "closed");
        TestHttpServer server([&](Connection &c) {
            test::serve_mp3(c, part);
            if (stall)
                c.hold();
        });
        // Long enough that the buffered sound runs out before the network gives up.
        ASSERT_EQ(system_->SetNetworkTimeout(2000), FMOD_OK);
        auto sound = open(server.url());
        ASSERT_TRUE(test::is_ready(test::wait_state(*system_, *sound, test::is_ready, 3s)));
        auto channel = system_->PlaySound(-1, sound, 0, nullptr);
        ASSERT_TRUE(channel);
        // Closed: the next connection is there before the sound runs out. Stalled: the
        // buffered sound runs out first, then the network gives up and reconnects.
        bool starved = false;
        OpenState s = test::wait_state(
            *system_, *sound,
            [&](const OpenState &o) {
                starved |= o.starving == 1 && server.connections() == 1;
                return server.connections() >= 2 && o.starving == 0;
            },
            6s);
        EXPECT_EQ(starved, stall);
        EXPECT_GE(server.connections(), 2);
        EXPECT_EQ(s.starving, 0);
        EXPECT_TRUE(test::is_ready(s)) << FMODErrorString(s.result);
        int playing = 0;
        channel->IsPlaying(playing);
        EXPECT_EQ(playing, 1);
        sound->SoundRelease();
    }
}

// The engine's threads of streams still alive (the output thread is the system's).
int stream_threads() {
    int n = 0;
    for (auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        n += name == "hvn-network" || name == "hvn-decoder";
    }
    return n;
}

// A stream that dropped and whose server stays away gives up after the reconnection window
// (shortened here from its 5 minutes), or at once when the server comes back with what is
// not sound; either way in the error state, with the channel stopped and no thread left.
// Released while it retries, it ends at once. stderr says once why it dropped and once why
// it ended, never once per try.
TEST_F(FaultsTest, Fault_droppedAndNotBack_errorAfterTheWindowOrReleasedAtOnce) {
    enum class After { Gone, Stalls, Garbage, Released };
    struct Case {
        const char *name;
        After after;
        int result; // the error the stream ends with
    };
    const Case cases[] = {{"server gone", After::Gone, FMOD_ERR_NET_CONNECT},
                          {"server stalls", After::Stalls, FMOD_ERR_NET_TIMEOUT},
                          {"back as garbage", After::Garbage, FMOD_ERR_FORMAT},
                          {"released while retrying", After::Released, FMOD_OK}};
    const auto window = 2s;
    const auto saved = reconnectGiveUpAfter.load();
    reconnectGiveUpAfter = window;
    const std::string part = test::sine_mp3().substr(0, 40000); // 2.5 s
    const std::string garbage = test::http_ok("audio/mpeg") + random_bytes(60000);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<int> served{0};
        auto server = std::make_unique<TestHttpServer>([&](Connection &conn) {
            if (served++ == 0)
                test::serve_mp3(conn, part);
            else if (c.after == After::Garbage)
                conn.read_request(), conn.send(garbage);
            else
                conn.hold();
        });
        const std::string url = server->url();
        testing::internal::CaptureStderr();
        auto sound = open(url);
        ASSERT_TRUE(test::is_ready(test::wait_state(*system_, *sound, test::is_ready, 3s)));
        auto channel = system_->PlaySound(-1, sound, 0, nullptr);
        ASSERT_TRUE(channel);
        if (c.after == After::Gone)
            server.reset(); // once the first connection's bytes are all sent: refused from now
        const auto dropped = test::Clock::now();
        if (c.after == After::Released) {
            test::wait_state(
                *system_, *sound,
                [&](const OpenState &o) { return o.starving == 1 && served >= 3; }, 6s);
            ASSERT_GE(served.load(), 3);
            const auto start = test::Clock::now();
            EXPECT_EQ(sound->SoundRelease(), FMOD_OK);
            EXPECT_LT(test::Clock::now() - start, 100ms);
        } else {
            OpenState s = wait_error(*sound, window + 8s);
            EXPECT_EQ(s.state, FMOD_OPENSTATE_ERROR);
            EXPECT_EQ(s.result, c.result) << FMODErrorString(s.result);
            if (c.after != After::Garbage) {
                EXPECT_GE(test::Clock::now() - dropped, window) << "gave up before the window";
            }
        }
        // The channel stops once what was decoded is heard; the threads end by themselves.
        int playing = 1;
        for (auto end = test::Clock::now() + 1s; test::Clock::now() < end;) {
            system_->Update();
            channel->IsPlaying(playing);
            if (!playing && stream_threads() == 0)
                break;
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(playing, 0);
        EXPECT_EQ(stream_threads(), 0);
        const std::string said = testing::internal::GetCapturedStderr();
        const std::string drop = "halvane: connection lost, reconnecting: " + url + ": [^\n]+\n";
        // Back as garbage, the second connection brings bytes and may end first: a drop too.
        std::string expected = "(" + drop + ")" + (c.after == After::Garbage ? "{1,2}" : "");
        if (c.after != After::Released)
            expected += "halvane: stream ended: " + url + ": " +
                        (c.after == After::Gone ? "Connection refused" : "[^\n]+") + "\n";
        EXPECT_TRUE(std::regex_match(said, std::regex(expected))) << said;
    }
    reconnectGiveUpAfter = saved;
}

TEST_F(FaultsTest, Fault_stallBeforeBufferFull_bufferingThenTimeout) {
    const std::string part = test::sine_mp3().substr(0, 6000);
    TestHttpServer server([&](Connection &c) {
        test::serve_mp3(c, part);
        c.hold();
    });
    auto sound = open(server.url());
    OpenState s = test::wait_state(
        *system_, *sound, [](const OpenState &o) { return o.state == FMOD_OPENSTATE_BUFFERING; },
        2s);
    EXPECT_EQ(s.state, FMOD_OPENSTATE_BUFFERING);
    EXPECT_LT(s.percent, 100);
    EXPECT_EQ(system_->PlaySound(-1, sound, 0, nullptr), nullptr); // not ready
    EXPECT_EQ(wait_error(*sound).result, FMOD_ERR_NET_TIMEOUT);
}

TEST_F(FaultsTest, Fault_icyBlocks_songsReplaceEachOtherAndBadBlocksAreHarmless) {
    // Blocks every 0.75 s of sound; the engine has read the first three when it is ready.
    const size_t metaint = 12000;
    std::vector<std::string> blocks(8);
    blocks[0] = "StreamTitle='First Artist - First Song';";
    blocks[3] = std::string(4080, '\x7f');                // as big as a block can be, no title
    blocks[4] = "StreamTitle='" + std::string(5000, 'L'); // cut short at the 4080 bytes
    blocks[5] = std::string("\xff\x00\x01garbage", 10);
    blocks[6] = "StreamTitle='Only A Title';StreamUrl='';";
    const std::string body = test::icy_stream(test::sine_mp3(), metaint, blocks);
    TestHttpServer server([&](Connection &c) {
        c.read_request();
        c.send(body);
        c.hold();
    });
    auto sound = open(server.url());
    ASSERT_TRUE(test::is_ready(test::wait_state(*system_, *sound, test::is_ready, 3s)));
    auto br = sound->GetTag("icy-br", 0);
    ASSERT_TRUE(br);
    EXPECT_EQ(br->GetDataAsString(), "64");
    auto title = sound->GetTag("TITLE", 0);
    ASSERT_TRUE(title);
    EXPECT_EQ(title->GetDataAsString(), "First Song");
    auto artist = sound->GetTag("ARTIST", 0);
    ASSERT_TRUE(artist);
    EXPECT_EQ(artist->GetDataAsString(), "First Artist");
    auto channel = system_->PlaySound(-1, sound, 0, nullptr);
    ASSERT_TRUE(channel);
    auto end = test::Clock::now() + 5s;
    while (test::Clock::now() < end) {
        system_->Update();
        auto t = sound->GetTag("TITLE", 0);
        if (t) {
            EXPECT_LE(t->data.size(), 4080u);
        }
        if (t && t->data == "Only A Title")
            break;
        std::this_thread::sleep_for(20ms);
    }
    title = sound->GetTag("TITLE", 0);
    ASSERT_TRUE(title);
    EXPECT_EQ(title->data, "Only A Title");
    EXPECT_FALSE(sound->GetTag("ARTIST", 0)); // the new song has no artist
    int playing = 0;
    channel->IsPlaying(playing);
    EXPECT_EQ(playing, 1);
}

// Stations send titles in Windows-1252 as often as in UTF-8: either way the tags are the
// same UTF-8 text, for ICY blocks and for Vorbis comments alike.
TEST_F(FaultsTest, Fault_windows1252Titles_sameUtf8AsUtf8Titles) {
    const std::string artist8 = "Ni\xc3\xb1o \xe2\x82\xac \xe2\x80\x9cOk\xe2\x80\x9d";
    const std::string title8 = "El A\xc3\xb1o";
    struct Source {
        const char *name;
        std::string body;
    };
    auto icy = [](const std::string &song) {
        return test::icy_stream(test::sine_mp3(), 4000, {"StreamTitle='" + song + "';"});
    };
    auto ogg = [](const std::string &artist, const std::string &title) {
        return test::http_ok("application/ogg") +
               test::make_media(test::full_scale_sine(3),
                                "-c:a libvorbis -metadata 'artist=" + artist +
                                    "' -metadata 'title=" + title + "' -f ogg");
    };
    const Source sources[] = {
        {"icy cp1252", icy("Ni\xf1o \x80 \x93Ok\x94 - El A\xf1o")},
        {"icy utf-8", icy(artist8 + " - " + title8)},
        {"ogg latin-1", ogg("Ni\xf1o \x80 \x93Ok\x94", "El A\xf1o")},
        {"ogg utf-8", ogg(artist8, title8)},
    };
    for (const Source &source : sources) {
        TestHttpServer server([&](Connection &c) {
            c.read_request();
            c.send(source.body); // then closes: a short stream is ready once all of it came
        });
        auto sound = open(server.url());
        ASSERT_TRUE(test::is_ready(test::wait_state(*system_, *sound, test::is_ready, 3s)))
            << source.name;
        test::wait_state(
            *system_, *sound,
            [&](const OpenState &) { return sound->GetTag("TITLE", 0) != nullptr; }, 3s);
        auto title = sound->GetTag("TITLE", 0);
        auto artist = sound->GetTag("ARTIST", 0);
        ASSERT_TRUE(title && artist) << source.name;
        EXPECT_EQ(title->data, title8) << source.name;
        EXPECT_EQ(artist->data, artist8) << source.name;
        sound->SoundRelease();
    }
}

} // namespace
} // namespace hvn
