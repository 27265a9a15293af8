#pragma once
// Small POSIX helpers shared by the core layer's files.
#include <string>
#include <sys/types.h>
#include <utility>

namespace hvn {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Close(); }
    UniqueFd(UniqueFd &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept {
        if (this != &other) {
            Close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    // False when close() reported an error (a write that did not reach the file).
    bool Close();

private:
    int fd_ = -1;
};

// Reads from fd until end of file, appending to `out`; false on a read error.
bool ReadAll(int fd, std::string &out);
// Writes every byte, retrying short writes; false on an error.
bool WriteAll(int fd, const char *data, size_t size);
// The directory part of a path ("." when it has none), for temporary files beside it.
std::string DirectoryOf(const std::string &path);
// The permission bits a file replacing `path` gets: the old file's, else NewFileMode().
mode_t ModeFor(const std::string &path);
// What a new file gets from open(2): 0666 less the umask.
mode_t NewFileMode();

} // namespace hvn
