// Tags of live streams: the bitrate header and the song from ICY blocks or Vorbis comments,
// following a change made through icecast's admin URL.
#include "audio_test_support.h"

#include <optional>

namespace hvn {
namespace {

using namespace std::chrono_literals;

std::optional<std::string> tag(TFMODSound &sound, const char *name) {
    auto t = sound.GetTag(name, 0);
    if (!t)
        return std::nullopt;
    return t->GetDataAsString();
}

bool set_song(const std::string &port, const std::string &pass, const std::string &mount,
              const std::string &songEncoded) {
    return test::run_command("curl -sf -o /dev/null -u admin:" + pass +
                             " 'http://127.0.0.1:" + port + "/admin/metadata?mount=" + mount +
                             "&mode=updinfo&song=" + songEncoded + "'") == 0;
}

// Polls (with Update, as the program does) until the tag holds want.
bool wait_tag(TFMODSystem &system, TFMODSound &sound, const char *name,
              const std::optional<std::string> &want, std::chrono::milliseconds limit) {
    auto end = test::Clock::now() + limit;
    while (test::Clock::now() < end) {
        system.Update();
        if (tag(sound, name) == want)
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

TEST(TagsTest, Tags_songChangedOnServer_titleAndArtistFollow) {
    HVN_REQUIRE_ENV(port, "HALVANE_ICECAST_PORT");
    HVN_REQUIRE_ENV(pass, "HALVANE_ICECAST_ADMIN_PASS");
    auto system = test::make_system(FmodOutput::NoSound);
    ASSERT_TRUE(system);
    auto sound = system->CreateStreamURL(test::icecast_url(port, "/live.mp3"), 0x10008, nullptr);
    ASSERT_TRUE(sound);
    ASSERT_TRUE(test::is_ready(test::wait_state(*system, *sound, test::is_ready, 5s)));
    auto channel = system->PlaySound(-1, sound, 0, nullptr);
    ASSERT_TRUE(channel);

    // Unique per run: the mount keeps the last song set.
    const std::string title = "Title " + std::to_string(::getpid());
    ASSERT_TRUE(set_song(port, pass, "/live.mp3",
                         "Some%20Artist%20-%20Title%20" + std::to_string(::getpid())));
    // The change travels with the sound, so it shows once the buffered seconds are heard.
    EXPECT_TRUE(wait_tag(*system, *sound, "TITLE", title, 8s))
        << tag(*sound, "TITLE").value_or("-");
    EXPECT_EQ(tag(*sound, "ARTIST"), "Some Artist");
    system->SystemRelease();
    EXPECT_FALSE(sound->GetTag("TITLE", 0)); // nothing after release
}

TEST(TagsBitrateTest, Tags_bitrateHeader_isAnnouncedValue) {
    HVN_REQUIRE_ENV(port, "HALVANE_ICECAST_PORT");
    auto system = test::make_system(FmodOutput::NoSound);
    ASSERT_TRUE(system);
    auto sound = system->CreateStreamURL(test::icecast_url(port, "/live.mp3"), 0x10008, nullptr);
    ASSERT_TRUE(sound);
    ASSERT_TRUE(test::is_ready(test::wait_state(*system, *sound, test::is_ready, 5s)));
    auto br = sound->GetTag("icy-br", 0);
    ASSERT_TRUE(br);
    EXPECT_EQ(br->name, "icy-br");
    EXPECT_EQ(br->data, "128");
    EXPECT_FALSE(sound->GetTag("icy-br", 1));
    EXPECT_FALSE(sound->GetTag("NO-SUCH-TAG", 0));
}

} // namespace
} // namespace hvn
