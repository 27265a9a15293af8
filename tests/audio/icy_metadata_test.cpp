#include "audio/icy_metadata.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace hvn {
namespace {

struct TitleCase {
    const char *name;
    std::string block;
    std::optional<std::string> title;
};

class IcyStreamTitleTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(IcyStreamTitleTest, IcyStreamTitle_block_rawTitle) {
    EXPECT_EQ(icy_stream_title(GetParam().block), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, IcyStreamTitleTest,
    ::testing::Values(TitleCase{"plain", "StreamTitle='A - B';StreamUrl='';", "A - B"},
                      TitleCase{"padded", std::string("StreamTitle='X';\0\0\0\0", 20), "X"},
                      TitleCase{"apostrophes",
                                "StreamTitle='Guns N' Roses - Don't Cry';StreamUrl='x';",
                                "Guns N' Roses - Don't Cry"},
                      TitleCase{"empty", "StreamTitle='';", ""},
                      TitleCase{"url_first", "StreamUrl='http://x';StreamTitle='T';", "T"},
                      TitleCase{"no_semicolon", "StreamTitle='Last'", "Last"},
                      TitleCase{"cut_short", "StreamTitle='Cut sho", "Cut sho"},
                      TitleCase{"no_title", "StreamUrl='http://x';", std::nullopt},
                      TitleCase{"garbage", std::string("\x01\xff\x80garbage", 10), std::nullopt},
                      TitleCase{"nothing", "", std::nullopt},
                      TitleCase{"utf8_bytes_kept", "StreamTitle='Bj\xc3\xb6rk - J\xc3\xb3ga';",
                                "Bj\xc3\xb6rk - J\xc3\xb3ga"}),
    [](const auto &info) { return std::string(info.param.name); });

struct SplitCase {
    const char *text;
    std::optional<std::string> artist;
    std::string title;
};

TEST(IcySplitTest, SplitStreamTitle_texts_splitAtFirstSpacedDash) {
    const SplitCase cases[] = {
        {"Artist - Title", "Artist", "Title"},
        {"A - B - C", "A", "B - C"},
        {"No dash here", std::nullopt, "No dash here"},
        {"Hyphen-ated-name", std::nullopt, "Hyphen-ated-name"},
        {" - Only title", "", "Only title"},
        {"Only artist - ", "Only artist", ""},
        {"", std::nullopt, ""},
    };
    for (const auto &c : cases) {
        SongTags song = split_stream_title(c.text);
        EXPECT_EQ(song.artist, c.artist) << c.text;
        EXPECT_EQ(song.title, c.title) << c.text;
    }
}

TEST(IcyHeaderTest, IcyHeader_headerLines_valueByNameWithoutCase) {
    const std::string headers = "icy-name: Test Radio\nICY-BR: 128 \nicy-genre:Jazz\n";
    EXPECT_EQ(icy_header(headers, "icy-br"), "128");
    EXPECT_EQ(icy_header(headers, "icy-genre"), "Jazz");
    EXPECT_EQ(icy_header(headers, "icy-name"), "Test Radio");
    EXPECT_EQ(icy_header(headers, "icy-url"), std::nullopt);
    EXPECT_EQ(icy_header("", "icy-br"), std::nullopt);
    EXPECT_EQ(icy_header("icy-br: \n", "icy-br"), ""); // present but empty
}

} // namespace
} // namespace hvn
