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

// An ffmpeg source feeding an icecast mount in real time with a sine of hz, stopped by its PID.
class Source {
public:
    Source(const std::string &mount, const Codec &codec, int hz, int rate) {
        std::istringstream words(
            "ffmpeg -nostdin -loglevel quiet -re -f lavfi -i sine=frequency=" + std::to_string(hz) +
            ":sample_rate=" + std::to_string(rate) + " -ac 2 " + codec.args + " -content_type " +
            codec.type +
            " -method PUT -auth_type basic -chunked_post 0 -send_expect_100 1 http://source:" +
            std::getenv("HALVANE_ICECAST_SOURCE_PASS") +
            "@127.0.0.1:" + std::getenv("HALVANE_ICECAST_PORT") + mount);
        std::vector<std::string> args(std::istream_iterator<std::string>(words), {});
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawnp(&pid_, "ffmpeg", nullptr, nullptr, argv.data(), environ);
    }
    ~Source() { kill(); }
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

std::string id3_text_frame(const char *id, const std::string &latin1) {
    const std::string body = std::string(1, '\0') + latin1;
    const uint32_t n = static_cast<uint32_t>(body.size());
    return std::string(id) + std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} +
           std::string(2, '\0') + body;
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

} // namespace
} // namespace hvn
