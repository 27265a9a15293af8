// A station played end to end: icecast2 on 127.0.0.1, the PulseAudio null sink, the real
// window and audio engine; the connecting loop gets its 4 Hz ticks from the test.
#include "app/gadgets.h"
#include "app/startup.h"
#include "audio/audio_test_support.h"
#include "catalogue/station_list.h"
#include "config/settings.h"
#include "config/skins.h"
#include "config/translations.h"
#include "core/embedded.h"
#include "core/fs.h"
#include "e2e/playback_harness.h"
#include "events/queue.h"
#include "gui/canvas/draw2d.h"
#include "playback/current_station.h"
#include "playback/now_playing.h"
#include "playback/playback.h"
#include "playback/spectrum.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include <unistd.h>

namespace hvn {
namespace {

using test::Dispatch;
using test::Press;
using test::Release;

// A snapshot of the connecting page after each tick the loop handled.
struct Snapshot {
    std::string url;
    std::string status;
    bool lit[4];
    bool connectingShown;
};

bool Lit(Gadget *lamp) {
    return lamp->pixmap && lamp->pixmap == LoadPointPixmap;
}

Snapshot Take() {
    return {CurrentStreamUrl,
            GadgetText(ConnectingStatusLabel),
            {Lit(ConnectLamp1), Lit(ConnectLamp2), Lit(ConnectLamp3), Lit(ConnectLamp4)},
            GadgetVisible(ConnectingPage)};
}

class PlaybackStation : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const test::World &world = test::StartWorld();
        started_ = world.started;
        deadUrl_ = world.deadUrl;
    }

    void SetUp() override {
        HVN_E2E_REQUIRE(started_);
        test::EndScriptedTicks();
    }

    // Activates a list entry as a double click would and runs the connecting loop with
    // posted ticks: fast for the dead URL, slower for a live one so that it can connect.
    std::vector<Snapshot> Activate(const std::string &name, std::function<void(int)> atTick = {}) {
        const int index = test::ListIndexOf(name);
        EXPECT_GE(index, 0) << name;
        std::vector<Snapshot> shots;
        test::BeginScriptedTicks([&](int tick) {
            shots.push_back(Take());
            if (atTick) {
                atTick(tick);
            }
            return CurrentStreamUrl == deadUrl_ ? 2 : 40;
        });
        SimulateItemClick(StationListBox, index, true);
        test::DispatchQueued();
        test::EndScriptedTicks();
        return shots;
    }

    // Plays `name` until its sound reaches the sink.
    void PlayAndSettle(const std::string &name) {
        Activate(name);
        ASSERT_TRUE(CurrentChannel) << "nothing plays";
        ASSERT_TRUE(test::MonitorReaches(LeftSounds)) << name << " is not heard";
    }

    // What the sink's monitor hears once a station's sound reached it.
    static bool LeftSounds(const test::Recording &r) { return r.Rms(0) > 500.0; }
    static bool BothSound(const test::Recording &r) { return LeftSounds(r) && r.Rms(1) > 500.0; }
    static bool LeftOnly(const test::Recording &r) { return LeftSounds(r) && r.Rms(1) < 50.0; }

    static inline std::string deadUrl_;
    static inline bool started_ = false;
};

TEST_F(PlaybackStation, DeadFirstUrl_LampsThenGivesUpAt55AndPlaysSecond) {
    std::vector<Snapshot> shots = Activate("Two URL Station");
    ASSERT_FALSE(shots.empty());
    EXPECT_TRUE(shots.front().connectingShown);
    // Snapshot k of the dead URL shows the page after k ticks.
    std::vector<Snapshot> dead;
    for (const Snapshot &s : shots) {
        if (s.url == deadUrl_) {
            dead.push_back(s);
        }
    }
    ASSERT_EQ(dead.size(), 55u) << "URL 1 must be given up at its 55th tick";
    for (size_t k = 1; k < dead.size(); ++k) {
        const int ticks = static_cast<int>(k);
        for (int lamp = 0; lamp < 4; ++lamp) {
            EXPECT_EQ(dead[k].lit[lamp], ticks >= 15 + 10 * lamp)
                << "lamp " << lamp + 1 << " after tick " << ticks;
        }
    }
    EXPECT_EQ(dead[0].status, "1|2");
    EXPECT_EQ(dead.back().status, "1|2 - Error!");
    ASSERT_TRUE(CurrentChannel);
    EXPECT_EQ(CurrentStreamUrl, test::IcecastUrl("/live.mp3"));
    EXPECT_EQ(IsPlaying, 1);
    EXPECT_EQ(Muted, 0);
    EXPECT_TRUE(MenuEnabled(MuteMenuItem));
    EXPECT_EQ(BitrateText, " - 128 kb/s");
    EXPECT_TRUE(GadgetVisible(PlayerPage));
    EXPECT_FALSE(GadgetVisible(ConnectingPage));
    EXPECT_EQ(GadgetText(StationTitleLabel), "Two URL Station");
    EXPECT_EQ(GadgetText(StationStatusLabel), "Dance & Pop");
    EXPECT_EQ(SelectedGadgetItem(StreamUrlListBox), 1);
    EXPECT_EQ(GadgetItemTooltip(StreamUrlListBox, 0), "1|2");
    EXPECT_EQ(GadgetItemTooltip(StreamUrlListBox, 1), "2|2");
    EXPECT_EQ(StationHomepageHost, "www.example.com");
    EXPECT_EQ(GadgetTooltip(SpectrumCanvas), "Visit Website: www.example.com");
    EXPECT_EQ(RecentStations.front(), "A_TWO.HVN");

    ASSERT_TRUE(test::MonitorReaches(BothSound)) << "the station is not heard";
    test::Recording rec = test::RecordMonitor(1.0);
    EXPECT_GT(rec.Rms(0), 1000.0);
    EXPECT_GT(rec.Rms(1), 1000.0);
    EXPECT_NEAR(rec.Frequency(0), 440.0, 15.0);
}

TEST_F(PlaybackStation, NowPlaying_BitrateThenIcecastTitleAndArtistIntoHistory) {
    PlayAndSettle("Two URL Station");
    Dispatch(test::Tick(HousekeepingTimer.get())); // status view
    EXPECT_TRUE(GadgetText(StationStatusLabel).starts_with("Dance & Pop - 128 kb/s @ "))
        << GadgetText(StationStatusLabel);
    EXPECT_EQ(NowPlayingPhase, 1);

    // Unique per run: the mount keeps the last run's song.
    const std::string pid = std::to_string(::getpid());
    const std::string song = "Test Artist " + pid + " - Test Title " + pid;
    ASSERT_TRUE(test::SetIcecastSong("/live.mp3", song));
    // The title reaches the listener with the next metadata block (about a second).
    bool seen = false;
    for (int i = 0; i < 40 && !seen; ++i) {
        test::WaitMs(250);
        NowPlayingPhase = 1;
        Dispatch(test::Tick(HousekeepingTimer.get()));
        seen = CurrentSong == song;
    }
    ASSERT_TRUE(seen) << "last song: " << CurrentSong;
    EXPECT_EQ(GadgetText(StationTitleLabel), "Test Title " + pid);
    EXPECT_EQ(GadgetText(StationStatusLabel), "Test Artist " + pid);
    ASSERT_GE(CountGadgetItems(SongHistoryListBox), 1);
    EXPECT_EQ(GadgetItemText(SongHistoryListBox, 0), song);
    EXPECT_EQ(SelectedGadgetItem(SongHistoryListBox), 0);
    EXPECT_TRUE(std::regex_match(GadgetItemTooltip(SongHistoryListBox, 0),
                                 std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]")));
    // The same song again is not entered twice (an earlier run's song may stand below
    // it); the title line then shows the name.
    const int entries = CountGadgetItems(SongHistoryListBox);
    NowPlayingPhase = 1;
    Dispatch(test::Tick(HousekeepingTimer.get()));
    EXPECT_EQ(CountGadgetItems(SongHistoryListBox), entries);
    EXPECT_EQ(GadgetText(StationTitleLabel), "Two URL Station");
}

TEST_F(PlaybackStation, VolumeMuteAndStop_ChangeWhatTheSinkPlays) {
    PlayAndSettle("Two URL Station");
    const double full = test::RecordMonitor(0.5).Rms(0);
    ASSERT_GT(full, 1000.0);

    // Drag the knob 25 pixels left: volume 100 -> 50.
    Volume = 100;
    SetGadgetShape(VolumeKnob, 50, 4, 5, 22);
    Event down = Press(VolumeKnob);
    down.x = 2;
    Dispatch(down);
    Event move = down;
    move.id = MouseMove;
    move.x = 2 - 25;
    Dispatch(move);
    Dispatch(Release(VolumeKnob));
    EXPECT_EQ(Volume, 50);
    EXPECT_EQ(GadgetTooltip(VolumeKnob), "Volume 50%");
    const double half = test::RecordMonitor(0.5).Rms(0);
    EXPECT_NEAR(half / full, 0.5, 0.1);

    Dispatch(Press(MuteButton));
    EXPECT_EQ(Muted, 1);
    EXPECT_TRUE(MenuChecked(MuteMenuItem));
    EXPECT_EQ(GadgetTooltip(MuteButton), "Unmute");
    EXPECT_LT(test::RecordMonitor(0.5).Rms(0), 50.0);

    Dispatch(Press(MuteButton));
    EXPECT_EQ(Muted, 0);
    EXPECT_FALSE(MenuChecked(MuteMenuItem));
    EXPECT_EQ(GadgetTooltip(MuteButton), "Mute");
    EXPECT_NEAR(test::RecordMonitor(0.5).Rms(0) / full, 0.5, 0.1);

    Dispatch(Press(StopButton));
    EXPECT_EQ(Muted, 1);
    EXPECT_FALSE(CurrentChannel);
    EXPECT_TRUE(CurrentSound); // released, but kept
    EXPECT_FALSE(MenuEnabled(MuteMenuItem));
    EXPECT_EQ(GadgetText(StationStatusLabel), "Dance & Pop");
    EXPECT_LT(test::RecordMonitor(0.5).Rms(0), 50.0);
    Volume = 100;
}

TEST_F(PlaybackStation, NextAndPrevious_SwitchWhatTheSinkPlays) {
    PlayAndSettle("Two URL Station");
    test::BeginScriptedTicks([](int) { return 40; });
    Dispatch(Press(NextStationButton));
    test::EndScriptedTicks();
    ASSERT_TRUE(CurrentChannel);
    EXPECT_EQ(CurrentStationName, "Left Station");
    EXPECT_TRUE(NextUrlButton->hidden) << "one URL: no next-URL button";
    ASSERT_TRUE(test::MonitorReaches(LeftOnly)) << "the left station is not heard alone";
    test::Recording left = test::RecordMonitor(0.7);
    EXPECT_GT(left.Rms(0), 1000.0);
    EXPECT_LT(left.Rms(1), 50.0);

    test::BeginScriptedTicks([this](int) { return CurrentStreamUrl == deadUrl_ ? 1 : 40; });
    Dispatch(Press(PreviousStationButton));
    test::EndScriptedTicks();
    ASSERT_TRUE(CurrentChannel);
    EXPECT_EQ(CurrentStationName, "Two URL Station");
    ASSERT_TRUE(test::MonitorReaches(BothSound)) << "the station is not heard again";
    test::Recording both = test::RecordMonitor(0.7);
    EXPECT_GT(both.Rms(0), 1000.0);
    EXPECT_GT(both.Rms(1), 1000.0);
}

TEST_F(PlaybackStation, UnmuteAfterStop_PlaysTheSelectedStationAgain) {
    PlayAndSettle("Left Station");
    Dispatch(Press(StopButton));
    ASSERT_FALSE(CurrentChannel);
    test::BeginScriptedTicks([](int) { return 40; });
    Dispatch(Press(MuteButton));
    test::EndScriptedTicks();
    ASSERT_TRUE(CurrentChannel);
    EXPECT_EQ(CurrentStationName, "Left Station");
    EXPECT_EQ(Muted, 0);
    EXPECT_TRUE(MenuEnabled(MuteMenuItem));
    ASSERT_TRUE(test::MonitorReaches(LeftSounds)) << "the station is not heard again";
    EXPECT_GT(test::RecordMonitor(0.5).Rms(0), 1000.0);
}

TEST_F(PlaybackStation, ShortDescriptionAndBadLogo_NoUrlAndNoLogoPicture) {
    Activate("Short Station");
    EXPECT_FALSE(CurrentChannel);
    EXPECT_EQ(StationUrlCount, 0);
    EXPECT_EQ(CountGadgetItems(StreamUrlListBox), 0);
    EXPECT_EQ(Muted, 1);
    EXPECT_FALSE(MenuEnabled(MuteMenuItem));
    EXPECT_TRUE(GadgetVisible(PlayerPage));
    ASSERT_TRUE(StationLogo);
    PixmapPtr noLogo = ResizePixmap(LoadPixmap("Incbin::./data/hvn_noico.png"), 274, 87);
    ASSERT_TRUE(noLogo);
    EXPECT_EQ(StationLogo->pixels, noLogo->pixels);
}

TEST_F(PlaybackStation, StopDuringWait_PlayerInMuteLookWithReleasedStream) {
    Activate("Two URL Station", [](int tick) {
        if (tick == 20) {
            QueueEvent(Press(ConnectingStopButton));
        }
    });
    EXPECT_FALSE(CurrentChannel);
    EXPECT_TRUE(CurrentSound);
    EXPECT_EQ(CurrentStreamUrl, deadUrl_) << "the second URL is never tried";
    EXPECT_EQ(Muted, 1);
    EXPECT_TRUE(GadgetVisible(PlayerPage));
    EXPECT_TRUE(ConnectingStopButton->hidden);
    EXPECT_LT(test::RecordMonitor(0.4).Rms(0), 50.0);
}

TEST_F(PlaybackStation, BackDuringWait_ListPageAndNothingPlays) {
    Activate("Two URL Station", [](int tick) {
        if (tick == 3) {
            QueueEvent(Press(ConnectingBackButton));
        }
    });
    EXPECT_FALSE(CurrentSound);
    EXPECT_FALSE(CurrentChannel);
    EXPECT_EQ(CurrentStationName, "");
    EXPECT_TRUE(GadgetVisible(StationListPage));
    EXPECT_FALSE(GadgetVisible(PlayerPage));
    EXPECT_FALSE(NowPlayingButton->enabled);
    EXPECT_EQ(GadgetTooltip(NowPlayingButton), "*");
    EXPECT_EQ(SelectedGadgetItem(StationListBox), -1);
}

TEST_F(PlaybackStation, NextUrlDuringWait_SkipsDeadUrlAtOnce) {
    bool pressed = false;
    std::vector<Snapshot> shots = Activate("Two URL Station", [&pressed](int tick) {
        if (tick == 16 && !pressed) {
            pressed = true; // the script runs again before the next tick is posted
            QueueEvent(Press(NextUrlButton));
        }
    });
    int dead = 0;
    for (const Snapshot &s : shots) {
        dead += s.url == deadUrl_;
    }
    EXPECT_EQ(dead, 17);
    EXPECT_TRUE(CurrentChannel);
    EXPECT_EQ(CurrentStreamUrl, test::IcecastUrl("/live.mp3"));
}

TEST_F(PlaybackStation, ChosenUrl_OnlyThatOneIsTried) {
    PlayAndSettle("Two URL Station");
    test::BeginScriptedTicks([](int) { return 40; });
    PlayStation(CurrentStationFile, 2);
    test::EndScriptedTicks();
    EXPECT_TRUE(CurrentChannel);
    EXPECT_TRUE(NextUrlButton->hidden);
    // A URL number beyond the list counts as failed: nothing is read past the list.
    test::BeginScriptedTicks([](int) { return 1; });
    PlayStation(CurrentStationFile, 3);
    test::EndScriptedTicks();
    EXPECT_FALSE(CurrentChannel);
    EXPECT_EQ(Muted, 1);
}

// A station the way some servers and proxies send it: its URL a playlist with a bare-LF head
// and an entry one folder up, whose stream comes chunked (even to our HTTP/1.0 request) with
// ICY titles and "icy-br: 128,128", at real-time pace. It plays like the plain stream: heard
// clean, with its bitrate and its song in the history.
TEST_F(PlaybackStation, ChunkedIcyBehindRelativePlaylist_HeardWithBitrateAndSongInHistory) {
    // Unique per run: the history never takes the song it took last twice in a row.
    static int runs = 0;
    const std::string song = "Chunk Artist - Chunk Song " + std::to_string(++runs);
    const std::string body = test::icy_body(
        test::make_media(test::full_scale_sine(30), "-c:a libmp3lame -b:a 128k -f mp3"), 8000,
        {"StreamTitle='" + song + "';"});
    test::TestHttpServer server([&](test::Connection &c) {
        const std::string path = test::request_path(c.read_request());
        if (path == "/lists/radio.m3u") {
            c.send("HTTP/1.0 200 OK\nContent-Type: audio/x-mpegurl\n\n#EXTM3U\n"
                   "#EXTINF:-1,Chunked\n../streams/live.mp3\n");
        } else if (path == "/streams/live.mp3") {
            c.send("HTTP/1.1 200 OK\nContent-Type: audio/mpeg\nTransfer-Encoding: chunked\n"
                   "icy-br: 128,128\nicy-metaint: 8000\n\n");
            c.send_paced(body, static_cast<int>(body.size() / 30), /*chunked=*/true);
        } else {
            c.send("HTTP/1.0 404 Not Found\r\n\r\n");
        }
    });
    test::WriteStation(
        "d_chunked.hvn",
        {"Chunked Station", "http://chunked.example/", "12", "1", server.url("/lists/radio.m3u")},
        test::SolidBmp(274, 87, 255, 255, 255));
    test::ReloadStations();
    Activate("Chunked Station");
    std::filesystem::remove("stations/d_chunked.hvn");
    test::ReloadStations();
    ASSERT_TRUE(CurrentChannel) << "nothing plays";
    EXPECT_EQ(BitrateText, " - 128 kb/s");
    ASSERT_TRUE(test::MonitorReaches(LeftSounds)) << "the station is not heard";
    test::Recording rec = test::RecordMonitor(1.0);
    EXPECT_GT(rec.Rms(0), 1000.0);
    EXPECT_NEAR(rec.Frequency(0), 440.0, 15.0) << "chunk framing heard as noise";
    for (int i = 0; i < 20 && CurrentSong != song; ++i) {
        test::WaitMs(250);
        NowPlayingPhase = 1;
        Dispatch(test::Tick(HousekeepingTimer.get()));
    }
    EXPECT_EQ(CurrentSong, song);
    ASSERT_GE(CountGadgetItems(SongHistoryListBox), 1);
    EXPECT_EQ(GadgetItemText(SongHistoryListBox, 0), song);
    Dispatch(Press(StopButton));
}

// Emoji in stream titles: the title stays, only the characters beyond U+FFFF that the
// player's font has no glyph for go (DejaVu Sans Condensed draws U+1F600, not U+1F3B5 or
// U+1F525), on both lines and in the history; the title line never shows half a pair.
TEST_F(PlaybackStation, EmojiTitles_KeptWithoutTheCharactersTheFontCannotDraw) {
    const std::string grin = "\xF0\x9F\x98\x80", note = "\xF0\x9F\x8E\xB5",
                      fire = "\xF0\x9F\x94\xA5";
    const std::string a45(45, 'a');
    struct Case {
        std::string streamTitle, title, artist, song;
    };
    const Case cases[] = {
        {"Grin " + grin + " Band - Song " + note + " Title " + fire, "Song  Title ",
         "Grin " + grin + " Band", "Grin " + grin + " Band - Song  Title "},
        // The 46th unit is the first half of the grin's pair: the line stops before it.
        {"X - " + a45 + grin + grin, a45, "X", "X - " + a45 + grin + grin},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.streamTitle);
        const std::string body =
            test::icy_stream(test::sine_mp3(), 4000,
                             std::vector<std::string>(24, "StreamTitle='" + c.streamTitle + "';"));
        test::TestHttpServer server([&](test::Connection &conn) {
            conn.read_request();
            conn.send(body);
            conn.hold();
        });
        test::WriteStation("d_emoji.hvn",
                           {"Emoji Station", "http://emoji.example/", "3", "1", server.url()}, "");
        test::BeginScriptedTicks([](int) { return 40; });
        PlayStation("d_emoji.hvn", 0);
        test::EndScriptedTicks();
        ASSERT_TRUE(CurrentChannel) << "nothing plays";
        for (int i = 0; i < 20 && CurrentSong != c.song; ++i) {
            test::WaitMs(100);
            NowPlayingPhase = 1;
            Dispatch(test::Tick(HousekeepingTimer.get()));
        }
        EXPECT_EQ(CurrentSong, c.song);
        EXPECT_EQ(GadgetText(StationTitleLabel), c.title);
        EXPECT_EQ(GadgetText(StationStatusLabel), c.artist);
        ASSERT_GE(CountGadgetItems(SongHistoryListBox), 1);
        EXPECT_EQ(GadgetItemText(SongHistoryListBox, 0), c.song);
        StopPlayback();
    }
}

} // namespace
} // namespace hvn
