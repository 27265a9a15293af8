#include "core/posix_io.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hvn {

bool UniqueFd::Close() {
    if (fd_ < 0) {
        return true;
    }
    // Linux releases the descriptor even when close() fails, so it is never retried.
    int rc = ::close(std::exchange(fd_, -1));
    return rc == 0 || errno == EINTR;
}

bool ReadAll(int fd, std::string &out) {
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        out.append(buffer, size_t(n));
    }
}

bool WriteAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

std::string DirectoryOf(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

// Read from /proc rather than by umask(): setting it, even for a moment, would change
// the mode of files other threads create meanwhile.
mode_t CurrentUmask() {
    UniqueFd fd(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
    std::string status;
    if (!fd || !ReadAll(fd.get(), status)) {
        return 022;
    }
    size_t at = status.find("\nUmask:");
    if (at == std::string::npos) {
        return 022;
    }
    return mode_t(std::strtoul(status.c_str() + at + 7, nullptr, 8));
}

} // namespace

mode_t ModeFor(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return st.st_mode & 07777;
    }
    return NewFileMode();
}

mode_t NewFileMode() {
    return 0666 & ~CurrentUmask();
}

} // namespace hvn
