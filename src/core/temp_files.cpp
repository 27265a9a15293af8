#include "core/temp_files.h"

#include "core/fs.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hvn {

namespace {

std::string FolderIn(const std::string &dir) {
    return dir + "/" + TempFolderName;
}

// Only a real directory of that name is used: a link could lead the files elsewhere.
bool EnsureFolder(const std::string &folder) {
    if (::mkdir(folder.c_str(), 0700) == 0) {
        return true;
    }
    struct stat st {};
    return errno == EEXIST && ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRandomPart(const std::string &text) {
    if (text.size() != 6) {
        return false;
    }
    for (char c : text) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

// prefix followed by the six characters mkstemp puts in place of "XXXXXX".
bool IsMkstempName(const std::string &name, std::string_view prefix) {
    return name.starts_with(prefix) && IsRandomPart(name.substr(prefix.size()));
}

// ".download-N.part": the download slots' names of earlier versions.
bool IsSlotName(const std::string &name) {
    constexpr std::string_view prefix = ".download-", suffix = ".part";
    if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix)) {
        return false;
    }
    const std::string digits =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    return digits.find_first_not_of("0123456789") == std::string::npos;
}

bool IsRegularFile(const std::string &path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void EmptyFolder(const std::string &dir) {
    const std::string folder = FolderIn(dir);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return;
    }
    for (const std::string &name : ReadDirectory(folder).value_or(std::vector<std::string>{})) {
        const std::string path = folder + "/" + name;
        if (IsRegularFile(path)) {
            ::unlink(path.c_str());
        }
    }
    ::rmdir(folder.c_str());
}

void RemoveMatching(const std::string &dir, bool (*matches)(const std::string &)) {
    for (const std::string &name : ReadDirectory(dir).value_or(std::vector<std::string>{})) {
        const std::string path = dir + "/" + name;
        if (matches(name) && IsRegularFile(path)) {
            ::unlink(path.c_str());
        }
    }
}

bool IsOldSaveName(const std::string &name) {
    return IsMkstempName(name, ".hvn-tmp-");
}
bool IsOldStationName(const std::string &name) {
    return IsMkstempName(name, ".hvn-zip-") || IsSlotName(name);
}
bool IsOldLogoName(const std::string &name) {
    return IsMkstempName(name, ".logo-");
}

} // namespace

UniqueFd CreateTempFile(const std::string &dir, std::string &path) {
    const std::string folder = FolderIn(dir);
    // Twice: another writer may remove the folder between its creation and our file.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!EnsureFolder(folder)) {
            break;
        }
        std::string name = folder + "/XXXXXX";
        UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
        if (fd) {
            path = std::move(name);
            return fd;
        }
        if (errno != ENOENT) {
            break;
        }
    }
    path.clear();
    return {};
}

std::string ReserveTempFile(const std::string &dir) {
    std::string path;
    CreateTempFile(dir, path);
    return path;
}

void DiscardTempFile(const std::string &path) {
    if (!path.empty()) {
        const int failure = errno;
        ::unlink(path.c_str());
        ReleaseTempFolder(path);
        errno = failure;
    }
}

void ReleaseTempFolder(const std::string &path) {
    if (!path.empty()) {
        const int failure = errno;
        ::rmdir(DirectoryOf(path).c_str()); // fails, as it should, while other files are in it
        errno = failure;
    }
}

bool IsTempFileName(const std::string &name) {
    return name == TempFolderName || IsOldSaveName(name) || IsOldStationName(name) ||
           IsOldLogoName(name);
}

void RemoveTempLeftovers() {
    for (const char *dir : {".", "db", "stations", "creator"}) {
        EmptyFolder(dir);
    }
    RemoveMatching(".", IsOldSaveName);
    RemoveMatching("db", IsOldSaveName);
    RemoveMatching("stations", IsOldStationName);
    RemoveMatching("creator", IsOldLogoName);
}

} // namespace hvn
