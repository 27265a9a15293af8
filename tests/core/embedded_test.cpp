#include "core/embedded.h"

#include "core/fs.h"
#include "core/text_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace hvn {
namespace {

TEST(Embedded, Register_SameNameTwice_FirstStays) {
    static const char first[] = "first";
    static const char second[] = "second copy";
    RegisterEmbeddedFile("./data/test_twice.bin", first, 5);
    RegisterEmbeddedFile("./data/test_twice.bin", second, 11);
    EXPECT_EQ(EmbeddedFile("Incbin::./data/test_twice.bin"), "first");
    EXPECT_EQ(EmbeddedFile("./data/test_twice.bin"), "first");
}

TEST(Embedded, Lookup_NamesAndStreams_ResolvedOrMissing) {
    static const char bytes[] = {'a', '\0', 'b'};
    RegisterEmbeddedFile("./data/test_nul.bin", bytes, 3);
    EXPECT_EQ(EmbeddedFile("Incbin::./data/test_nul.bin"), std::string("a\0b", 3));
    EXPECT_EQ(EmbeddedFile("Incbin::./data/TEST_NUL.BIN"), std::nullopt);
    EXPECT_EQ(EmbeddedFile("Incbin::./data/none.png"), std::nullopt);
    EXPECT_TRUE(IsEmbeddedName("Incbin::./data/x"));
    EXPECT_FALSE(IsEmbeddedName("./data/x"));

    EXPECT_EQ(ReadStream("Incbin::./data/test_nul.bin"), std::string("a\0b", 3));
    test::TempDir dir;
    ASSERT_TRUE(SaveBytes(dir / "f.bin", std::string("\xFF\xFE"
                                                     "x",
                                                     3)));
    EXPECT_EQ(ReadStream(dir / "f.bin"), std::string("\xFF\xFE"
                                                     "x",
                                                     3)); // bytes, no BOM rules
    EXPECT_EQ(ReadStream(dir / "none"), std::nullopt);
    EXPECT_EQ(ReadStream("Incbin::" + (dir / "f.bin")), std::nullopt);
}

TEST(Embedded, BuiltInResources_ResourceFolder_EveryFileWithItsBytes) {
    const std::string folder = std::string(HALVANE_SOURCE_DIR) + "/resources/data";
    std::vector<std::string> onDisk;
    for (const std::string &name : ReadDirectory(folder).value_or(std::vector<std::string>{})) {
        if (name[0] != '.' && FileType(folder + "/" + name) == FileKind::File) {
            onDisk.push_back(name);
        }
    }
    std::sort(onDisk.begin(), onDisk.end());
    std::vector<std::string> built;
    for (const EmbeddedBlob &blob : BuiltInResources()) {
        built.push_back(blob.name);
        // Compared without printing: a mismatch would dump the whole file.
        std::string bytes(reinterpret_cast<const char *>(blob.data), blob.size);
        EXPECT_TRUE(bytes == ReadStream(folder + "/" + blob.name))
            << blob.name << " differs from the file (stale build?)";
    }
    EXPECT_EQ(built, onDisk);
    if (!onDisk.empty()) {
        EXPECT_EQ(FindBuiltInResource(onDisk[0]), &BuiltInResources()[0]);
    }
    EXPECT_EQ(FindBuiltInResource("no such resource"), nullptr);
}

} // namespace
} // namespace hvn
