#include "core/zip.h"

#include "core/fs.h"
#include "core/text_file.h"
#include "temp_dir.h"

#include <ctime>
#include <gtest/gtest.h>

namespace hvn {
namespace {

using test::TempDir;

std::vector<ZipMember> StationMembers() {
    std::string logo(5000, '\0');
    for (size_t i = 0; i < logo.size(); ++i) {
        logo[i] = char(i * 131 + 7);
    }
    return {
        {"station_id.txt", "Radio Test\r\nhttp://example.invalid/\r\n3\r\nhttp://a/\r\n", 0},
        {"station_ico.png", logo, 0},
        {"custom", "", 0},
    };
}

uint16_t Le16(const std::string &b, size_t at) {
    return uint16_t(uint8_t(b[at]) | (uint8_t(b[at + 1]) << 8));
}

TEST(Zip, WriteThenRead_StationArchive_SameMembersInOrder) {
    TempDir dir;
    auto members = StationMembers();
    ASSERT_TRUE(WriteZip(dir / "r.hvn", members));
    ZipReader zip;
    ASSERT_TRUE(zip.Open(dir / "r.hvn"));
    EXPECT_EQ(zip.Count(), 3);
    EXPECT_EQ(zip.Names(),
              (std::vector<std::string>{"station_id.txt", "station_ico.png", "custom"}));
    for (const ZipMember &m : members) {
        EXPECT_EQ(zip.ExtractFile(m.name), m.data) << m.name;
    }
    // Only the archive is left in the directory: the temporary file was renamed.
    EXPECT_EQ(ReadDirectory(dir.path()), std::vector<std::string>{"r.hvn"});
}

TEST(Zip, Names_LongMemberName_ComesBackWhole) {
    TempDir dir;
    const std::string longName = std::string(5000, 'n') + ".txt";
    ASSERT_TRUE(WriteZip(dir / "long.zip", {{longName, "x", 0}, {"short", "y", 0}}));
    ZipReader zip;
    ASSERT_TRUE(zip.Open(dir / "long.zip"));
    EXPECT_EQ(zip.Names(), (std::vector<std::string>{longName, "short"}));
}

TEST(Zip, Lookup_LetterCase_IgnoredUnlessAsked) {
    TempDir dir;
    ASSERT_TRUE(WriteZip(dir / "r.hvn", StationMembers()));
    ZipReader zip;
    ASSERT_TRUE(zip.Open(dir / "r.hvn"));
    EXPECT_TRUE(zip.HasFile("STATION_ID.TXT"));
    EXPECT_TRUE(zip.ExtractFile("Station_Ico.PNG").has_value());
    EXPECT_FALSE(zip.HasFile("CUSTOM", true));
    EXPECT_TRUE(zip.HasFile("custom", true));
    EXPECT_EQ(zip.ExtractFile("Custom", true), std::nullopt);
    EXPECT_EQ(zip.ExtractFile("missing.txt"), std::nullopt);
}

TEST(Zip, MemberTime_LocalTimeStamp_WrittenDeflated) {
    TempDir dir;
    std::time_t when = 1500000000;
    ASSERT_TRUE(WriteZip(dir / "t.zip", {{"a.txt", std::string(1000, 'a'), when}}));
    std::string bytes = *LoadText(dir / "t.zip");
    ASSERT_GT(bytes.size(), 30u);
    std::tm local{};
    ::localtime_r(&when, &local);
    uint16_t dosTime = uint16_t(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    uint16_t dosDate =
        uint16_t((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    // Local file header: method at 8, time at 10, date at 12.
    EXPECT_EQ(Le16(bytes, 8), 8); // deflate
    EXPECT_EQ(Le16(bytes, 10), dosTime);
    EXPECT_EQ(Le16(bytes, 12), dosDate);
    EXPECT_LT(bytes.size(), 500u); // 1000 equal bytes really were compressed
}

TEST(Zip, Open_BrokenInputs_FailWithoutCrash) {
    TempDir dir;
    ASSERT_TRUE(WriteZip(dir / "good.zip", StationMembers()));
    std::string good = *LoadText(dir / "good.zip");
    ASSERT_TRUE(SaveBytes(dir / "truncated.zip", good.substr(0, good.size() / 2)));
    ASSERT_TRUE(SaveBytes(dir / "text.zip", "this is not an archive\r\n"));
    ASSERT_TRUE(SaveBytes(dir / "empty.zip", ""));
    ASSERT_TRUE(CreateDir(dir / "dir.zip"));

    ZipReader zip;
    for (const char *name : {"truncated.zip", "text.zip", "empty.zip", "dir.zip", "none.zip"}) {
        EXPECT_FALSE(zip.Open(dir / name)) << name;
        EXPECT_FALSE(zip.IsOpen()) << name;
        EXPECT_EQ(zip.ExtractFile("station_id.txt"), std::nullopt) << name;
        EXPECT_EQ(zip.Count(), 0) << name;
        EXPECT_TRUE(zip.Names().empty()) << name;
    }
}

TEST(Zip, ExtractFile_CorruptOrEncryptedMember_GivesNothing) {
    TempDir dir;
    auto members = StationMembers();
    ASSERT_TRUE(WriteZip(dir / "good.zip", members));
    std::string bytes = *LoadText(dir / "good.zip");

    // Flip bytes inside the logo's compressed data: the CRC check must catch it.
    size_t logoHeader = bytes.find("station_ico.png");
    ASSERT_NE(logoHeader, std::string::npos);
    std::string corrupt = bytes;
    for (size_t i = logoHeader + 40; i < logoHeader + 60; ++i) {
        corrupt[i] = char(~corrupt[i]);
    }
    ASSERT_TRUE(SaveBytes(dir / "corrupt.zip", corrupt));

    // Mark every member encrypted (bit 0 of the flags in local and central headers).
    std::string encrypted = bytes;
    for (size_t at = 0; (at = encrypted.find("PK\x03\x04", at)) != std::string::npos; ++at) {
        encrypted[at + 6] = char(encrypted[at + 6] | 1);
    }
    for (size_t at = 0; (at = encrypted.find("PK\x01\x02", at)) != std::string::npos; ++at) {
        encrypted[at + 8] = char(encrypted[at + 8] | 1);
    }
    ASSERT_TRUE(SaveBytes(dir / "encrypted.zip", encrypted));

    // The logo's data intact, its CRC (local header at 14, central at 16) wrong in both
    // headers: it inflates cleanly, and only the CRC check can refuse it.
    std::string badCrc = bytes;
    const size_t local = bytes.rfind("PK\x03\x04", logoHeader);
    const size_t central = bytes.rfind("PK\x01\x02", bytes.rfind("station_ico.png"));
    ASSERT_NE(local, std::string::npos);
    ASSERT_NE(central, std::string::npos);
    badCrc[local + 14] = char(badCrc[local + 14] ^ 1);
    badCrc[central + 16] = char(badCrc[central + 16] ^ 1);
    ASSERT_TRUE(SaveBytes(dir / "crc.zip", badCrc));

    ZipReader zip;
    ASSERT_TRUE(zip.Open(dir / "corrupt.zip"));
    EXPECT_EQ(zip.ExtractFile("station_ico.png"), std::nullopt);
    EXPECT_EQ(zip.ExtractFile("station_id.txt"), members[0].data); // the others still read
    ASSERT_TRUE(zip.Open(dir / "encrypted.zip"));
    EXPECT_EQ(zip.ExtractFile("station_id.txt"), std::nullopt);
    ASSERT_TRUE(zip.Open(dir / "crc.zip"));
    EXPECT_FALSE(zip.ExtractFile("station_ico.png").has_value()) << "read despite a wrong CRC";
    EXPECT_EQ(zip.ExtractFile("station_id.txt"), members[0].data);
}

TEST(Zip, ExtractFile_PastItsBound_Unreadable) {
    TempDir dir;
    const std::string full(kZipTextLimit, 'a');
    ASSERT_TRUE(WriteZip(dir / "b.zip", {{"at.txt", full, 0}, {"past.txt", full + "a", 0}}));
    ZipReader zip;
    ASSERT_TRUE(zip.Open(dir / "b.zip"));
    EXPECT_EQ(zip.ExtractFile("at.txt"), full);
    EXPECT_EQ(zip.ExtractFile("past.txt"), std::nullopt);
    EXPECT_EQ(zip.ExtractFile("past.txt", false, kZipTextLimit + 1), full + "a");
    EXPECT_EQ(zip.ExtractFile("at.txt", false, 10), std::nullopt);
}

// Small archives are read whole into memory, large ones from the file; a reader goes
// from one kind to the other.
TEST(Zip, Reader_ReusedAcrossSmallAndLargeArchives_ReadsTheCurrentOne) {
    TempDir dir;
    std::string noise(size_t(ZipReader::kMaxInMemory) + 4096, '\0');
    uint32_t seed = 12345;
    for (char &c : noise)
        c = char((seed = seed * 1103515245u + 12345u) >> 24);
    ASSERT_TRUE(WriteZip(dir / "a.zip", {{"x", "from a", 0}}));
    ASSERT_TRUE(WriteZip(dir / "b.zip", {{"x", "from b", 0}, {"y", "", 0}}));
    ASSERT_TRUE(WriteZip(dir / "big.zip", {{"logo", noise, 0}, {"x", "from big", 0}}));
    ASSERT_GT(FileSize(dir / "big.zip"), ZipReader::kMaxInMemory);
    ZipReader zip;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(zip.Open(dir / "a.zip"));
        EXPECT_EQ(zip.ExtractFile("x"), "from a");
        ASSERT_TRUE(zip.Open(dir / "big.zip"));
        EXPECT_EQ(zip.ExtractFile("x"), "from big");
        EXPECT_EQ(zip.ExtractFile("logo", false, kZipImageLimit), noise);
        ASSERT_TRUE(zip.Open(dir / "b.zip"));
        EXPECT_EQ(zip.ExtractFile("X"), "from b");
        EXPECT_EQ(zip.Count(), 2);
    }
    EXPECT_FALSE(zip.Open(dir / "none.zip"));
    EXPECT_EQ(zip.ExtractFile("x"), std::nullopt); // the old archive was closed
}

TEST(Zip, WriteZip_Failures_LeaveNoFile) {
    TempDir dir;
    EXPECT_FALSE(WriteZip(dir / "no/such/dir/a.zip", {{"x", "y", 0}}));
    ASSERT_TRUE(CreateDir(dir / "busy"));
    ASSERT_TRUE(SaveBytes(dir / "busy/keep", "k"));
    EXPECT_FALSE(WriteZip(dir / "busy", {{"x", "y", 0}}));
    EXPECT_EQ(ReadDirectory(dir.path()), std::vector<std::string>{"busy"});
}

} // namespace
} // namespace hvn
