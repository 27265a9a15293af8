#pragma once
// Shared by the fuzz targets: a scratch working directory of the process's own, since the
// program reads its files relative to the working directory.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzz {

// Enters a fresh directory under $TMPDIR once per process; later calls do nothing.
inline void EnterScratchDir() {
    static bool entered = [] {
        const char *tmp = std::getenv("TMPDIR");
        std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/hvn-fuzz-XXXXXX";
        if (!mkdtemp(dir.data()) || chdir(dir.c_str()) != 0)
            std::abort();
        return true;
    }();
    (void)entered;
}

inline void WriteFile(const std::string &path, const uint8_t *data, size_t size) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
}

inline std::string Bytes(const uint8_t *data, size_t size) {
    return std::string(reinterpret_cast<const char *>(data), size);
}

} // namespace fuzz
