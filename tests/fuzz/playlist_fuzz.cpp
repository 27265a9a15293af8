// Files imported into the station creator: .pls, .m3u, .asx, and any text file with
// URL lines. The first byte picks the file name's extension.
#include "fuzz_support.h"
#include "stationcreator/playlist_import.h"

#include <cstdlib>

namespace {

bool Blank(char c) { return static_cast<unsigned char>(c) < 33; }

// What every imported URL is, whatever the file held.
void CheckUrls(const hvn::CreatorImport &import, hvn::CreatorFileKind kind) {
    for (const std::string &url : import.urls) {
        // Trimmed, and never spanning lines.
        if (!url.empty() && (Blank(url.front()) || Blank(url.back())))
            std::abort();
        if (url.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
            std::abort();
        // An .asx ref without href adds nothing.
        if (kind == hvn::CreatorFileKind::Asx && url.empty() && !import.failed)
            std::abort();
        // Lines taken by the fall-back hold a stream URL.
        if ((kind == hvn::CreatorFileKind::M3u || kind == hvn::CreatorFileKind::Unknown) &&
            url.find("http://") == std::string::npos && url.find("https://") == std::string::npos)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    static const char *const kNames[] = {"fuzz.pls", "fuzz.m3u", "fuzz.m3u8", "fuzz.asx",
                                         "fuzz.txt"};
    fuzz::EnterScratchDir();
    const std::string path = kNames[data[0] % 5];
    fuzz::WriteFile(path, data + 1, size - 1);
    int urlCount = 0;
    const hvn::CreatorImport import = hvn::ImportCreatorFile(path, urlCount);
    CheckUrls(import, hvn::DetectCreatorFileKind(path));
    return 0;
}
