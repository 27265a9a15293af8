#pragma once
// File-system helpers over POSIX.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hvn {

enum class FileKind { None = 0, File = 1, Dir = 2 };

// Entry names in the order the system returns them, without "." and ".."; nullopt when
// the directory cannot be opened.
std::optional<std::vector<std::string>> ReadDirectory(const std::string &path);
FileKind FileType(const std::string &path);
// Size in bytes; -1 when the file does not exist.
int64_t FileSize(const std::string &path);
// Modification time in seconds since the epoch; 0 when the file does not exist.
int64_t FileTime(const std::string &path);
// True when both paths name one existing file (links followed).
bool SameFile(const std::string &a, const std::string &b);
bool CreateDir(const std::string &path); // not recursive
bool DeleteFile(const std::string &path);
// Removes a directory (with everything in it when recursive; links inside are removed,
// not followed). False when `path` is not a directory (a link to one included) or
// something could not be removed.
bool DeleteDir(const std::string &path, bool recursive);
bool CopyFile(const std::string &from, const std::string &to);
bool RenameFile(const std::string &from, const std::string &to);
std::string CurrentDir();
bool ChangeDir(const std::string &path);
// The directory holding the running executable (from /proc/PID/exe); "" when unknown.
std::string ExecutableDir();

} // namespace hvn
