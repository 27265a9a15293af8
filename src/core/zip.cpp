#include "core/zip.h"

#include "core/posix_io.h"
#include "core/temp_files.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>
#include <zip.h>

namespace hvn {

namespace {

unzFile Handle(void *zip) {
    return static_cast<unzFile>(zip);
}

// minizip: 1 compares names exactly, 2 ignoring ASCII case.
int CaseMode(bool caseSensitive) {
    return caseSensitive ? 1 : 2;
}

// Encrypted members are never read: no password is known for them.
constexpr uLong kEncryptedFlag = 1;
// A member's stated size is only a hint for the first allocation; a forged header must
// not make us reserve gigabytes up front.
constexpr uint64_t kMaxReserve = 1u << 20;

// The header's size is checked first, but a forged header may state less than the
// stream inflates to: the bound is checked again on every piece read.
std::optional<std::string> ReadCurrentMember(unzFile zip, size_t maxBytes) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        (info.flag & kEncryptedFlag) != 0 || info.uncompressed_size > maxBytes) {
        return std::nullopt;
    }
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
        return std::nullopt;
    }
    std::string data;
    data.reserve(size_t(std::min<uint64_t>(info.uncompressed_size, kMaxReserve)));
    char buffer[65536];
    int n;
    while ((n = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) {
        if (size_t(n) > maxBytes - data.size()) {
            unzCloseCurrentFile(zip);
            return std::nullopt;
        }
        data.append(buffer, size_t(n));
    }
    // Closing checks the CRC once the whole member was read.
    int closed = unzCloseCurrentFile(zip);
    if (n < 0 || closed != UNZ_OK) {
        return std::nullopt;
    }
    return data;
}

struct ZipWriterCloser {
    void operator()(void *zip) const { zipClose(static_cast<zipFile>(zip), nullptr); }
};

tm_zip ZipTime(int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    tm_zip out{0, 0, 0, 1, 0, 1980};
    // DOS time stamps start in 1980; earlier times are written as its first day.
    if (::localtime_r(&t, &local) && local.tm_year >= 80) {
        out.tm_sec = uInt(local.tm_sec);
        out.tm_min = uInt(local.tm_min);
        out.tm_hour = uInt(local.tm_hour);
        out.tm_mday = uInt(local.tm_mday);
        out.tm_mon = uInt(local.tm_mon);
        out.tm_year = uInt(local.tm_year + 1900);
    }
    return out;
}

bool WriteMember(zipFile zip, const ZipMember &member) {
    zip_fileinfo info{};
    info.tmz_date = ZipTime(member.time);
    int zip64 = member.data.size() >= 0xffffffffu ? 1 : 0;
    if (zipOpenNewFileInZip64(zip, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                              Z_DEFLATED, 1, zip64) != ZIP_OK) {
        return false;
    }
    bool ok = true;
    // zipWriteInFileInZip takes an unsigned length: write in pieces.
    constexpr size_t kPiece = 1u << 30;
    for (size_t done = 0; ok && done < member.data.size(); done += kPiece) {
        size_t len = std::min(kPiece, member.data.size() - done);
        ok = zipWriteInFileInZip(zip, member.data.data() + done, unsigned(len)) == ZIP_OK;
    }
    return zipCloseFileInZip(zip) == ZIP_OK && ok;
}

bool SyncFile(const std::string &path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return fd && ::fsync(fd.get()) == 0;
}

} // namespace

// An archive read whole, served to minizip through its I/O hooks: one read of the file
// instead of a seek and a read for every header, which made seeks most of the cost of
// loading a large catalogue.
struct ZipReader::Memory {
    std::string bytes;
    uint64_t pos = 0;

    static voidpf Open(voidpf opaque, const void *, int) { return opaque; }
    static uLong Read(voidpf, voidpf stream, void *buf, uLong size) {
        auto *m = static_cast<Memory *>(stream);
        const uint64_t left = m->pos < m->bytes.size() ? m->bytes.size() - m->pos : 0;
        const uLong n = uLong(std::min<uint64_t>(size, left));
        std::memcpy(buf, m->bytes.data() + m->pos, n);
        m->pos += n;
        return n;
    }
    static uLong Write(voidpf, voidpf, const void *, uLong) { return 0; }
    static ZPOS64_T Tell(voidpf, voidpf stream) { return static_cast<Memory *>(stream)->pos; }
    static long Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
        auto *m = static_cast<Memory *>(stream);
        const uint64_t base = origin == ZLIB_FILEFUNC_SEEK_CUR   ? m->pos
                              : origin == ZLIB_FILEFUNC_SEEK_END ? m->bytes.size()
                                                                 : 0;
        if (offset > m->bytes.size() - std::min<uint64_t>(base, m->bytes.size()))
            return -1;
        m->pos = base + offset;
        return 0;
    }
    static int Close(voidpf, voidpf) { return 0; }
    static int Error(voidpf, voidpf) { return 0; }
};

ZipReader::ZipReader() = default;

ZipReader::~ZipReader() {
    Close();
}

bool ZipReader::Open(const std::string &path) {
    Close();
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    fileTime_ = int64_t(st.st_mtime);
    if (st.st_size > kMaxInMemory) {
        zip_ = unzOpen64(path.c_str());
        return zip_ != nullptr;
    }
    // One read asking for a byte more than the size: a shorter answer is the whole file,
    // without a second read to find its end.
    auto memory = std::make_unique<Memory>();
    const size_t size = size_t(st.st_size);
    memory->bytes.resize(size + 1);
    const ssize_t n = ::read(fd.get(), memory->bytes.data(), size + 1);
    memory->bytes.resize(n > 0 ? size_t(n) : 0);
    if ((n < 0 || size_t(n) > size) && !ReadAll(fd.get(), memory->bytes))
        return false;
    zlib_filefunc64_def io{&Memory::Open,  &Memory::Read,  &Memory::Write, &Memory::Tell,
                           &Memory::Seek,  &Memory::Close, &Memory::Error, memory.get()};
    zip_ = unzOpen2_64(path.c_str(), &io);
    if (zip_)
        memory_ = std::move(memory);
    return zip_ != nullptr;
}

void ZipReader::Close() {
    if (zip_) {
        unzClose(Handle(zip_));
        zip_ = nullptr;
    }
    memory_.reset();
}

bool ZipReader::IsOpen() const {
    return zip_ != nullptr;
}

std::optional<std::string> ZipReader::ExtractFile(const std::string &name, bool caseSensitive,
                                                  size_t maxBytes) {
    if (!zip_ || unzLocateFile(Handle(zip_), name.c_str(), CaseMode(caseSensitive)) != UNZ_OK) {
        return std::nullopt;
    }
    return ReadCurrentMember(Handle(zip_), maxBytes);
}

bool ZipReader::HasFile(const std::string &name, bool caseSensitive) {
    return zip_ && unzLocateFile(Handle(zip_), name.c_str(), CaseMode(caseSensitive)) == UNZ_OK;
}

int ZipReader::Count() {
    unz_global_info64 info{};
    if (!zip_ || unzGetGlobalInfo64(Handle(zip_), &info) != UNZ_OK) {
        return 0;
    }
    return int(info.number_entry);
}

std::vector<std::string> ZipReader::Names() {
    std::vector<std::string> names;
    if (!zip_) {
        return names;
    }
    unzFile zip = Handle(zip_);
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        // minizip leaves a name that fills the buffer unterminated: ask for its length
        // first and give it room for the NUL.
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            break;
        }
        std::string name(info.size_filename + 1, '\0');
        if (unzGetCurrentFileInfo64(zip, &info, name.data(), uLong(name.size()), nullptr, 0,
                                    nullptr, 0) != UNZ_OK) {
            break;
        }
        name.resize(info.size_filename);
        names.push_back(std::move(name));
    }
    return names;
}

bool WriteZip(const std::string &path, const std::vector<ZipMember> &members) {
    // minizip opens the file again by name.
    const std::string temp = ReserveTempFile(DirectoryOf(path));
    if (temp.empty()) {
        return false;
    }
    bool ok = true;
    {
        std::unique_ptr<void, ZipWriterCloser> zip(zipOpen64(temp.c_str(), APPEND_STATUS_CREATE));
        ok = zip != nullptr;
        for (size_t i = 0; ok && i < members.size(); ++i) {
            ok = WriteMember(static_cast<zipFile>(zip.get()), members[i]);
        }
        if (zip) {
            ok = zipClose(static_cast<zipFile>(zip.release()), nullptr) == ZIP_OK && ok;
        }
    }
    ok = ok && ::chmod(temp.c_str(), ModeFor(path)) == 0 && SyncFile(temp) &&
         ::rename(temp.c_str(), path.c_str()) == 0;
    if (ok) {
        ReleaseTempFolder(temp);
    } else {
        DiscardTempFile(temp);
    }
    return ok;
}

} // namespace hvn
