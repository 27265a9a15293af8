#include "catalogue/station_files.h"
#include "core/fs.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/zip.h"
#include "stationcreator/playlist_import.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace hvn {
namespace {

using Lines = std::vector<std::string>;

class ImportDir : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/hvn-creator-import-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { DeleteDir(dir_, true); }
    std::string Write(const std::string &name, const std::string &bytes) {
        const std::string path = dir_ + "/" + name;
        EXPECT_TRUE(SaveBytes(path, bytes));
        return path;
    }
    std::string dir_;
};

TEST(CreatorFileKind, Path_kindByTextAfterFirstCharacter) {
    struct Case {
        const char *path;
        CreatorFileKind kind;
    };
    const Case cases[] = {
        {"radio.pls", CreatorFileKind::Pls},
        {"/tmp/radio.m3u", CreatorFileKind::M3u},
        {"radio.m3u8", CreatorFileKind::M3u},
        {"radio.asx", CreatorFileKind::Asx},
        {"stations/jazz.hvn", CreatorFileKind::Station},
        {"radio.pls.txt", CreatorFileKind::Pls},     // not anchored at the end
        {"radio.pls.hvn", CreatorFileKind::Station}, // the later test wins
        {"radio.hvn.pls", CreatorFileKind::Station}, // order of the tests, not of the text
        {"RADIO.PLS", CreatorFileKind::Unknown},     // exact case
        {".pls", CreatorFileKind::Unknown},          // at position 0
        {".pls/x.pls", CreatorFileKind::Unknown},    // only the first occurrence counts
        {"notes.txt", CreatorFileKind::Unknown},
        {"", CreatorFileKind::Unknown},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(DetectCreatorFileKind(c.path), c.kind) << c.path;
    }
}

TEST(PlaylistText, Bytes_linesCutAtLfAndNulWithoutCr) {
    struct Case {
        std::string text;
        Lines lines;
    };
    const Case cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {std::string("a\0b\n", 4), {"a", "b"}},
        {"a\rb", {"ab"}},
        {"", {}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(SplitPlaylistText(c.text), c.lines) << c.text;
    }
}

struct PlsCase {
    const char *what;
    Lines lines;
    bool failed;
    std::string name;
    Lines urls;
    int count;
};

TEST(PlsImport, Lines_nameCountAndUrls) {
    const PlsCase cases[] = {
        {"count, File1, Title1, File2",
         {"[playlist]", "NumberOfEntries=2", "File1=http://a.example/Live", "Title1=My Radio",
          "File2=http://b.example/x"},
         false,
         "My Radio",
         {"http://a.example/Live", "http://b.example/x"},
         2},
        // Title1 and Title10 make the two hits: the count after them is never read.
        {"count last, Title10 before it",
         {"[playlist]", "File1=http://a/1", "Title1=First", "Title10=Tenth", "numberofentries=1"},
         true,
         "Tenth",
         {"http://a/1"},
         -7},
        {"keys in capitals and blanks around values",
         {"NUMBEROFENTRIES=1", "Title1= Spaced ", "FILE1= http://a/1 "},
         false,
         " Spaced ",
         {"http://a/1"},
         1},
        {"three File lines, count 2",
         {"NumberOfEntries=2", "Title1=N", "File1=http://a/1", "File2=http://a/2",
          "File3=http://a/3"},
         true,
         "N",
         {"http://a/1", "http://a/2", "http://a/3"},
         2},
        {"no count key",
         {"[playlist]", "Title1=N", "File1=http://a/1"},
         true,
         "N",
         {"http://a/1"},
         -7},
        {"keys in any letter case, comments skipped",
         {"; File9=http://old/", "Numberofentries = 1", "; Title1=Comment", "tItle1=N",
          "file1=http://a/1"},
         false,
         "N",
         {"http://a/1"},
         1},
        {"a title holding \"file\" is no File line",
         {"NumberOfEntries=2", "File1=http://a/1", "Title1=Profile", "File2=http://a/2"},
         false,
         "Profile",
         {"http://a/1", "http://a/2"},
         2},
        {"no entries at all",
         {"[playlist]", "NumberOfEntries=0", "Title1=Empty"},
         false,
         "Empty",
         {},
         0},
    };
    for (const PlsCase &c : cases) {
        CreatorImport out;
        int count = -7;
        const bool failed = ImportPlsLines(c.lines, out, count);
        EXPECT_EQ(failed, c.failed) << c.what;
        EXPECT_EQ(out.name, c.name) << c.what;
        EXPECT_EQ(count, c.count) << c.what;
        // A failed rule hands over to the "http://" lines.
        EXPECT_EQ(failed ? UrlLines(c.lines) : out.urls, c.urls) << c.what;
    }
}

TEST(M3uImport, Lines_titleOfExtinfAfterHeader) {
    struct Case {
        const char *what;
        Lines lines;
        std::string name;
        Lines urls;
    };
    const Case cases[] = {
        {"extended",
         {"#EXTM3U", "#EXTINF:-1, Cool FM ", "http://a/Stream", "#comment", "http://b/x"},
         "Cool FM",
         {"http://a/Stream", "http://b/x"}},
        {"header in lower case",
         {"#extm3u", "#EXTINF:-1,Low", "http://a/1"},
         "Low",
         {"http://a/1"}},
        {"no comma takes the whole line", {"#EXTM3U", "#EXTINF:  x  "}, "#EXTINF:  x", {}},
        {"plain list", {"http://a/1", "#EXTINF:-1,Not read"}, "", {"http://a/1"}},
        {"EXTINF with a URL is never a URL",
         {"#EXTM3U", "#EXTINF:-1,http://title/", "http://a/1"},
         "http://title/",
         {"http://a/1"}},
        {"https is a URL line, a capital scheme is not",
         {"HTTP://A/1", "https://b/2"},
         "",
         {"https://b/2"}},
        {"a URL keeps its query, a key is dropped",
         {"http://a/x?id=5&b=6", "File1=http://a/y?id=5", " url = https://a/z "},
         "",
         {"http://a/x?id=5&b=6", "http://a/y?id=5", "https://a/z"}},
        {"comments never give URLs",
         {"#EXTM3U url-tvg=\"http://epg/\"", "#EXTVLCOPT:http-referrer=http://r/", " # http://c/",
          "; http://s/", "http://a/1"},
         "",
         {"http://a/1"}},
    };
    for (const Case &c : cases) {
        CreatorImport out;
        EXPECT_TRUE(ImportM3uLines(c.lines, out)) << c.what;
        EXPECT_EQ(out.name, c.name) << c.what;
        EXPECT_EQ(UrlLines(c.lines), c.urls) << c.what;
    }
}

TEST(AsxImport, Lines_titleAuthorAndRefsInAnyCase) {
    struct Case {
        const char *what;
        Lines lines;
        bool failed;
        std::string name;
        std::string homepage;
        Lines urls;
    };
    const Case cases[] = {
        {"usual",
         {"<asx version=\"3.0\">", "<title> Big Band </title>",
          "<author>http://big.example</author>",
          "<entry><ref href=\"http://big.example/Live.mp3\" /></entry>", "</asx>"},
         false,
         "Big Band",
         "http://big.example",
         {"http://big.example/Live.mp3"}},
        {"capitals",
         {"<ASX>", "<TITLE>Loud</TITLE>", "<REF HREF=\"http://a/1\" />",
          "<Ref Href='http://a/2' />"},
         false,
         "Loud",
         "http://www.",
         {"http://a/1", "http://a/2"}},
        {"first title wins, title without end is empty",
         {"<title>", "<title>Second</title>", "<ref href=\"http://a/1\" />"},
         false,
         "Second",
         "http://www.",
         {"http://a/1"}},
        {"no blank before />",
         {"<ref href=\"http://a/1\"/>"},
         false,
         "",
         "http://www.",
         {"http://a/1"}},
        {"blanks around =, other attributes, entities",
         {"<Ref  lang=\"en\"  HREF = 'http://a/1?x=1&amp;y=&#50;&#x33;' >",
          "<ref href=\"\"/><ref/><reference href=\"http://no/\"/><entryref href=\"http://no/\"/>",
          "<ref href=http://a/bare/>"},
         false,
         "",
         "http://www.",
         {"http://a/1?x=1&y=23", "http://a/bare"}},
        {"control codes stay written out",
         {"<title>A&#10;B</title>", "<ref href=\"http://a/&#13;x\"/>"},
         false,
         "A&#10;B",
         "http://www.",
         {"http://a/&#13;x"}},
        {"no refs", {"<asx>", "<title>None</title>", "</asx>"}, true, "None", "http://www.", {}},
        {"ref cut short", {"<ref href=\"http://a/1", "<ref href="}, true, "", "http://www.", {}},
    };
    for (const Case &c : cases) {
        CreatorImport out;
        EXPECT_EQ(ImportAsxLines(c.lines, out), c.failed) << c.what;
        EXPECT_EQ(out.name, c.name) << c.what;
        EXPECT_EQ(out.homepage, c.homepage) << c.what;
        EXPECT_EQ(out.urls, c.urls) << c.what;
    }
}

TEST(StationDescription, Text_fieldsAndAtMostCountUrls) {
    struct Case {
        const char *what;
        std::string text;
        std::string name, homepage;
        int genre;
        Lines urls;
    };
    const Case cases[] = {
        {"usual",
         "Jazz\r\nhttp://j.example\r\n17\r\n2\r\nhttp://a/1\r\n http://a/2 ",
         "Jazz",
         "http://j.example",
         17,
         {"http://a/1", "http://a/2"}},
        {"more URLs than counted", "N\r\nh\r\n1\r\n1\r\nu1\r\nu2", "N", "h", 1, {"u1"}},
        {"empty lines skipped", "N\r\n\r\nh\r\n1\r\n2\r\nu1\r\n\r\nu2", "N", "", 0, {"u1"}},
        {"genre out of range", "N\r\nh\r\n300\r\n0", "N", "h", 0, {}},
        {"negative genre", "N\r\nh\r\n-3\r\n0", "N", "h", 0, {}},
        {"LF only is one line", "N\nh\n3\n1\nu", "N\nh\n3\n1\nu", "", 0, {}},
        {"empty", "", "", "", 0, {}},
    };
    for (const Case &c : cases) {
        CreatorImport out;
        ImportStationDescription(c.text, out);
        EXPECT_EQ(out.name, c.name) << c.what;
        EXPECT_EQ(out.homepage, c.homepage) << c.what;
        EXPECT_EQ(out.genre, c.genre) << c.what;
        EXPECT_EQ(out.urls, c.urls) << c.what;
    }
}

// How a file's text is stored: line ends, byte-order mark, UTF-16 in either order.
enum class Stored { Lf, CrLf, Utf8Bom, Utf16Le, Utf16Be };

std::string Store(const std::string &text, Stored as) {
    const std::string crlf = Replace(text, "\n", "\r\n");
    if (as == Stored::Lf || as == Stored::CrLf || as == Stored::Utf8Bom) {
        return (as == Stored::Utf8Bom ? "\xEF\xBB\xBF" : "") + (as == Stored::Lf ? text : crlf);
    }
    bool ok = true;
    const bool le = as == Stored::Utf16Le;
    std::string bytes = le ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t unit : Utf8ToUtf16(crlf, ok)) {
        const char low = char(unit & 0xFF), high = char(unit >> 8);
        bytes += le ? low : high;
        bytes += le ? high : low;
    }
    return bytes;
}

// Playlists as directories, servers and players write them, each with the name and
// stream URLs it means.
TEST_F(ImportDir, RealPlaylists_nameAndUrlsTheyMean) {
    struct Case {
        const char *file;
        Stored stored;
        std::string text;
        std::string name;
        Lines urls;
        std::string homepage = "http://www.";
    };
    const Case cases[] = {
        {"server.pls",
         Stored::CrLf,
         "[playlist]\nnumberofentries=2\nFile1=http://127.0.0.1:8000/"
         ";stream.mp3?type=http&nocache=42\n"
         "Title1=(#1 - 12/500) Groove: ambient\nLength1=-1\nFile2=https://127.0.0.1:8443/live\n"
         "Title2=(#2 - 3/500) Groove\nLength2=-1\nVersion=2\n",
         "(#1 - 12/500) Groove: ambient",
         {"http://127.0.0.1:8000/;stream.mp3?type=http&nocache=42", "https://127.0.0.1:8443/live"}},
        {"nocount.pls",
         Stored::Lf,
         "[playlist]\n; backup: http://127.0.0.1:9/old\nfile1=https://127.0.0.1/Live.AAC?sid=1\n"
         "title1=Live Radio\nlength1=-1\nversion=2",
         "Live Radio",
         {"https://127.0.0.1/Live.AAC?sid=1"}},
        {"bom.pls",
         Stored::Utf8Bom,
         "[Playlist]\nNumberOfEntries=1\nFile1=http://127.0.0.1/a\nTitle1=Radio \xC3\x84\n",
         "Radio \xC3\x84",
         {"http://127.0.0.1/a"}},
        {"windows.pls",
         Stored::Utf16Le,
         "[playlist]\nNUMBEROFENTRIES=1\nFILE1=http://127.0.0.1/w?a=1\nTITLE1=Caf\xC3\xA9 FM\n",
         "Caf\xC3\xA9 FM",
         {"http://127.0.0.1/w?a=1"}},
        {"iptv.m3u8",
         Stored::Lf,
         "#EXTM3U x-tvg-url=\"http://127.0.0.1/epg.xml\"\n"
         "#EXTINF:-1 tvg-id=\"jazz\" tvg-name=\"Jazz, Blues\" tvg-logo=\"https://127.0.0.1/j.png\" "
         "group-title=\"Music, Jazz\",Jazz FM\n#EXTVLCOPT:http-user-agent=Mozilla/5.0\n"
         "https://127.0.0.1:8443/jazz.aac?token=ab=&sid=7\n"
         "#EXTINF:-1 tvg-logo=\"http://127.0.0.1/b.png\" group-title=\"Music\",Blues\n"
         "http://127.0.0.1:8000/blues\n",
         "Jazz FM",
         {"https://127.0.0.1:8443/jazz.aac?token=ab=&sid=7", "http://127.0.0.1:8000/blues"}},
        {"secure.m3u",
         Stored::CrLf,
         "#EXTM3U\n#EXTINF:-1,Secure Radio\nhttps://127.0.0.1/s.mp3\n",
         "Secure Radio",
         {"https://127.0.0.1/s.mp3"}},
        {"plain.m3u",
         Stored::Lf,
         "# saved by hand\n#http://127.0.0.1:9/old\nhttp://127.0.0.1/listen?sid=1\n\n"
         "  http://127.0.0.1/Two.ogg  ",
         "",
         {"http://127.0.0.1/listen?sid=1", "http://127.0.0.1/Two.ogg"}},
        {"player.m3u",
         Stored::Utf16Be,
         "#EXTM3U\n#EXTINF:0,Radio \xC3\x96\nhttp://127.0.0.1/\xC3\xB6.mp3\n",
         "Radio \xC3\x96",
         {"http://127.0.0.1/\xC3\xB6.mp3"}},
        {"wmp.asx",
         Stored::CrLf,
         "<ASX VERSION=\"3.0\">\n  <TITLE>Rock &amp; Roll</TITLE>\n  "
         "<AUTHOR>http://127.0.0.1/</AUTHOR>\n"
         "  <ENTRY>\n    <REF HREF = \"http://127.0.0.1/rock?a=1&amp;b=2\"/>\n"
         "    <Ref href='mms://127.0.0.1/rock' />\n  </ENTRY>\n</ASX>\n",
         "Rock & Roll",
         {"http://127.0.0.1/rock?a=1&b=2", "mms://127.0.0.1/rock"},
         "http://127.0.0.1/"},
        {"oneline.asx",
         Stored::Lf,
         "<asx version=\"3.0\"><title>One Line</title><entry><ref href=\"http://127.0.0.1/a\"/>"
         "</entry><entry><ref href=\"http://127.0.0.1/b\" /></entry></asx>",
         "One Line",
         {"http://127.0.0.1/a", "http://127.0.0.1/b"}},
        {"entities.asx",
         Stored::Utf8Bom,
         "<asx version=\"3.0\">\n<title>Caf&#233; &#x26; Bar</title>\n<entry>\n<ref href=\"\" />\n"
         "<ref href=\"http://127.0.0.1/caf&#xE9;\" />\n<moreinfo href=\"http://127.0.0.1/about\" "
         "/>\n"
         "</entry>\n</asx>\n",
         "Caf\xC3\xA9 & Bar",
         {"http://127.0.0.1/caf\xC3\xA9"}},
        {"notes.txt",
         Stored::CrLf,
         "Stations I like\nstream=http://127.0.0.1/x.mp3?id=5\nhttps://127.0.0.1/y\n"
         "; http://127.0.0.1:9/comment\n",
         "",
         {"http://127.0.0.1/x.mp3?id=5", "https://127.0.0.1/y"}},
    };
    for (const Case &c : cases) {
        int count = 0;
        const CreatorImport out = ImportCreatorFile(Write(c.file, Store(c.text, c.stored)), count);
        EXPECT_FALSE(out.failed) << c.file;
        EXPECT_EQ(out.name, c.name) << c.file;
        EXPECT_EQ(out.urls, c.urls) << c.file;
        EXPECT_EQ(out.homepage, c.homepage) << c.file;
    }
}

TEST_F(ImportDir, OversizedOrSpecialFile_treatedAsUnreadable) {
    std::string big = "http://a/1\n";
    big.resize(kMaxPlaylistBytes + 1, 'x');
    EXPECT_FALSE(ReadPlaylistLines(Write("big.m3u", big)).has_value());
    EXPECT_TRUE(ReadPlaylistLines(Write("edge.m3u", big.substr(0, kMaxPlaylistBytes))));
    EXPECT_FALSE(ReadPlaylistLines(dir_).has_value());
    EXPECT_FALSE(ReadPlaylistLines(dir_ + "/missing.pls").has_value());
    // A FIFO would block a plain read forever.
    const std::string fifo = dir_ + "/pipe.m3u";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadPlaylistLines(fifo).has_value());

    int count = 0;
    // A playlist that cannot be read opens an empty creator; an unknown file fails.
    CreatorImport out = ImportCreatorFile(dir_ + "/big.m3u", count);
    EXPECT_FALSE(out.failed);
    EXPECT_TRUE(out.urls.empty());
    out = ImportCreatorFile(Write("big.bin", big), count);
    EXPECT_TRUE(out.failed);
}

TEST_F(ImportDir, BinaryFile_noCrashAndOnlyHttpLines) {
    std::string bytes;
    for (int i = 0; i < 70000; ++i)
        bytes += static_cast<char>((i * 7919) & 0xff);
    bytes += std::string("\0http://bin/1\0", 14);
    int count = 0;
    const CreatorImport out = ImportCreatorFile(Write("blob.dat", bytes), count);
    ASSERT_FALSE(out.failed);
    EXPECT_EQ(out.urls.back(), "http://bin/1");
}

TEST_F(ImportDir, UnknownKind_urlLinesOrFailure) {
    int count = 0;
    CreatorImport out = ImportCreatorFile(Write("notes.txt", "stream=http://a/1\r\n"), count);
    EXPECT_FALSE(out.failed);
    EXPECT_EQ(out.urls, Lines{"http://a/1"});
    out = ImportCreatorFile(Write("other.txt", "nothing here\r\nftp://x\r\n"), count);
    EXPECT_TRUE(out.failed);
    // A playlist whose own rule and the fall-back both find nothing fails as well.
    out = ImportCreatorFile(Write("empty.asx", "<asx></asx>"), count);
    EXPECT_TRUE(out.failed);
}

TEST_F(ImportDir, StationFile_customMarkerAndLogoByMemberCount) {
    const std::string text = "Mine\r\nhttp://mine.example\r\n5\r\n1\r\nhttp://a/1";
    struct Case {
        const char *what;
        std::vector<ZipMember> members;
        int custom;
        bool logo;
    };
    const Case cases[] = {
        {"description only", {{"station_id.txt", text, 0}}, 0, false},
        {"with marker", {{"station_id.txt", text, 0}, {"custom", "", 0}}, 1, false},
        {"with logo and marker",
         {{"station_id.txt", text, 0}, {"station_ico.png", "PNG", 0}, {"custom", "", 0}},
         1,
         true},
        {"marker in capitals", {{"STATION_ID.TXT", text, 0}, {"Custom", "", 0}}, 1, false},
        {"four members",
         {{"station_id.txt", text, 0},
          {"station_ico.png", "PNG", 0},
          {"custom", "", 0},
          {"extra", "", 0}},
         0,
         false},
    };
    for (const Case &c : cases) {
        const std::string path = dir_ + "/Sub.Dir/My.Station.hvn";
        CreateDir(dir_ + "/Sub.Dir");
        ASSERT_TRUE(WriteZip(path, c.members)) << c.what;
        int count = 0;
        const CreatorImport out = ImportCreatorFile(path, count);
        EXPECT_FALSE(out.failed) << c.what;
        EXPECT_EQ(out.custom, c.custom) << c.what;
        EXPECT_EQ(out.logo.has_value(), c.logo) << c.what;
        EXPECT_EQ(out.name, "Mine") << c.what;
        EXPECT_EQ(out.homepage, "http://mine.example") << c.what;
        EXPECT_EQ(out.genre, 5) << c.what;
        EXPECT_EQ(out.fileName, std::optional<std::string>("My.Station.hvn")) << c.what;
        EXPECT_EQ(out.urls, Lines{"http://a/1"}) << c.what;
    }
}

TEST_F(ImportDir, BrokenStationFile_resetValuesAndShown) {
    int count = 0;
    CreatorImport out = ImportCreatorFile(Write("junk.hvn", "not a zip"), count);
    EXPECT_FALSE(out.failed);
    EXPECT_EQ(out.custom, 1);
    EXPECT_FALSE(out.fileName.has_value());
    ASSERT_TRUE(WriteZip(dir_ + "/nodesc.hvn", {{"custom", "", 0}}));
    out = ImportCreatorFile(dir_ + "/nodesc.hvn", count);
    EXPECT_FALSE(out.failed);
    EXPECT_EQ(out.custom, 0);
    EXPECT_EQ(out.homepage, "http://www.");
    EXPECT_TRUE(out.urls.empty());
    EXPECT_FALSE(out.fileName.has_value());
}

// Members that inflate past their bound are refused, not read into memory.
TEST_F(ImportDir, OversizedStationMembers_importRefused) {
    int count = 0;
    const std::string description = "Big\r\nhttp://h\r\n1\r\n1\r\nhttp://u";
    ASSERT_TRUE(WriteZip(dir_ + "/desc.hvn",
                         {{"station_id.txt", description + std::string(kZipTextLimit, ' '), 0}}));
    EXPECT_TRUE(ImportCreatorFile(dir_ + "/desc.hvn", count).failed);
    ASSERT_TRUE(WriteZip(dir_ + "/logo.hvn",
                         {{"station_id.txt", description, 0},
                          {"station_ico.png", std::string(kZipImageLimit + 1, '\0'), 0}}));
    EXPECT_TRUE(ImportCreatorFile(dir_ + "/logo.hvn", count).failed);
}

} // namespace
} // namespace hvn
