#include "core/text_file.h"

#include "core/fs.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace hvn {
namespace {

using test::TempDir;

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s.push_back(char(v));
    }
    return s;
}

TEST(TextFile, DecodeText_ByteOrderMarks_FollowTheRules) {
    struct Case {
        const char *what;
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"no mark", "a\xE9", "a\xE9"},
        {"UTF-8 mark dropped", "\xEF\xBB\xBFx\xC3\xA9", "x\xC3\xA9"},
        {"UTF-16 LE", Bytes({0xFF, 0xFE, 'A', 0, 0xE9, 0, 0xAC, 0x20}), "A\xC3\xA9\xE2\x82\xAC"},
        {"UTF-16 BE", Bytes({0xFE, 0xFF, 0, 'A', 0, 0xE9, 0x20, 0xAC}), "A\xC3\xA9\xE2\x82\xAC"},
        {"UTF-16 LE surrogate pair", Bytes({0xFF, 0xFE, 0x3C, 0xD8, 0xB5, 0xDF}),
         "\xF0\x9F\x8E\xB5"},
        {"UTF-16 odd last byte dropped", Bytes({0xFF, 0xFE, 'h', 0, 'i'}), "h"},
        {"UTF-16 mark only", Bytes({0xFE, 0xFF}), ""},
        {"partial UTF-8 mark kept", "\xEF\xBBx", "\xEF\xBBx"},
        {"empty", "", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(DecodeText(c.bytes), c.text) << c.what;
    }
}

TEST(TextFile, LoadText_FilesWithMarks_DecodedAndMissingGivesNothing) {
    TempDir dir;
    ASSERT_TRUE(SaveBytes(dir / "le.txt", Bytes({0xFF, 0xFE, 'o', 0, 'k', 0, '\r', 0, '\n', 0})));
    EXPECT_EQ(LoadText(dir / "le.txt"), "ok\r\n");
    EXPECT_EQ(LoadText(dir / "missing.txt"), std::nullopt);
    EXPECT_EQ(LoadText(dir.path()), std::nullopt); // a directory is not a text
}

TEST(TextFile, ReadLine_MixedLineEnds_DropsEveryCr) {
    TempDir dir;
    ASSERT_TRUE(SaveBytes(dir / "t.txt", "one\r\ntwo\nth\rree\r\n\nlast"));
    auto file = TextFile::Open(dir / "t.txt", TextFile::Mode::Read);
    ASSERT_TRUE(file);
    std::vector<std::string> lines;
    while (!file->Eof()) {
        lines.push_back(file->ReadLine());
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", "", "last"}));
    EXPECT_EQ(file->ReadLine(), "");
    EXPECT_TRUE(file->Eof());
}

TEST(TextFile, WriteLine_AnyText_EndsWithCrLf) {
    TempDir dir;
    {
        auto file = TextFile::Open(dir / "w.txt", TextFile::Mode::Write);
        ASSERT_TRUE(file);
        EXPECT_TRUE(file->WriteLine("Halvane"));
        EXPECT_TRUE(file->WriteLine(""));
        EXPECT_TRUE(file->WriteLine("Release\t\t\t  =50"));
    }
    EXPECT_EQ(LoadText(dir / "w.txt"), "Halvane\r\n\r\nRelease\t\t\t  =50\r\n");
}

TEST(TextFile, Open_ModesOnMissingAndExistingFiles_AsDocumented) {
    TempDir dir;
    EXPECT_EQ(TextFile::Open(dir / "none", TextFile::Mode::Read), nullptr);
    EXPECT_EQ(TextFile::Open(dir / "none", TextFile::Mode::ReadWrite), nullptr);
    EXPECT_EQ(FileType(dir / "none"), FileKind::None); // ReadWrite never creates
    ASSERT_TRUE(SaveBytes(dir / "old", "old text\r\n"));
    auto rw = TextFile::Open(dir / "old", TextFile::Mode::ReadWrite);
    ASSERT_TRUE(rw);
    EXPECT_EQ(rw->ReadLine(), "old text");
    rw->Close();
    EXPECT_FALSE(rw->WriteLine("after close"));
    EXPECT_EQ(rw->ReadLine(), "");
    auto w = TextFile::Open(dir / "old", TextFile::Mode::Write);
    ASSERT_TRUE(w);
    w->Close();
    EXPECT_EQ(FileSize(dir / "old"), 0); // Write truncates
}

TEST(TextFile, SplitLines_FinalLineEnd_GivesNoEmptyLastLine) {
    EXPECT_EQ(SplitLines("a\r\nb\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitLines("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(SplitLines(""), std::vector<std::string>{});
    EXPECT_EQ(SplitLines("x\ry"), std::vector<std::string>{"xy"});
}

TEST(TextFile, SaveBytesAtomic_ExistingFile_ReplacedWithModeAndNoTempLeft) {
    TempDir dir;
    ASSERT_TRUE(SaveBytes(dir / "hvn.ini", "old"));
    ASSERT_EQ(::chmod((dir / "hvn.ini").c_str(), 0640), 0);
    ASSERT_TRUE(SaveBytesAtomic(dir / "hvn.ini", "new contents"));
    EXPECT_EQ(LoadText(dir / "hvn.ini"), "new contents");
    struct stat st {};
    ASSERT_EQ(::stat((dir / "hvn.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadDirectory(dir.path()), std::vector<std::string>{"hvn.ini"});
}

TEST(TextFile, SaveBytesAtomic_RenameFails_OldKeptAndTempRemoved) {
    TempDir dir;
    // A non-empty directory cannot be replaced by a file.
    ASSERT_TRUE(CreateDir(dir / "target"));
    ASSERT_TRUE(SaveBytes(dir / "target/inside", "keep"));
    EXPECT_FALSE(SaveBytesAtomic(dir / "target", "data"));
    EXPECT_EQ(LoadText(dir / "target/inside"), "keep");
    EXPECT_EQ(ReadDirectory(dir.path()), std::vector<std::string>{"target"});
    EXPECT_FALSE(SaveBytesAtomic(dir / "no/such/dir/file", "data"));
}

} // namespace
} // namespace hvn
