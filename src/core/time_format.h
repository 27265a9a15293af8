#pragma once
#include <cstdint>
#include <string>

namespace hvn {

// Local time formatted with a strftime pattern into a 256-byte buffer; the bytes up to
// the first NUL.
std::string FormatTime(int64_t secondsSinceEpoch, const std::string &pattern);
int64_t CurrentTime();

} // namespace hvn
