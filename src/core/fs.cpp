#include "core/fs.h"

#include "core/posix_io.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace hvn {

namespace {

struct DirCloser {
    void operator()(DIR *dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

} // namespace

std::optional<std::vector<std::string>> ReadDirectory(const std::string &path) {
    UniqueDir dir(::opendir(path.c_str()));
    if (!dir) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (dirent *entry = ::readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(std::move(name));
        }
    }
    return names;
}

FileKind FileType(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return FileKind::None;
    }
    if (S_ISDIR(st.st_mode)) {
        return FileKind::Dir;
    }
    return FileKind::File;
}

bool SameFile(const std::string &a, const std::string &b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

int64_t FileSize(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return -1;
    }
    return int64_t(st.st_size);
}

int64_t FileTime(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return 0;
    }
    return int64_t(st.st_mtime);
}

bool CreateDir(const std::string &path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool DeleteFile(const std::string &path) {
    return ::unlink(path.c_str()) == 0;
}

bool DeleteDir(const std::string &path, bool recursive) {
    struct stat self {};
    // A link is not a directory of ours: emptying it would delete its target's files.
    if (::lstat(path.c_str(), &self) != 0 || !S_ISDIR(self.st_mode)) {
        return false;
    }
    if (recursive) {
        auto names = ReadDirectory(path);
        if (!names) {
            return false;
        }
        for (const std::string &name : *names) {
            std::string child = path + "/" + name;
            struct stat st {};
            // lstat: a link to a directory is removed, never followed.
            if (::lstat(child.c_str(), &st) != 0) {
                return false;
            }
            bool removed =
                S_ISDIR(st.st_mode) ? DeleteDir(child, true) : ::unlink(child.c_str()) == 0;
            if (!removed) {
                return false;
            }
        }
    }
    return ::rmdir(path.c_str()) == 0;
}

bool CopyFile(const std::string &from, const std::string &to) {
    UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) {
        return false;
    }
    UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!out) {
        return false;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        if (!WriteAll(out.get(), buffer, size_t(n))) {
            return false;
        }
    }
    return out.Close();
}

bool RenameFile(const std::string &from, const std::string &to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

std::string CurrentDir() {
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer)) {
        return "";
    }
    return buffer;
}

bool ChangeDir(const std::string &path) {
    return ::chdir(path.c_str()) == 0;
}

std::string ExecutableDir() {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%i/exe", int(::getpid()));
    char target[PATH_MAX];
    ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0) {
        return "";
    }
    std::string path(target, size_t(n));
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return "";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace hvn
