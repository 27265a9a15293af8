#include "core/text_file.h"

#include "core/posix_io.h"
#include "core/strings.h"
#include "core/temp_files.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hvn {

namespace {

std::string DecodeUtf16(const std::string &bytes, bool bigEndian) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    // Starts after the mark; an odd last byte has no partner and is dropped.
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        units.push_back(static_cast<char16_t>((hi << 8) | lo));
    }
    return Utf16ToUtf8(units);
}

} // namespace

std::string DecodeText(const std::string &bytes) {
    auto b = [&](size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0; };
    if (b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) {
        return bytes.substr(3);
    }
    if (bytes.size() >= 2 && b(0) == 0xFF && b(1) == 0xFE) {
        return DecodeUtf16(bytes, false);
    }
    if (bytes.size() >= 2 && b(0) == 0xFE && b(1) == 0xFF) {
        return DecodeUtf16(bytes, true);
    }
    return bytes;
}

std::optional<std::string> LoadText(const std::string &path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        return std::nullopt;
    }
    std::string bytes;
    if (!ReadAll(fd.get(), bytes)) {
        return std::nullopt;
    }
    return DecodeText(bytes);
}

bool SaveBytes(const std::string &path, const std::string &bytes) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd || !WriteAll(fd.get(), bytes.data(), bytes.size())) {
        return false;
    }
    return fd.Close();
}

namespace {

enum class Saved { Yes, No, NoTempFile };

Saved SaveThroughTempFile(const std::string &path, const std::string &bytes) {
    std::string temp;
    UniqueFd fd = CreateTempFile(DirectoryOf(path), temp);
    if (!fd) {
        const bool refused = errno == EACCES || errno == EPERM || errno == EROFS;
        return refused ? Saved::NoTempFile : Saved::No;
    }
    bool ok = ::fchmod(fd.get(), ModeFor(path)) == 0 &&
              WriteAll(fd.get(), bytes.data(), bytes.size()) && ::fsync(fd.get()) == 0;
    ok = fd.Close() && ok;
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        DiscardTempFile(temp);
        return Saved::No;
    }
    ReleaseTempFolder(temp);
    return Saved::Yes;
}

// Overwrites the file's own bytes: no new directory entry is needed.
bool SaveInPlace(const std::string &path, const std::string &bytes) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!fd || !WriteAll(fd.get(), bytes.data(), bytes.size()) ||
        ::ftruncate(fd.get(), off_t(bytes.size())) != 0 || ::fsync(fd.get()) != 0) {
        return false;
    }
    return fd.Close();
}

bool WriteProtected(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    // The mode bits count even for a user the system would let write anyway.
    return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

bool IsLink(const std::string &path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

bool SaveBytesAtomic(const std::string &path, const std::string &bytes) {
    return SaveThroughTempFile(path, bytes) == Saved::Yes;
}

bool SaveUserFile(const std::string &path, const std::string &bytes) {
    std::string target = path;
    if (IsLink(path)) {
        char *real = ::realpath(path.c_str(), nullptr);
        if (!real) {
            return SaveInPlace(path, bytes); // a dangling link: opening it creates its target
        }
        target = real;
        std::free(real);
    }
    if (WriteProtected(target)) {
        errno = EACCES;
        return false;
    }
    const Saved saved = SaveThroughTempFile(target, bytes);
    if (saved == Saved::NoTempFile) {
        return SaveInPlace(target, bytes);
    }
    return saved == Saved::Yes;
}

std::unique_ptr<TextFile> TextFile::Open(const std::string &path, Mode mode) {
    const char *how = mode == Mode::Read ? "rbe" : mode == Mode::ReadWrite ? "r+be" : "wbe";
    FILE *f = std::fopen(path.c_str(), how);
    if (!f) {
        return nullptr;
    }
    std::unique_ptr<TextFile> file(new TextFile());
    file->file_ = f;
    return file;
}

TextFile::~TextFile() {
    Close();
}

std::string TextFile::ReadLine() {
    std::string line;
    if (!file_) {
        return line;
    }
    for (int c; (c = std::getc(file_)) != EOF && c != '\n';) {
        if (c != '\r') {
            line.push_back(char(c));
        }
    }
    return line;
}

bool TextFile::Eof() const {
    if (!file_) {
        return true;
    }
    int c = std::getc(file_);
    if (c == EOF) {
        return true;
    }
    std::ungetc(c, file_);
    return false;
}

bool TextFile::WriteLine(const std::string &line) {
    if (!file_) {
        return false;
    }
    return std::fwrite(line.data(), 1, line.size(), file_) == line.size() &&
           std::fwrite("\r\n", 1, 2, file_) == 2;
}

void TextFile::Close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

std::vector<std::string> SplitLines(const std::string &text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
        } else if (c != '\r') {
            line.push_back(c);
        }
    }
    if (!text.empty() && text.back() != '\n') {
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace hvn
