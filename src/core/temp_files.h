#pragma once
// Temporary files that become real files by a rename. They live in a folder of their
// own, ".hvn-tmp" inside the target's directory: no station key or typed name (neither
// may hold "/") can point into it, and a rename from there stays on the same file system.
#include "core/posix_io.h"

#include <string>

namespace hvn {

// The name of the temporary folder inside every directory the program writes to.
inline constexpr const char TempFolderName[] = ".hvn-tmp";

// Creates and opens a new empty file in dir's temporary folder (made when missing);
// `path` receives its name. An invalid fd (path "") when the directory refuses it.
UniqueFd CreateTempFile(const std::string &dir, std::string &path);
// The same, for writers that open the file again by name (the file is closed).
std::string ReserveTempFile(const std::string &dir);
// Removes a temporary file that was not renamed, and the folder when it is left empty.
// errno stays as the failure that made the caller discard it left it.
void DiscardTempFile(const std::string &path);
// Drops the folder of a temporary file that was renamed away, when nothing else is in it.
// Keeps errno.
void ReleaseTempFolder(const std::string &path);

// True for a name the program's temporary files use or used (the folder above and the
// older names beside the targets): such a name is never taken as a station file name.
bool IsTempFileName(const std::string &name);

// Removes what a killed run left behind in the program directory (the working
// directory), db/, stations/ and creator/: the temporary folders' files and the older
// temporary names. Nothing else is touched, other dot files included.
void RemoveTempLeftovers();

} // namespace hvn
