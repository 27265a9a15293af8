#pragma once
// ZIP archives over minizip. One reader may be reused for archive after archive.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hvn {

// Bounds of a member read, by what the member holds: a station description or another
// text, a logo or skin image, the update's station list (65536 lines of up to 256 bytes).
inline constexpr size_t kZipTextLimit = 64 * 1024;
inline constexpr size_t kZipImageLimit = 4 * 1024 * 1024;
inline constexpr size_t kZipListLimit = 65536 * 256;

class ZipReader {
public:
    ZipReader();
    ~ZipReader();
    ZipReader(const ZipReader &) = delete;
    ZipReader &operator=(const ZipReader &) = delete;

    // Closes any open archive first; false when the file is missing or not a ZIP. An
    // archive of up to kMaxInMemory bytes is read whole at once and parsed in memory.
    bool Open(const std::string &path);
    // The modification time (seconds) of the file the open archive was read from.
    int64_t FileTime() const { return fileTime_; }
    void Close();
    bool IsOpen() const;
    // A member's bytes; caseSensitive false looks the name up ignoring ASCII case.
    // nullopt when there is no such member or it cannot be read (corrupt, encrypted, or
    // more than maxBytes once inflated; the read stops at the bound).
    std::optional<std::string> ExtractFile(const std::string &name, bool caseSensitive = false,
                                           size_t maxBytes = kZipTextLimit);
    bool HasFile(const std::string &name, bool caseSensitive = false);
    int Count();
    std::vector<std::string> Names();

    static constexpr int64_t kMaxInMemory = 1 << 20;

private:
    struct Memory;
    void *zip_ = nullptr;
    std::unique_ptr<Memory> memory_; // the bytes of an archive read whole
    int64_t fileTime_ = 0;
};

struct ZipMember {
    std::string name;
    std::string data;
    int64_t time = 0; // modification time, seconds since the epoch (local time stamp)
};

// Writes a ZIP archive (deflate level 1, no password, no comment) with the members in
// order. False on failure; a failed write leaves no partial file at `path`.
bool WriteZip(const std::string &path, const std::vector<ZipMember> &members);

} // namespace hvn
