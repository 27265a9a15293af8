#include "core/failure_report.h"

#include <unistd.h>

#include <cstring>
#include <string>

namespace hvn {

void ReportFailure(std::string_view what, std::string_view why) {
    std::string line = "halvane: ";
    line.append(what).append(": ").append(why).append("\n");
    // One write(2): a line of another thread cannot land inside this one.
    [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
}

void ReportErrno(std::string_view what, int err) {
    // Some failures (a library's own check) leave no error number behind.
    ReportFailure(what, err != 0 ? std::strerror(err) : "unknown cause");
}

} // namespace hvn
