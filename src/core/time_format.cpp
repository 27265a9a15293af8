#include "core/time_format.h"

#include <ctime>

namespace hvn {

std::string FormatTime(int64_t secondsSinceEpoch, const std::string &pattern) {
    std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    // localtime_r need not read TZ itself.
    static const bool zoneRead = (::tzset(), true);
    (void)zoneRead;
    std::tm local{};
    if (!::localtime_r(&t, &local)) {
        return "";
    }
    char buffer[256];
    // strftime leaves the buffer undefined when the result does not fit: start empty.
    buffer[0] = '\0';
    size_t n = std::strftime(buffer, sizeof buffer, pattern.c_str(), &local);
    return std::string(buffer, n);
}

int64_t CurrentTime() {
    return int64_t(std::time(nullptr));
}

} // namespace hvn
