#include "update/zip_member_size.h"

#include "core/strings.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace hvn {
namespace {

struct ArchiveFileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};

uint32_t Le(const unsigned char *p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

bool ReadAt(FILE *f, long offset, std::vector<unsigned char> &out, size_t size) {
    out.resize(size);
    return std::fseek(f, offset, SEEK_SET) == 0 && std::fread(out.data(), 1, size, f) == size;
}

struct Directory {
    uint32_t offset = 0, size = 0;
};

// The end-of-central-directory record lies in the last 22 + 65535 bytes.
bool FindDirectory(FILE *f, Directory &dir) {
    if (std::fseek(f, 0, SEEK_END) != 0)
        return false;
    const long fileSize = std::ftell(f);
    const long tail = std::min<long>(fileSize, 22 + 65535);
    std::vector<unsigned char> buf;
    if (tail < 22 || !ReadAt(f, fileSize - tail, buf, size_t(tail)))
        return false;
    for (long i = tail - 22; i >= 0; --i) {
        const unsigned char *p = buf.data() + i;
        if (Le(p, 4) == 0x06054b50) {
            dir.size = Le(p + 12, 4);
            dir.offset = Le(p + 16, 4);
            return long(dir.offset) + long(dir.size) <= fileSize;
        }
    }
    return false;
}

} // namespace

bool ZipMemberWithin(const std::string &path, const std::string &member, int64_t limit) {
    std::unique_ptr<FILE, ArchiveFileCloser> f(std::fopen(path.c_str(), "rb"));
    Directory dir;
    std::vector<unsigned char> cd;
    if (!f || !FindDirectory(f.get(), dir) || !ReadAt(f.get(), long(dir.offset), cd, dir.size))
        return false;
    const std::string wanted = Lower(member);
    size_t pos = 0;
    while (pos + 46 <= cd.size() && Le(&cd[pos], 4) == 0x02014b50) {
        const unsigned char *p = &cd[pos];
        const uint32_t size = Le(p + 24, 4);
        const size_t nameLength = Le(p + 28, 2);
        const size_t next = pos + 46 + nameLength + Le(p + 30, 2) + Le(p + 32, 2);
        if (next > cd.size())
            return false;
        const std::string name(reinterpret_cast<const char *>(p + 46), nameLength);
        // 0xFFFFFFFF means the real size is in a ZIP64 field: far beyond any list.
        if (Lower(name) == wanted && (size == 0xFFFFFFFFu || int64_t(size) > limit))
            return false;
        pos = next;
    }
    return true;
}

} // namespace hvn
