// Files imported into the station creator: .pls, .m3u, .asx, and any text file with
// "http://" lines. The first byte picks the file name's extension.
#include "fuzz_support.h"
#include "stationcreator/playlist_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    static const char *const kNames[] = {"fuzz.pls", "fuzz.m3u", "fuzz.m3u8", "fuzz.asx",
                                         "fuzz.txt"};
    fuzz::EnterScratchDir();
    const std::string path = kNames[data[0] % 5];
    fuzz::WriteFile(path, data + 1, size - 1);
    int urlCount = 0;
    hvn::CreatorImport import = hvn::ImportCreatorFile(path, urlCount);
    (void)import;
    return 0;
}
