// DownloadToFile: the one blocking HTTP/1.0 fetch of the station-list archive.
#include "core/fs.h"
#include "core/posix_io.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "update/update.h"

#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>

namespace hvn {
namespace {

struct AddrInfoDeleter {
    void operator()(addrinfo *info) const { freeaddrinfo(info); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoDeleter>;

struct HostAndPath {
    std::string host; // as it stands in the address, a port included
    std::string path;
};

using Clock = std::chrono::steady_clock;

// The whole fetch shares one deadline: a server that trickles its answer gets no more
// time than one that stays silent.
class Deadline {
public:
    explicit Deadline(int ms) : end_(Clock::now() + std::chrono::milliseconds(ms)) {}
    int LeftMs() const {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end_ - Clock::now()).count();
        return left > 0 ? int(left) : 0;
    }

private:
    Clock::time_point end_;
};

// "http://" selects plain HTTP; nothing else can be fetched.
std::optional<HostAndPath> SplitUrl(const std::string &url) {
    constexpr std::string_view scheme = "http://";
    if (url.compare(0, scheme.size(), scheme) != 0)
        return std::nullopt;
    const std::string rest = url.substr(scheme.size());
    const size_t slash = rest.find('/');
    if (slash == std::string::npos)
        return HostAndPath{rest, "/"};
    return HostAndPath{rest.substr(0, slash), rest.substr(slash)};
}

bool WaitFor(int fd, short events, const Deadline &deadline) {
    pollfd p{fd, events, 0};
    int rc;
    do {
        const int left = deadline.LeftMs();
        if (left == 0)
            return false;
        rc = ::poll(&p, 1, left);
    } while (rc < 0 && errno == EINTR);
    return rc > 0;
}

// A non-blocking connect, so a dead server cannot freeze the window for long.
UniqueFd ConnectTo(const addrinfo &addr, const Deadline &deadline) {
    UniqueFd fd(::socket(addr.ai_family, addr.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                         addr.ai_protocol));
    if (!fd)
        return {};
    if (::connect(fd.get(), addr.ai_addr, addr.ai_addrlen) == 0)
        return fd;
    if (errno != EINPROGRESS || !WaitFor(fd.get(), POLLOUT, deadline))
        return {};
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0)
        return {};
    return fd;
}

struct HostAndPort {
    std::string name;
    std::string port = "80";
};

// "name", "name:port", "[v6 address]" or "[v6 address]:port"; nullopt for a port that
// is not a number from 1 to 65535.
std::optional<HostAndPort> SplitHost(const std::string &host) {
    HostAndPort out;
    std::string rest;
    if (!host.empty() && host.front() == '[') {
        const size_t close = host.find(']');
        if (close == std::string::npos)
            return std::nullopt;
        out.name = host.substr(1, close - 1);
        rest = host.substr(close + 1);
    } else {
        const size_t colon = host.find(':');
        out.name = host.substr(0, colon);
        rest = colon == std::string::npos ? "" : host.substr(colon);
    }
    if (rest.empty())
        return out;
    const std::string port = rest.substr(1);
    if (rest[0] != ':' || port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos ||
        ParseDecimal(port) < 1 || ParseDecimal(port) > 65535)
        return std::nullopt;
    out.port = port;
    return out;
}

UniqueFd ConnectToHost(const std::string &host, const Deadline &deadline) {
    const auto parts = SplitHost(host);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (!parts || parts->name.empty() ||
        ::getaddrinfo(parts->name.c_str(), parts->port.c_str(), &hints, &found) != 0)
        return {};
    AddrInfoList list(found);
    for (const addrinfo *a = list.get(); a; a = a->ai_next) {
        if (UniqueFd fd = ConnectTo(*a, deadline))
            return fd;
    }
    return {};
}

bool SendAll(int fd, const std::string &data, const Deadline &deadline) {
    size_t sent = 0;
    while (sent < data.size()) {
        if (!WaitFor(fd, POLLOUT, deadline))
            return false;
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

// Everything until the server closes; nullopt on an error, at the deadline, or past the
// archive limit (plus room for the headers).
std::optional<std::string> ReceiveAll(int fd, const Deadline &deadline) {
    constexpr int64_t limit = kMaxArchiveBytes + 64 * 1024;
    std::string data;
    char buffer[65536];
    for (;;) {
        if (!WaitFor(fd, POLLIN, deadline))
            return std::nullopt;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return data;
        if (int64_t(data.size()) + n > limit)
            return std::nullopt;
        data.append(buffer, size_t(n));
    }
}

// The announced body length, -1 when the header line is not a Content-Length.
int64_t ContentLength(const std::string &line) {
    constexpr std::string_view name = "content-length:";
    if (Lower(Left(line, name.size())) != name)
        return -1;
    const std::string value = Trim(line.substr(name.size()));
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return ParseDecimal(value);
}

} // namespace

std::optional<std::string> ResponseBody(const std::string &response) {
    size_t pos = 0;
    int64_t announced = -1;
    while (pos < response.size()) {
        const size_t lf = response.find('\n', pos);
        if (lf == std::string::npos)
            return std::nullopt;
        std::string line = response.substr(pos, lf - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        pos = lf + 1;
        if (line.empty()) {
            if (announced >= 0 && int64_t(response.size() - pos) < announced)
                return std::nullopt;
            return response.substr(pos);
        }
        if (const int64_t length = ContentLength(line); length >= 0)
            announced = length;
    }
    return std::nullopt;
}

std::optional<std::string> FetchUrl(const std::string &url) {
    const Deadline deadline(kFetchDeadlineMs);
    const auto parts = SplitUrl(url);
    if (!parts)
        return std::nullopt;
    UniqueFd fd = ConnectToHost(parts->host, deadline);
    if (!fd)
        return std::nullopt;
    const std::string request =
        "GET " + parts->path + " HTTP/1.0\r\nHost: " + parts->host + "\r\n\r\n";
    if (!SendAll(fd.get(), request, deadline))
        return std::nullopt;
    const auto response = ReceiveAll(fd.get(), deadline);
    if (!response)
        return std::nullopt;
    auto body = ResponseBody(*response);
    if (!body || int64_t(body->size()) > kMaxArchiveBytes)
        return std::nullopt;
    return body;
}

int DownloadToFile(const std::string &url, const std::string &fileName) {
    const auto body = FetchUrl(url);
    if (!body)
        return -1;
    SaveBytesAtomic(CurrentDir() + "/" + fileName, *body);
    return 1;
}

} // namespace hvn
