#pragma once
// A look at a ZIP archive's central directory before a member is inflated into memory.
#include <cstdint>
#include <string>

namespace hvn {

// True when every member of the archive at `path` named `member` (ASCII case ignored)
// declares at most `limit` uncompressed bytes, or there is no such member. False when the
// central directory cannot be read or a matching member is larger. Blocks on the file.
bool ZipMemberWithin(const std::string &path, const std::string &member, int64_t limit);

} // namespace hvn
