// Streams served the way real stations serve them: at real-time pace from the first byte,
// dropping and coming back, behind playlists and as HLS.
#include "audio_test_support.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <iterator>

namespace hvn {
namespace {

using namespace std::chrono_literals;
using test::Clock;
using test::OpenState;

// A 440 Hz MP3 of the given bitrate: mono 22.05 kHz at the low rates, as stations send them.
const std::string &paced_mp3(int kbps) {
    static std::map<int, std::string> made;
    auto &bytes = made[kbps];
    if (bytes.empty()) {
        const bool low = kbps <= 32;
        bytes = test::make_media(
            "sine=frequency=440:sample_rate=" + std::string(low ? "22050" : "44100") + ":d=20",
            std::string("-ac ") + (low ? "1" : "2") + " -c:a libmp3lame -b:a " +
                std::to_string(kbps) + "k -f mp3");
    }
    return bytes;
}

// The spectrum of what the channel last played peaks in the 440 Hz band.
testing::AssertionResult tone_heard(TFMODChannel &channel) {
    return test::spectrum_peaks(channel, 0, 1, 0.05f, 2.0f);
}

TEST(StationsTest, Station_anyBitrateAndBufferSize_readyWithin3sOfTheFirstByteAndPlaysOn) {
    struct Case {
        int kbps, bufferKb;
        std::unique_ptr<test::TestHttpServer> server;
        std::atomic<int64_t> firstByte{0}; // steady clock ticks
        TFMODSoundPtr sound;
        TFMODChannelPtr channel;
        Clock::time_point ready{};
    };
    std::vector<std::unique_ptr<Case>> cases;
    for (int kbps : {16, 32, 64, 128, 320}) {
        paced_mp3(kbps);
        for (int bufferKb : {16, 32, 48, 64}) {
            auto c = std::make_unique<Case>();
            c->kbps = kbps;
            c->bufferKb = bufferKb;
            cases.push_back(std::move(c));
        }
    }
    auto system = TFMODSystem::Create();
    ASSERT_TRUE(system);
    ASSERT_EQ(system->SetOutput(FmodOutput::NoSound), FMOD_OK);
    ASSERT_EQ(system->Init(static_cast<int>(cases.size()), 0, nullptr), FMOD_OK);
    // Every case at once, each on its own server: the whole table takes one case's time.
    for (auto &c : cases) {
        Case *p = c.get();
        p->server = std::make_unique<test::TestHttpServer>([p](test::Connection &conn) {
            conn.read_request();
            conn.send(test::http_ok("audio/mpeg", "icy-br: " + std::to_string(p->kbps) + "\r\n"));
            p->firstByte = Clock::now().time_since_epoch().count();
            conn.send_paced(paced_mp3(p->kbps), p->kbps * 125);
        });
        ASSERT_EQ(system->SetStreamBufferSize(p->bufferKb * 1024, FMOD_TIMEUNIT_RAWBYTES), FMOD_OK);
        p->sound = system->CreateStreamURL(p->server->url(), 0x10008, nullptr);
        ASSERT_TRUE(p->sound);
    }
    const auto end = Clock::now() + 6s;
    size_t ready = 0;
    while (ready < cases.size() && Clock::now() < end) {
        system->Update();
        for (auto &c : cases) {
            if (c->channel)
                continue;
            OpenState s = test::open_state(*c->sound);
            ASSERT_EQ(s.result, FMOD_OK) << c->kbps << " kb/s, " << c->bufferKb << " KB";
            if (s.state != FMOD_OPENSTATE_READY)
                continue;
            c->ready = Clock::now();
            c->channel = system->PlaySound(-1, c->sound, 0, nullptr);
            ASSERT_TRUE(c->channel);
            ++ready;
        }
        std::this_thread::sleep_for(10ms);
    }
    // Playing on at the pace the sound arrives: it started with enough not to run dry.
    std::vector<int> starved(cases.size(), 0);
    const auto listen = Clock::now() + 2s;
    while (Clock::now() < listen) {
        for (size_t i = 0; i < cases.size(); ++i)
            starved[i] |= test::open_state(*cases[i]->sound).starving;
        std::this_thread::sleep_for(20ms);
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case &c = *cases[i];
        SCOPED_TRACE(std::to_string(c.kbps) + " kb/s, " + std::to_string(c.bufferKb) + " KB");
        ASSERT_TRUE(c.channel) << "not ready in 6 s";
        const Clock::time_point first{Clock::duration(c.firstByte.load())};
        EXPECT_LT(c.ready - first, 3s);
        int playing = 0;
        c.channel->IsPlaying(playing);
        EXPECT_EQ(playing, 1);
        EXPECT_EQ(starved[i], 0);
        EXPECT_TRUE(tone_heard(*c.channel));
    }
    system->SystemRelease();
}

// How ffmpeg encodes a source: its output arguments and the Content-Type icecast serves.
struct Codec {
    const char *args;
    const char *type;
};
const Codec kMp3{"-c:a libmp3lame -b:a 128k -f mp3", "audio/mpeg"};
const Codec kOgg{"-c:a libvorbis -b:a 96k -f ogg", "application/ogg"};
const Codec kAac{"-c:a aac -b:a 96k -f adts", "audio/aac"};

// A process of the test's own, from its command's words, stopped by its PID.
class Spawned {
public:
    explicit Spawned(const std::string &command) {
        std::istringstream words(command);
        std::vector<std::string> args(std::istream_iterator<std::string>(words), {});
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv.data(), environ);
    }
    ~Spawned() { kill(); }
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
};

// An ffmpeg source feeding an icecast mount in real time with a sine of hz.
class Source : public Spawned {
public:
    Source(const std::string &mount, const Codec &codec, int hz, int rate)
        : Spawned("ffmpeg -nostdin -loglevel quiet -re -f lavfi -i sine=frequency=" +
                  std::to_string(hz) + ":sample_rate=" + std::to_string(rate) + " -ac 2 " +
                  codec.args + " -content_type " + codec.type +
                  " -method PUT -auth_type basic -chunked_post 0 -send_expect_100 1 "
                  "http://source:" +
                  std::getenv("HALVANE_ICECAST_SOURCE_PASS") +
                  "@127.0.0.1:" + std::getenv("HALVANE_ICECAST_PORT") + mount) {}
};

// The level (RMS) of the hz component of one side of a recording (Goertzel).
double tone_level(const std::vector<float> &frames, size_t from, size_t count, int side,
                  double hz) {
    const double k = 2 * std::cos(2 * M_PI * hz / 44100);
    double s1 = 0, s2 = 0;
    for (size_t i = from; i < from + count; ++i) {
        const double s = frames[2 * i + side] + k * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
    return std::sqrt(2 * power) / count;
}

// Every station's tone is there, without a gap, in each tenth of a second of a recording
// (after the first: the monitor may start with a little silence).
void expect_heard_throughout(const std::vector<float> &frames, const std::vector<int> &tones,
                             const char *when) {
    const size_t window = 4410;
    ASSERT_GE(frames.size() / 2, window * 5) << when;
    for (int hz : tones) {
        double quietest = 1;
        for (size_t at = window; at + window <= frames.size() / 2; at += window)
            quietest = std::min(quietest, tone_level(frames, at, window, 0, hz));
        EXPECT_GT(quietest, 0.03) << when << ": " << hz << " Hz";
    }
}

// Waits for every tone to be heard at the sink in a piece of 0.2 s.
testing::AssertionResult all_heard(const std::vector<int> &tones) {
    std::vector<float> piece;
    if (test::eventually(
            [&] {
                piece = test::record_sink(0.2);
                return piece.size() >= 8000 && std::all_of(tones.begin(), tones.end(), [&](int hz) {
                           return tone_level(piece, 0, piece.size() / 2, 0, hz) > 0.03;
                       });
            },
            5s))
        return testing::AssertionSuccess();
    testing::AssertionResult failure = testing::AssertionFailure();
    for (int hz : tones)
        failure << hz << " Hz at "
                << (piece.empty() ? 0 : tone_level(piece, 0, piece.size() / 2, 0, hz)) << "; ";
    return failure;
}

// Sources killed and started again 4 s later on their mounts, each station on its own
// channel and tone, all at once: MP3, Ogg (a new stream with its headers), AAC (ADTS from
// wherever the server starts), and a station that comes back in another codec and rate.
TEST(StationsTest, Station_sourceKilledAndBack4sLater_heardAgainOnTheSameChannel) {
    HVN_REQUIRE_ENV(pulse, "PULSE_SERVER");
    HVN_REQUIRE_ENV(port, "HALVANE_ICECAST_PORT");
    HVN_REQUIRE_ENV(pass, "HALVANE_ICECAST_SOURCE_PASS");
    struct Station {
        Station(const char *n, const Codec &b, const Codec &a, int rate, int tone)
            : name(n), before(b), after(a), rateAfter(rate), hz(tone) {}
        const char *name;
        const Codec &before, &after;
        int rateAfter;
        int hz;
        std::string mount;
        std::unique_ptr<Source> source;
        TFMODSoundPtr sound;
        TFMODChannelPtr channel;
    };
    Station stations[] = {{"mp3", kMp3, kMp3, 44100, 440},
                          {"ogg", kOgg, kOgg, 44100, 620},
                          {"aac", kAac, kAac, 44100, 850},
                          {"mp3 back as ogg 48 kHz", kMp3, kOgg, 48000, 1130}};
    std::vector<int> tones;
    auto system = test::make_system(FmodOutput::PulseAudio);
    ASSERT_TRUE(system);
    for (Station &st : stations) {
        st.mount = "/drop" + std::to_string(::getpid()) + "-" + std::to_string(st.hz);
        st.source = std::make_unique<Source>(st.mount, st.before, st.hz, 44100);
        tones.push_back(st.hz);
    }
    auto all = [&](auto pred) {
        return std::all_of(std::begin(stations), std::end(stations), pred);
    };
    auto wait_all = [&](auto done, std::chrono::milliseconds limit) {
        for (auto end = Clock::now() + limit; Clock::now() < end;) {
            system->Update();
            if (all([&](Station &st) { return done(test::open_state(*st.sound)); }))
                return;
            std::this_thread::sleep_for(10ms);
        }
    };
    // A mount is up a moment after its source starts.
    for (Station &st : stations) {
        SCOPED_TRACE(st.name);
        for (auto end = Clock::now() + 5s; Clock::now() < end && !st.sound;) {
            st.sound = system->CreateStreamURL(test::icecast_url(port, st.mount), 0x10008, nullptr);
            if (!test::is_ready(test::wait_state(*system, *st.sound, test::is_ready, 3s)))
                st.sound.reset();
        }
        ASSERT_TRUE(st.sound);
        st.channel = system->PlaySound(-1, st.sound, 0, nullptr);
        ASSERT_TRUE(st.channel);
    }
    // A stream starts at its source's live edge: heard throughout once heard at all.
    ASSERT_TRUE(all_heard(tones)) << "before the drop";
    expect_heard_throughout(test::record_sink(1.0), tones, "before the drop");

    for (Station &st : stations)
        st.source->kill();
    const auto killed = Clock::now();
    // Shown as "@ --%". How soon depends on when the server notices its source is gone.
    wait_all([](const OpenState &o) { return o.starving == 1; }, 10s);
    for (Station &st : stations) {
        OpenState s = test::open_state(*st.sound);
        EXPECT_EQ(s.starving, 1) << st.name;
        EXPECT_TRUE(test::is_ready(s)) << st.name << ": " << FMODErrorString(s.result);
    }
    std::this_thread::sleep_until(killed + 4s);
    for (Station &st : stations)
        st.source = std::make_unique<Source>(st.mount, st.after, st.hz, st.rateAfter);
    // Back without any call but the open-state polls, on the same channels.
    wait_all([](const OpenState &o) { return o.starving == 0 || test::is_error(o); }, 12s);
    for (Station &st : stations) {
        OpenState s = test::open_state(*st.sound);
        EXPECT_EQ(s.starving, 0) << st.name << " not back " << (Clock::now() - killed) / 1ms
                                 << " ms after the kill";
        EXPECT_TRUE(test::is_ready(s)) << st.name << ": " << FMODErrorString(s.result);
    }
    ASSERT_TRUE(all_heard(tones)) << "after the return";
    expect_heard_throughout(test::record_sink(1.0), tones, "after the return");
    for (Station &st : stations) {
        int playing = 0;
        st.channel->IsPlaying(playing);
        EXPECT_EQ(playing, 1) << st.name;
    }

    // Dropped again and retrying: release ends it at once, and no thread is left.
    for (Station &st : stations)
        st.source->kill();
    wait_all([](const OpenState &o) { return o.starving == 1; }, 4s);
    std::this_thread::sleep_for(1500ms);
    for (Station &st : stations) {
        auto start = Clock::now();
        EXPECT_EQ(st.sound->SoundRelease(), FMOD_OK);
        EXPECT_LT(Clock::now() - start, 100ms) << st.name;
        int playing = 0;
        st.channel->IsPlaying(playing);
        EXPECT_EQ(playing, 0) << st.name;
    }
    auto start = Clock::now();
    system->SystemRelease();
    EXPECT_LT(Clock::now() - start, 500ms);
}

// Shapes real servers and proxies answer in, each of which must play like the plain stream:
// chunked bodies (even to our HTTP/1.0 request) of MP3 with ICY blocks, of AAC and of Ogg;
// heads, redirects and playlists with bare LF line ends and relative references; bitrates
// as servers write them. All at once, each on its own server, tone and channel.
TEST(StationsTest, Station_serverShapes_heardCleanWithTitlesAndBitrate) {
    HVN_REQUIRE_ENV(pulse, "PULSE_SERVER");
    constexpr int kSeconds = 20;
    auto media = [](int hz, const std::string &args) {
        const std::string sine = "0.15*sin(2*PI*" + std::to_string(hz) + "*t)";
        return test::make_media(
            "aevalsrc=" + sine + "|" + sine + ":s=44100:d=" + std::to_string(kSeconds), args);
    };
    auto icy = [](const std::string &mp3, const std::string &song) {
        return test::icy_body(mp3, 8000, {"StreamTitle='" + song + "';"});
    };
    struct Case {
        const char *name;
        int hz;
        std::string head; // of the sound's response, line ends as the server writes them
        std::string body; // sent at real-time pace
        bool chunked;
        std::optional<std::string> bitrate, artist, title;
        const char *first;     // the path played
        const char *soundPath; // where the sound is; other paths are 404 or in replies
    };
    const std::string mp3Head = "HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\nicy-br: 128\r\n"
                                "icy-metaint: 8000\r\nTransfer-Encoding: chunked\r\n\r\n";
    const Case cases[] = {
        {"chunked mp3 with icy", 440, mp3Head,
         icy(media(440, kMp3.args), "Chunk Artist - Chunk Song"), true, "128", "Chunk Artist",
         "Chunk Song", "/s", "/s"},
        {"chunked aac", 620,
         "HTTP/1.1 200 OK\r\nContent-Type: audio/aac\r\nTransfer-Encoding: chunked\r\n"
         "ice-audio-info: ice-samplerate=44100;ice-bitrate=96;ice-channels=2\r\n\r\n",
         media(620, kAac.args), true, "96", std::nullopt, std::nullopt, "/s", "/s"},
        {"chunked ogg", 850,
         "HTTP/1.1 200 OK\r\nContent-Type: application/ogg\r\nTransfer-Encoding: chunked\r\n"
         "ice-audio-info: bitrate=96\r\n\r\n",
         media(850, std::string(kOgg.args) + " -metadata 'artist=Ogg Artist' -metadata "
                                             "'title=Ogg Song'"),
         true, "96", "Ogg Artist", "Ogg Song", "/s", "/s"},
        {"bare LF icy", 1130,
         "ICY 200 OK\nContent-Type: audio/mpeg\nicy-br: 128,128\nicy-metaint: 8000\n\n",
         icy(media(1130, kMp3.args), "Bare Artist - Bare Song"), false, "128", "Bare Artist",
         "Bare Song", "/s", "/s"},
        // Redirected by a network-path reference to a playlist whose entry goes up a folder,
        // which redirects by a query-only reference; each head with bare LFs.
        {"bare LF redirects and playlist", 1410, "HTTP/1.0 200 OK\nContent-Type: audio/mpeg\n\n",
         media(1410, kMp3.args), false, std::nullopt, std::nullopt, std::nullopt, "/start",
         "/streams/live.mp3?s=2"},
    };
    struct Live {
        std::map<std::string, std::string> replies; // by path
        std::unique_ptr<test::TestHttpServer> server;
        TFMODSoundPtr sound;
        TFMODChannelPtr channel;
    };
    Live live[std::size(cases)];
    auto system = test::make_system(FmodOutput::PulseAudio);
    ASSERT_TRUE(system);
    std::vector<int> tones;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case *c = &cases[i];
        Live *l = &live[i];
        l->server = std::make_unique<test::TestHttpServer>([c, l](test::Connection &conn) {
            const std::string path = test::request_path(conn.read_request());
            if (path == c->soundPath) {
                conn.send(c->head);
                conn.send_paced(c->body, static_cast<int>(c->body.size() / kSeconds), c->chunked);
            } else if (auto it = l->replies.find(path); it != l->replies.end()) {
                conn.send(it->second);
            } else {
                conn.send("HTTP/1.0 404 Not Found\r\n\r\n");
            }
        });
        tones.push_back(c->hz);
    }
    const std::string authority = live[4].server->url("").substr(5) /* after "http:" */;
    live[4].replies = {
        {"/start", "HTTP/1.0 302 Found\nLocation: " + authority + "/lists/radio.m3u\n\n"},
        {"/lists/radio.m3u", "HTTP/1.0 200 OK\nContent-Type: audio/x-mpegurl\n\n"
                             "#EXTM3U\n#EXTINF:-1,Live\n../streams/live.mp3\n"},
        {"/streams/live.mp3", "HTTP/1.0 302 Found\nLocation: ?s=2\n\n"}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        live[i].sound =
            system->CreateStreamURL(live[i].server->url(cases[i].first), 0x10008, nullptr);
        ASSERT_TRUE(live[i].sound) << cases[i].name;
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        OpenState s = test::wait_state(
            *system, *live[i].sound,
            [](const OpenState &o) { return test::is_ready(o) || test::is_error(o); }, 6s);
        EXPECT_TRUE(test::is_ready(s))
            << cases[i].name << ": state " << s.state << " " << FMODErrorString(s.result);
        if (test::is_ready(s))
            live[i].channel = system->PlaySound(-1, live[i].sound, 0, nullptr);
    }
    EXPECT_TRUE(all_heard(tones)) << "at real-time pace";
    const std::vector<float> frames = test::record_sink(3.0);
    expect_heard_throughout(frames, tones, "at real-time pace");
    // Nothing but the tones: chunk framing in the sound is heard as noise and clicks.
    double rest = 0;
    for (size_t i = 0; i < frames.size() / 2; ++i)
        rest += frames[2 * i] * frames[2 * i];
    rest /= std::max<size_t>(frames.size() / 2, 1);
    for (int hz : tones)
        rest -= std::pow(tone_level(frames, 0, frames.size() / 2, 0, hz), 2);
    EXPECT_LT(std::sqrt(std::max(rest, 0.0)), 0.02) << "noise beside the tones";
    auto tag = [](TFMODSound &sound, const char *name) -> std::optional<std::string> {
        auto t = sound.GetTag(name, 0);
        return t ? std::optional(t->data) : std::nullopt;
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        TFMODSound &sound = *live[i].sound;
        EXPECT_EQ(tag(sound, "icy-br"), cases[i].bitrate);
        EXPECT_EQ(tag(sound, "TITLE"), cases[i].title);
        EXPECT_EQ(tag(sound, "ARTIST"), cases[i].artist);
        OpenState s = test::open_state(sound);
        EXPECT_EQ(s.starving, 0);
        EXPECT_TRUE(test::is_ready(s)) << FMODErrorString(s.result);
    }
    system->SystemRelease();
}

// Timed ID3 in an MPEG-TS segment as HLS packagers put it: the PMT gains a metadata stream
// (type 0x15, PID 0x102, tagged "ID3 "), and one PES of it follows the first PMT.
uint32_t mpeg_crc32(const std::string &bytes) {
    uint32_t crc = 0xFFFFFFFF;
    for (unsigned char b : bytes) {
        crc ^= uint32_t(b) << 24;
        for (int i = 0; i < 8; ++i)
            crc = crc & 0x80000000 ? crc << 1 ^ 0x04C11DB7 : crc << 1;
    }
    return crc;
}

std::string id3_frame(const char *id, const std::string &body) {
    const uint32_t n = static_cast<uint32_t>(body.size());
    return std::string(id) + std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} +
           std::string(2, '\0') + body;
}

std::string id3_text_frame(const char *id, const std::string &latin1) {
    return id3_frame(id, std::string(1, '\0') + latin1);
}

// An ID3v2.3 tag of Latin-1 text frames.
std::string id3_tag(const std::string &frames) {
    const uint32_t n = static_cast<uint32_t>(frames.size());
    return std::string("ID3\x03\0\0", 6) +
           std::string{char(n >> 21 & 0x7f), char(n >> 14 & 0x7f), char(n >> 7 & 0x7f),
                       char(n & 0x7f)} +
           frames;
}

void add_timed_id3(std::string &ts, const std::string &tag) {
    const std::string pes = std::string("\0\0\1\xBD", 4) +
                            std::string{char((tag.size() + 8) >> 8), char(tag.size() + 8)} +
                            std::string("\x84\x80\x05\x21\x00\x07\xD8\x61", 8) + tag;
    ASSERT_LE(pes.size(), 182u);
    // One packet: adaptation field stuffing, then the whole PES.
    const size_t stuffing = 184 - pes.size() - 1;
    std::string packet = std::string("\x47\x41\x02\x30", 4) + char(stuffing);
    if (stuffing > 0)
        packet += '\0' + std::string(stuffing - 1, '\xFF');
    packet += pes;
    bool inserted = false;
    for (size_t at = 0; at + 188 <= ts.size(); at += 188) {
        const auto *p = reinterpret_cast<unsigned char *>(&ts[at]);
        const int pid = (p[1] & 0x1F) << 8 | p[2];
        if (pid != 0x1000 || !(p[1] & 0x40))
            continue;
        // The PMT section: table id at 5 (after the pointer field), its length at 6..7.
        const size_t start = at + 5;
        const size_t length = (p[6] & 0x0F) << 8 | p[7];
        std::string section = ts.substr(start, 3 + length - 4); // without its CRC
        const std::string es = std::string("\x15\xE1\x02\xF0\x0F", 5) +
                               std::string("\x26\x0D\xFF\xFFID3 \xFFID3 \x00\x0F", 15);
        section += es;
        const size_t newLength = section.size() - 3 + 4;
        section[1] = char((section[1] & 0xF0) | newLength >> 8);
        section[2] = char(newLength);
        const uint32_t crc = mpeg_crc32(section);
        section += std::string{char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
        ASSERT_LE(5 + section.size(), 188u);
        section.resize(183, '\xFF');
        ts.replace(start, 183, section);
        if (!inserted) {
            ts.insert(at + 188, packet);
            inserted = true;
        }
    }
    ASSERT_TRUE(inserted);
}

// The null sink's monitor, recorded on a thread of its own for as long as it lives, with the
// sink kept awake so that positions in the recording are wall-clock time.
class MonitorRecorder {
public:
    MonitorRecorder()
        : awake_("pacat --playback --raw --format=s16le --rate=44100 --channels=2 /dev/zero") {
        pipe_ = test::open_monitor(10);
        if (pipe_)
            reader_ = std::thread([this] { read(); });
    }
    ~MonitorRecorder() {
        stop_ = true;
        if (reader_.joinable())
            reader_.join();
        if (pipe_)
            ::pclose(pipe_);
    }
    // Frames recorded so far: the position of this moment in the recording.
    size_t frames() {
        std::lock_guard lock(mutex_);
        return samples_.size() / 2;
    }
    std::vector<float> samples() {
        std::lock_guard lock(mutex_);
        return samples_;
    }

private:
    void read() {
        float block[441 * 2];
        while (!stop_) {
            const size_t n = std::fread(block, sizeof(float), std::size(block), pipe_);
            if (n == 0)
                return;
            std::lock_guard lock(mutex_);
            samples_.insert(samples_.end(), block, block + n);
        }
    }

    Spawned awake_;
    FILE *pipe_ = nullptr;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<float> samples_;
    std::thread reader_;
};

// Stations of each codec served from servers of the test's own at real-time pace with no
// burst. Each source dies (the listener's connection closes, then 404 as icecast answers
// for a mount without a source) and is back 4 s later: each tone is heard again from the
// sink within 3 s of its return, without any call but the program's update and polls.
TEST(StationsTest, Station_eachCodecBack4sAfterItsSourceDied_heardWithin3sOfTheReturn) {
    HVN_REQUIRE_ENV(pulse, "PULSE_SERVER");
    struct Station {
        Station(const char *n, const char *a, const char *t, int k, int h, int r)
            : name(n), args(a), type(t), kbps(k), hz(h), rate(r) {}
        const char *name, *args, *type;
        int kbps, hz, rate;
        std::string bytes;
        std::atomic<bool> up{true};
        std::unique_ptr<test::TestHttpServer> server;
        TFMODSoundPtr sound;
        TFMODChannelPtr channel;
    };
    constexpr int kSeconds = 40;
    // Started first: its processes would otherwise inherit the server's sockets and keep
    // them open after the server closes them.
    MonitorRecorder recorder;
    Station stations[] = {
        {"mp3", "-c:a libmp3lame -b:a 128k -f mp3", "audio/mpeg", 128, 440, 44100},
        {"aac", "-c:a aac -b:a 96k -f adts", "audio/aac", 96, 620, 44100},
        {"ogg vorbis", "-c:a libvorbis -b:a 96k -minrate 96k -maxrate 96k -f ogg",
         "application/ogg", 96, 850, 44100},
        {"ogg opus", "-c:a libopus -b:a 64k -vbr off -f ogg", "audio/ogg", 64, 1130, 48000}};
    auto system = test::make_system(FmodOutput::PulseAudio);
    ASSERT_TRUE(system);
    for (Station &st : stations) {
        st.bytes = test::make_media("sine=frequency=" + std::to_string(st.hz) + ":sample_rate=" +
                                        std::to_string(st.rate) + ":d=" + std::to_string(kSeconds),
                                    std::string("-ac 2 ") + st.args);
        ASSERT_GT(st.bytes.size(), 100000u) << st.name;
        Station *p = &st;
        st.server = std::make_unique<test::TestHttpServer>([p](test::Connection &c) {
            c.read_request();
            if (!p->up) {
                c.send("HTTP/1.0 404 File Not Found\r\nContent-Type: text/html\r\n\r\n");
                return;
            }
            c.send(test::http_ok(p->type, "icy-br: " + std::to_string(p->kbps) + "\r\n"));
            // From the start of the source's stream, at its pace, until the source dies.
            const int rate = int(p->bytes.size() / kSeconds);
            const auto start = Clock::now();
            size_t sent = 0;
            while (p->up && sent < p->bytes.size()) {
                const size_t due =
                    std::min(p->bytes.size(), size_t((Clock::now() - start) / 1.0s * rate) + 1);
                if (due > sent && !c.send(p->bytes.substr(sent, due - sent)))
                    return;
                sent = std::max(sent, due);
                std::this_thread::sleep_for(20ms);
            }
        });
    }
    for (Station &st : stations) {
        st.sound = system->CreateStreamURL(st.server->url(), 0x10008, nullptr);
        ASSERT_TRUE(st.sound);
    }
    // The program's main loop: update and poll, nothing else.
    auto pump = [&](Clock::duration time) {
        for (auto end = Clock::now() + time; Clock::now() < end;) {
            system->Update();
            for (Station &st : stations)
                test::open_state(*st.sound);
            std::this_thread::sleep_for(10ms);
        }
    };
    // Each played once it is ready, as the program does.
    for (auto end = Clock::now() + 5s; Clock::now() < end;) {
        system->Update();
        bool all = true;
        for (Station &st : stations) {
            if (!st.channel && test::is_ready(test::open_state(*st.sound)))
                st.channel = system->PlaySound(-1, st.sound, 0, nullptr);
            all = all && st.channel;
        }
        if (all)
            break;
        std::this_thread::sleep_for(10ms);
    }
    for (Station &st : stations)
        ASSERT_TRUE(st.channel) << st.name << " not playing 5 s after it was opened";
    pump(2s);
    const size_t before = recorder.frames();
    for (Station &st : stations)
        st.up = false;
    const auto died = Clock::now();
    pump(4s - (Clock::now() - died));
    const size_t back = recorder.frames();
    for (Station &st : stations)
        st.up = true;
    pump(4s);
    const std::vector<float> frames = recorder.samples();
    const size_t window = 4410, step = 441;
    ASSERT_GT(frames.size() / 2, back + 3 * 44100) << "the monitor recorded too little";
    ASSERT_GT(back, before + window);
    for (Station &st : stations) {
        SCOPED_TRACE(st.name);
        // Heard before the source died, silent just before it came back.
        const double level = tone_level(frames, before - window, window, 0, st.hz);
        ASSERT_GT(level, 0.03) << "not heard before the source died";
        EXPECT_LT(tone_level(frames, back - window, window, 0, st.hz), level / 4)
            << "still heard 4 s after the source died";
        size_t heard = back;
        while (heard + window <= frames.size() / 2 &&
               tone_level(frames, heard, window, 0, st.hz) < level / 2)
            heard += step;
        const double seconds = double(heard + window - back) / 44100;
        std::printf("%-10s heard again %.2f s after its source came back\n", st.name, seconds);
        ::testing::Test::RecordProperty(std::string("return_s_") + st.name,
                                        std::to_string(seconds));
        EXPECT_LT(seconds, 3.0) << "not heard again within 3 s of the return (" << seconds << " s)";
    }
    system->SystemRelease();
}

TEST(StationsTest, Station_plsM3uAndHlsUrls_followedAndHeard) {
    // HLS as ffmpeg's muxer writes it, served from its folder.
    const auto dir =
        std::filesystem::temp_directory_path() / ("hvn-hls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ASSERT_EQ(test::run_command("ffmpeg -nostdin -loglevel error -y -f lavfi -i '" +
                                test::full_scale_sine(12) +
                                "' -c:a aac -b:a 128k -f hls -hls_time 2 -hls_list_size 0 "
                                "-hls_segment_filename " +
                                (dir / "seg%d.ts").string() + " " + (dir / "live.m3u8").string()),
              0);
    // Song changes in the first and third segments, the second an ICY-style title in Latin-1.
    auto edit = [&](const char *name, const std::string &tag) {
        std::ifstream in(dir / name, std::ios::binary);
        std::string ts((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        add_timed_id3(ts, tag);
        std::ofstream(dir / name, std::ios::binary) << ts;
    };
    edit("seg0.ts",
         id3_tag(id3_text_frame("TIT2", "First Song") + id3_text_frame("TPE1", "First Artist")));
    edit("seg2.ts", id3_tag(id3_text_frame("TIT2", "El A\xF1o - Second Song")));
    test::TestHttpServer hls([&](test::Connection &c) { test::serve_folder(c, dir); });
    test::TestHttpServer sound([](test::Connection &c) {
        c.read_request();
        c.send(test::http_ok("audio/mpeg"));
        c.send_paced(paced_mp3(128), 128 * 125);
    });
    int deadPort = 0;
    { // a port that was free a moment ago
        test::TestHttpServer gone([](test::Connection &) {});
        deadPort = std::stoi(gone.url().substr(gone.url().rfind(':') + 1));
    }
    const std::string dead = "http://127.0.0.1:" + std::to_string(deadPort) + "/gone";
    // By type, with a dead first entry; by extension and by content, served as plain text.
    const std::string pls = "[playlist]\r\nNumberOfEntries=2\r\nFile2=" + sound.url() +
                            "\r\nFile1=" + dead + "\r\nTitle1=Gone\r\n";
    const std::string m3u = "#EXTM3U\n#EXTINF:-1,Station\n" + sound.url() + "\n";
    test::TestHttpServer lists([&](test::Connection &c) {
        const std::string path = test::request_path(c.read_request());
        if (path == "/radio.pls")
            c.send(test::http_ok("audio/x-scpls") + pls);
        else if (path == "/radio.m3u")
            c.send(test::http_ok("text/plain") + m3u);
        else
            c.send(test::http_ok("application/octet-stream") + m3u);
    });
    auto system = test::make_system(FmodOutput::NoSound);
    ASSERT_TRUE(system);
    for (const std::string &url : {lists.url("/radio.pls"), lists.url("/radio.m3u"),
                                   lists.url("/listen"), hls.url("/live.m3u8")}) {
        SCOPED_TRACE(url);
        auto stream = system->CreateStreamURL(url, 0x10008, nullptr);
        ASSERT_TRUE(stream);
        OpenState s = test::wait_state(*system, *stream, test::is_ready, 5s);
        ASSERT_TRUE(test::is_ready(s)) << "state " << s.state << " " << FMODErrorString(s.result);
        auto channel = system->PlaySound(-1, stream, 0, nullptr);
        ASSERT_TRUE(channel);
        EXPECT_TRUE(tone_heard(*channel));
        EXPECT_EQ(test::open_state(*stream).starving, 0);
        if (url == hls.url("/live.m3u8")) {
            auto tag = [&](const char *name) {
                auto t = stream->GetTag(name, 0);
                return t ? t->data : std::string("(none)");
            };
            EXPECT_EQ(tag("TITLE"), "First Song");
            EXPECT_EQ(tag("ARTIST"), "First Artist");
            for (auto end = Clock::now() + 6s; Clock::now() < end && tag("TITLE") != "Second Song";)
                std::this_thread::sleep_for(50ms);
            EXPECT_EQ(tag("TITLE"), "Second Song");
            EXPECT_EQ(tag("ARTIST"), "El A\xC3\xB1o");
        }
        stream->SoundRelease();
    }
    // A playlist of nothing that plays is an error, not a wait.
    test::TestHttpServer bad([&](test::Connection &c) {
        c.read_request();
        c.send(test::http_ok("audio/x-mpegurl") + "#EXTM3U\n" + dead + "\n");
    });
    auto stream = system->CreateStreamURL(bad.url("/x.m3u"), 0x10008, nullptr);
    OpenState s = test::wait_state(*system, *stream, test::is_error, 3s);
    EXPECT_EQ(s.result, FMOD_ERR_NET_CONNECT);
    system->SystemRelease();
    std::filesystem::remove_all(dir);
}

// Audio-only HLS in packed audio, as RFC 8216 describes it: raw AAC (ADTS) or MP3 segments,
// each beginning with an ID3 tag of its start time and, here, its song. Title and artist
// follow the segments as they are heard.
TEST(StationsTest, Station_hlsPackedAudio_titleAndArtistFollowTheSegments) {
    struct Packing {
        const char *name, *ext, *args;
    };
    const Packing packings[] = {
        {"aac", "aac", "-c:a aac -b:a 128k -f segment -segment_format adts"},
        {"mp3", "mp3",
         "-c:a libmp3lame -b:a 128k -f segment -segment_format mp3 -segment_format_options "
         "id3v2_version=0:write_xing=0"}};
    auto system = test::make_system(FmodOutput::NoSound);
    ASSERT_TRUE(system);
    for (const Packing &packing : packings) {
        SCOPED_TRACE(packing.name);
        const auto dir = std::filesystem::temp_directory_path() /
                         ("hvn-packed-" + std::to_string(::getpid()) + packing.name);
        std::filesystem::create_directories(dir);
        const std::string seg = (dir / "seg%d.").string() + packing.ext;
        ASSERT_EQ(test::run_command("ffmpeg -nostdin -loglevel error -y -f lavfi -i '" +
                                    test::full_scale_sine(8) + "' " + packing.args +
                                    " -segment_time 2 " + seg),
                  0);
        std::string playlist = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n"
                               "#EXT-X-MEDIA-SEQUENCE:0\n";
        for (int i = 0; i < 4; ++i) {
            const std::string name = "seg" + std::to_string(i) + "." + packing.ext;
            std::ifstream in(dir / name, std::ios::binary);
            const std::string sound((std::istreambuf_iterator<char>(in)), {});
            ASSERT_GT(sound.size(), 10000u) << name;
            // The start time in 90 kHz units, then the song of this segment.
            const uint64_t pts = uint64_t(i) * 2 * 90000;
            std::string stamp = "com.apple.streaming.transportStreamTimestamp";
            stamp += '\0';
            for (int b = 7; b >= 0; --b)
                stamp += char(pts >> (8 * b));
            const std::string n = std::to_string(i + 1);
            std::ofstream(dir / name, std::ios::binary)
                << id3_tag(id3_frame("PRIV", stamp) + id3_text_frame("TIT2", "Song " + n) +
                           id3_text_frame("TPE1", "Artist " + n))
                << sound;
            playlist += "#EXTINF:2.0,\n" + name + "\n";
        }
        // Live (no end): the demuxer starts three segments before the end and reloads the
        // list.
        std::ofstream(dir / "radio.m3u8") << playlist;
        test::TestHttpServer server([&](test::Connection &c) { test::serve_folder(c, dir); });
        auto sound = system->CreateStreamURL(server.url("/radio.m3u8"), 0x10008, nullptr);
        ASSERT_TRUE(sound);
        ASSERT_TRUE(test::is_ready(test::wait_state(*system, *sound, test::is_ready, 5s)));
        auto channel = system->PlaySound(-1, sound, 0, nullptr);
        ASSERT_TRUE(channel);
        auto tag = [&](const char *name) {
            auto t = sound->GetTag(name, 0);
            return t ? t->data : std::string("(none)");
        };
        const auto started = Clock::now();
        EXPECT_EQ(tag("TITLE"), "Song 2");
        EXPECT_EQ(tag("ARTIST"), "Artist 2");
        // Each song as its segment is heard, 2 s after the one before: not when the demuxer
        // reads the segment ahead.
        for (int n : {3, 4}) {
            const std::string title = "Song " + std::to_string(n);
            for (auto end = started + 2s * (n - 1); Clock::now() < end && tag("TITLE") != title;)
                std::this_thread::sleep_for(20ms);
            const double at = (Clock::now() - started) / 1.0s;
            EXPECT_EQ(tag("TITLE"), title);
            EXPECT_EQ(tag("ARTIST"), "Artist " + std::to_string(n));
            EXPECT_GT(at, 2.0 * (n - 2) - 0.6) << title << " shown too early";
        }
        sound->SoundRelease();
        std::filesystem::remove_all(dir);
    }
    system->SystemRelease();
}

} // namespace
} // namespace hvn
