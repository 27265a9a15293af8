// Each stream format the engine decodes, with the tags it carries, from the tests' server.
#include "audio_test_support.h"

#include <algorithm>
#include <optional>

namespace hvn {
namespace {

using namespace std::chrono_literals;

std::optional<std::string> tag(TFMODSound &sound, const char *name) {
    auto t = sound.GetTag(name, 0);
    if (!t)
        return std::nullopt;
    return t->data;
}

struct FormatCase {
    const char *name;
    int rate;
    const char *outputArgs;
    const char *contentType;
    std::optional<std::string> title, artist;
};

class FormatsTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatsTest, Format_stream_readyPlaysTheToneWithItsTags) {
    const FormatCase &c = GetParam();
    const std::string body = test::make_media(test::full_scale_sine(10, c.rate), c.outputArgs);
    ASSERT_GT(body.size(), 20000u);
    test::TestHttpServer server([&](test::Connection &conn) {
        test::serve_body(conn, body, c.contentType);
        conn.hold();
    });
    auto system = test::make_system(FmodOutput::NoSound);
    ASSERT_TRUE(system);
    auto sound = system->CreateStreamURL(server.url(), 0x10008, nullptr);
    ASSERT_TRUE(test::is_ready(test::wait_state(*system, *sound, test::is_ready, 3s)));
    EXPECT_EQ(tag(*sound, "TITLE"), c.title);
    EXPECT_EQ(tag(*sound, "ARTIST"), c.artist);
    auto channel = system->PlaySound(-1, sound, 0, nullptr);
    ASSERT_TRUE(channel);
    // Resampled to the output rate, the tone stays in the 440 Hz band at full scale.
    EXPECT_TRUE(test::spectrum_peaks(*channel, 1, 1, 0.88f, 1.12f));
    system->SystemRelease();
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FormatsTest,
    ::testing::Values(
        FormatCase{"mp3_id3", 44100,
                   "-c:a libmp3lame -b:a 128k -id3v2_version 3 -metadata title=Id3Title "
                   "-metadata artist=Id3Artist -f mp3",
                   "audio/mpeg", "Id3Title", "Id3Artist"},
        FormatCase{"aac_adts", 44100, "-c:a aac -b:a 128k -f adts", "audio/aac", std::nullopt,
                   std::nullopt},
        FormatCase{"ogg_vorbis", 44100,
                   "-c:a libvorbis -b:a 128k -metadata title=VTitle -metadata artist=VArtist "
                   "-f ogg",
                   "application/ogg", "VTitle", "VArtist"},
        FormatCase{"ogg_opus_48k", 48000,
                   "-c:a libopus -b:a 128k -metadata title=OTitle -metadata artist=OArtist "
                   "-f ogg",
                   "audio/ogg", "OTitle", "OArtist"},
        FormatCase{"mp3_22k", 22050, "-c:a libmp3lame -b:a 64k -f mp3", "audio/mpeg", std::nullopt,
                   std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

// A chained Ogg stream, one link per song: each link's comments replace the tags, for Vorbis
// and for Opus (whose demuxer would add each link's comments to the ones before).
TEST(FormatsChainTest, Format_chainedOgg_nextSongsCommentsReplaceTheTags) {
    struct Chain {
        const char *name, *codec;
    };
    for (const Chain &c :
         {Chain{"vorbis", "-c:a libvorbis -q:a 6"}, Chain{"opus", "-c:a libopus -b:a 160k"}}) {
        SCOPED_TRACE(c.name);
        // Noise, so that even a short song fills the stream buffer.
        auto song = [&](const std::string &comments) {
            return test::make_media("anoisesrc=d=3:a=0.5:r=48000",
                                    std::string(c.codec) + comments + " -f ogg");
        };
        const std::string body = song(" -metadata title=One -metadata artist=First") + song("") +
                                 song(" -metadata title=Three -metadata artist=Third");
        test::TestHttpServer server([&](test::Connection &conn) {
            test::serve_body(conn, body, "application/ogg");
            conn.hold();
        });
        auto system = test::make_system(FmodOutput::NoSound);
        ASSERT_TRUE(system);
        auto sound = system->CreateStreamURL(server.url(), 0x10008, nullptr);
        ASSERT_TRUE(test::is_ready(test::wait_state(*system, *sound, test::is_ready, 3s)));
        EXPECT_EQ(tag(*sound, "TITLE"), "One");
        EXPECT_EQ(tag(*sound, "ARTIST"), "First");
        auto channel = system->PlaySound(-1, sound, 0, nullptr);
        ASSERT_TRUE(channel);
        auto wait_title = [&](std::optional<std::string> title) {
            for (auto end = test::Clock::now() + 5s;
                 tag(*sound, "TITLE") != title && test::Clock::now() < end;)
                std::this_thread::sleep_for(20ms);
            return tag(*sound, "TITLE");
        };
        // The second song has no comments at all.
        EXPECT_EQ(wait_title(std::nullopt), std::nullopt);
        EXPECT_EQ(tag(*sound, "ARTIST"), std::nullopt);
        EXPECT_EQ(wait_title("Three"), "Three");
        EXPECT_EQ(tag(*sound, "ARTIST"), "Third");
        system->SystemRelease();
    }
}

} // namespace
} // namespace hvn
