// Streams served the way real stations serve them: at real-time pace from the first byte,
// dropping and coming back, behind playlists and as HLS.
#include "audio_test_support.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>

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
void expect_tone(TFMODChannel &channel) {
    float values[64];
    ASSERT_EQ(channel.GetSpectrum(values, 64, 0, FMOD_DSP_FFT_WINDOW_TRIANGLE), FMOD_OK);
    EXPECT_EQ(std::max_element(values, values + 64) - values, 1);
    EXPECT_GT(values[1], 0.05);
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
        expect_tone(*c.channel);
    }
    system->SystemRelease();
}

// An ffmpeg source feeding an icecast mount in real time, stopped by its PID.
class Source {
public:
    explicit Source(const std::string &mount) {
        const std::string url =
            "http://source:" + std::string(std::getenv("HALVANE_ICECAST_SOURCE_PASS")) +
            "@127.0.0.1:" + std::getenv("HALVANE_ICECAST_PORT") + mount;
        const char *argv[] = {"ffmpeg",
                              "-nostdin",
                              "-loglevel",
                              "quiet",
                              "-re",
                              "-f",
                              "lavfi",
                              "-i",
                              "sine=frequency=440:sample_rate=44100",
                              "-ac",
                              "2",
                              "-c:a",
                              "libmp3lame",
                              "-b:a",
                              "128k",
                              "-f",
                              "mp3",
                              "-content_type",
                              "audio/mpeg",
                              "-method",
                              "PUT",
                              "-auth_type",
                              "basic",
                              "-chunked_post",
                              "0",
                              "-send_expect_100",
                              "1",
                              url.c_str(),
                              nullptr};
        posix_spawnp(&pid_, "ffmpeg", nullptr, nullptr, const_cast<char **>(argv), environ);
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

TEST(StationsTest, Station_sourceKilledAndBack4sLater_heardAgainOnTheSameChannel) {
    HVN_REQUIRE_ENV(pulse, "PULSE_SERVER");
    HVN_REQUIRE_ENV(port, "HALVANE_ICECAST_PORT");
    HVN_REQUIRE_ENV(pass, "HALVANE_ICECAST_SOURCE_PASS");
    const std::string mount = "/drop" + std::to_string(::getpid()) + ".mp3";
    auto system = test::make_system(FmodOutput::PulseAudio);
    ASSERT_TRUE(system);
    auto source = std::make_unique<Source>(mount);
    // The mount is up a moment after the source starts.
    TFMODSoundPtr sound;
    for (auto end = Clock::now() + 5s; Clock::now() < end && !sound;) {
        sound = system->CreateStreamURL(test::icecast_url(port, mount), 0x10008, nullptr);
        if (!test::is_ready(test::wait_state(*system, *sound, test::is_ready, 3s)))
            sound.reset();
    }
    ASSERT_TRUE(sound);
    auto channel = system->PlaySound(-1, sound, 0, nullptr);
    ASSERT_TRUE(channel);
    // Heard a while after the start: the source began a moment ago, so the stream starts at
    // its live edge, and a gap there would skew the rough frequency.
    std::this_thread::sleep_for(2s);
    EXPECT_NEAR(test::measure(test::record_sink(1.0), 0).hz, 440, 5);

    source->kill();
    const auto killed = Clock::now();
    OpenState s = test::wait_state(
        *system, *sound, [](const OpenState &o) { return o.starving == 1; }, 10s);
    // Shown as "@ --%". How soon depends on when the server notices its source is gone.
    EXPECT_EQ(s.starving, 1) << "after " << (Clock::now() - killed) / 1ms << " ms";
    EXPECT_TRUE(test::is_ready(s));
    std::this_thread::sleep_until(killed + 4s);
    source = std::make_unique<Source>(mount);
    // Back without any call but the open-state polls, on the same channel.
    s = test::wait_state(
        *system, *sound, [](const OpenState &o) { return o.starving == 0; }, 12s);
    ASSERT_EQ(s.starving, 0) << "not back " << (Clock::now() - killed) / 1ms
                             << " ms after the kill";
    EXPECT_TRUE(test::is_ready(s));
    std::this_thread::sleep_for(2s); // the source is back at its live edge too
    test::Tone t = test::measure(test::record_sink(1.0), 0);
    EXPECT_NEAR(t.hz, 440, 5);
    EXPECT_GT(t.rms, 0.03);
    int playing = 0;
    channel->IsPlaying(playing);
    EXPECT_EQ(playing, 1);

    // Dropped again and retrying: release ends it at once, and no thread is left.
    source->kill();
    test::wait_state(
        *system, *sound, [](const OpenState &o) { return o.starving == 1; }, 4s);
    std::this_thread::sleep_for(1500ms);
    auto start = Clock::now();
    EXPECT_EQ(sound->SoundRelease(), FMOD_OK);
    EXPECT_LT(Clock::now() - start, 100ms);
    channel->IsPlaying(playing);
    EXPECT_EQ(playing, 0);
    start = Clock::now();
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
        std::this_thread::sleep_for(700ms);
        expect_tone(*channel);
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
