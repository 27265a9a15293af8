#include "core/fs.h"

#include "core/text_file.h"
#include "temp_dir.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hvn {
namespace {

using test::TempDir;

// The order readdir gives, which ReadDirectory must keep.
std::vector<std::string> SystemOrder(const std::string &path) {
    std::vector<std::string> names;
    DIR *dir = ::opendir(path.c_str());
    while (dirent *e = ::readdir(dir)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") {
            names.push_back(n);
        }
    }
    ::closedir(dir);
    return names;
}

TEST(Fs, ReadDirectory_ManyEntries_SystemOrderWithoutDots) {
    TempDir dir;
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(SaveBytes(dir / ("s" + std::to_string(i * 7919 % 97) + ".hvn"), "x"));
    }
    ASSERT_TRUE(CreateDir(dir / "sub"));
    auto names = ReadDirectory(dir.path());
    ASSERT_TRUE(names);
    EXPECT_EQ(names->size(), 41u);
    EXPECT_EQ(*names, SystemOrder(dir.path()));
    EXPECT_EQ(std::count(names->begin(), names->end(), "."), 0);
    EXPECT_EQ(ReadDirectory(dir / "missing"), std::nullopt);
    EXPECT_EQ(ReadDirectory(dir / "s0.hvn"), std::nullopt);
}

TEST(Fs, TypeSizeTime_FileDirAndMissing_Reported) {
    TempDir dir;
    ASSERT_TRUE(SaveBytes(dir / "f", std::string(1234, 'x')));
    ASSERT_TRUE(CreateDir(dir / "d"));
    timespec times[2] = {{1000000000, 0}, {1234567890, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "f").c_str(), times, 0), 0);

    EXPECT_EQ(FileType(dir / "f"), FileKind::File);
    EXPECT_EQ(FileType(dir / "d"), FileKind::Dir);
    EXPECT_EQ(FileType(dir / "none"), FileKind::None);
    EXPECT_EQ(FileSize(dir / "f"), 1234);
    EXPECT_EQ(FileSize(dir / "none"), -1);
    EXPECT_EQ(FileTime(dir / "f"), 1234567890);
    EXPECT_EQ(FileTime(dir / "none"), 0);
}

TEST(Fs, CreateAndDelete_ExistingOrMissing_ReportFailure) {
    TempDir dir;
    EXPECT_TRUE(CreateDir(dir / "db"));
    EXPECT_FALSE(CreateDir(dir / "db"));
    EXPECT_FALSE(CreateDir(dir / "a/b")); // not recursive
    EXPECT_FALSE(DeleteFile(dir / "none"));
    EXPECT_FALSE(DeleteDir(dir / "none", true));
    ASSERT_TRUE(SaveBytes(dir / "db/x.db", "1"));
    EXPECT_FALSE(DeleteDir(dir / "db", false)); // not empty
    EXPECT_TRUE(DeleteFile(dir / "db/x.db"));
    EXPECT_TRUE(DeleteDir(dir / "db", false));
}

TEST(Fs, DeleteDir_RecursiveWithLink_RemovesTreeButNotLinkTarget) {
    TempDir dir;
    ASSERT_TRUE(CreateDir(dir / "keep"));
    ASSERT_TRUE(SaveBytes(dir / "keep/precious", "p"));
    ASSERT_TRUE(CreateDir(dir / "tree"));
    ASSERT_TRUE(CreateDir(dir / "tree/sub"));
    ASSERT_TRUE(SaveBytes(dir / "tree/sub/f", "f"));
    ASSERT_EQ(::symlink((dir / "keep").c_str(), (dir / "tree/link").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "keep").c_str(), (dir / "alias").c_str()), 0);
    EXPECT_FALSE(DeleteDir(dir / "alias", true));
    EXPECT_TRUE(DeleteDir(dir / "tree", true));
    EXPECT_EQ(FileType(dir / "tree"), FileKind::None);
    EXPECT_EQ(LoadText(dir / "keep/precious"), "p");
}

TEST(Fs, CopyAndRename_Files_MoveBytes) {
    TempDir dir;
    std::string bytes(200000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = char(i * 31);
    }
    ASSERT_TRUE(SaveBytes(dir / "a", bytes));
    EXPECT_TRUE(CopyFile(dir / "a", dir / "b"));
    EXPECT_EQ(LoadText(dir / "b"), LoadText(dir / "a"));
    EXPECT_FALSE(CopyFile(dir / "none", dir / "c"));
    EXPECT_EQ(FileType(dir / "c"), FileKind::None);
    EXPECT_TRUE(RenameFile(dir / "b", dir / "c"));
    EXPECT_EQ(FileType(dir / "b"), FileKind::None);
    EXPECT_EQ(FileSize(dir / "c"), 200000);
    EXPECT_FALSE(RenameFile(dir / "b", dir / "d"));
}

TEST(Fs, Dirs_ChangeAndExecutable_Reported) {
    TempDir dir;
    std::string before = CurrentDir();
    ASSERT_TRUE(ChangeDir(dir.path()));
    EXPECT_EQ(CurrentDir(), dir.path());
    EXPECT_FALSE(ChangeDir(dir / "none"));
    ASSERT_TRUE(ChangeDir(before));
    std::string exeDir = ExecutableDir();
    EXPECT_EQ(FileType(exeDir + "/core_tests"), FileKind::File) << exeDir;
}

} // namespace
} // namespace hvn
