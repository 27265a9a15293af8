#pragma once
// A small threaded HTTP server on a loopback address for the update tests: one thread
// accepts, one thread per connection answers from a table of paths. Every wait also
// watches a stop pipe, so Stop() ends stalled connections at once.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace hvn::test {

struct HttpResponse {
    int status = 200;
    std::string body;
    std::string location;     // sent as Location when not empty
    bool stall = false;       // read the request, then send nothing until Stop()
    size_t cutAfter = 0;      // > 0: announce the whole body, send this many bytes, close
    bool noHeaderEnd = false; // send a status line only, then close
    int delayMs = 0;          // wait this long before answering
    bool noLength = false;    // no Content-Length: the body ends when the connection does

    static HttpResponse Ok(std::string body) { return With(200, std::move(body)); }
    static HttpResponse With(int status, std::string body, std::string location = "") {
        HttpResponse r;
        r.status = status;
        r.body = std::move(body);
        r.location = std::move(location);
        return r;
    }
    static HttpResponse Stalled() {
        HttpResponse r;
        r.stall = true;
        return r;
    }
    static HttpResponse Cut(std::string body, size_t after) {
        HttpResponse r = Ok(std::move(body));
        r.cutAfter = after;
        return r;
    }
    static HttpResponse NoHeaderEnd() {
        HttpResponse r;
        r.noHeaderEnd = true;
        return r;
    }
};

class HttpTestServer {
public:
    ~HttpTestServer() { Stop(); }

    // Listens on address:port (port 0 picks one). False when the socket cannot be bound
    // (errno tells why).
    bool Start(const std::string &address, int port) {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(uint16_t(port));
        ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
        if (::bind(listen_, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0 ||
            ::listen(listen_, 64) != 0) {
            const int saved = errno;
            ::close(listen_);
            listen_ = -1;
            errno = saved;
            return false;
        }
        socklen_t len = sizeof sa;
        ::getsockname(listen_, reinterpret_cast<sockaddr *>(&sa), &len);
        port_ = ntohs(sa.sin_port);
        address_ = address;
        if (::pipe2(stopPipe_, O_CLOEXEC) != 0)
            return false;
        acceptor_ = std::thread([this] { AcceptLoop(); });
        return true;
    }

    void Stop() {
        if (listen_ < 0)
            return;
        ::close(stopPipe_[1]); // every poll on the read end wakes up
        acceptor_.join();
        for (auto &t : workers_)
            t.join();
        workers_.clear();
        ::close(stopPipe_[0]);
        ::close(listen_);
        listen_ = -1;
    }

    void Serve(const std::string &path, HttpResponse response) {
        std::lock_guard lock(mutex_);
        table_[path] = std::move(response);
    }

    // Request lines and Host headers seen, in arrival order.
    std::vector<std::string> Requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // The whole request heads, as they came.
    std::vector<std::string> Heads() {
        std::lock_guard lock(mutex_);
        return heads_;
    }
    std::vector<std::string> Paths() {
        std::vector<std::string> paths;
        for (const auto &r : Requests()) {
            const size_t a = r.find(' '), b = r.find(' ', a + 1);
            paths.push_back(r.substr(a + 1, b - a - 1));
        }
        return paths;
    }

    // The most requests read and not yet answered at one time: the transfers the client
    // held open at once. A request stops counting before its answer is sent, so a client
    // that starts the next transfer once an answer arrived is never counted twice.
    int MaxInFlight() {
        std::lock_guard lock(mutex_);
        return maxInFlight_;
    }

    int port() const { return port_; }
    const std::string &address() const { return address_; }

private:
    // True when fd is ready; false when the server stops first.
    bool WaitReadable(int fd) {
        pollfd p[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        for (;;) {
            const int rc = ::poll(p, 2, -1);
            if (rc < 0 && errno == EINTR)
                continue;
            return rc > 0 && !(p[1].revents & (POLLIN | POLLHUP)) && (p[0].revents != 0);
        }
    }

    void AcceptLoop() {
        while (WaitReadable(listen_)) {
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                workers_.emplace_back([this, fd] { Answer(fd); });
        }
    }

    void SendAll(int fd, const std::string &data) {
        size_t sent = 0;
        while (sent < data.size()) {
            const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += size_t(n);
        }
    }

    void Answer(int fd) {
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(fd)) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            request.append(buf, size_t(n));
        }
        const std::string line = request.substr(0, request.find("\r\n"));
        HttpResponse response = HttpResponse::With(404, "not here");
        {
            std::lock_guard lock(mutex_);
            heads_.push_back(request);
            const size_t host = request.find("Host: ");
            requests_.push_back(
                line + (host == std::string::npos
                            ? ""
                            : " | " + request.substr(host, request.find("\r\n", host) - host)));
            const size_t a = line.find(' '), b = line.find(' ', a + 1);
            const auto it = table_.find(line.substr(a + 1, b - a - 1));
            if (it != table_.end())
                response = it->second;
            maxInFlight_ = std::max(maxInFlight_, ++inFlight_);
        }
        if (response.delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(response.delayMs));
        {
            std::lock_guard lock(mutex_);
            --inFlight_;
        }
        Respond(fd, response);
        ::close(fd);
    }

    void Respond(int fd, const HttpResponse &r) {
        if (r.stall) {
            WaitReadable(stopPipe_[0]);
            return;
        }
        std::string head = "HTTP/1.0 " + std::to_string(r.status) + " X\r\n";
        if (r.noHeaderEnd) {
            SendAll(fd, head);
            return;
        }
        if (!r.noLength)
            head += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
        if (!r.location.empty())
            head += "Location: " + r.location + "\r\n";
        SendAll(fd, head + "\r\n");
        SendAll(fd, r.cutAfter > 0 ? r.body.substr(0, r.cutAfter) : r.body);
    }

    int listen_ = -1;
    int port_ = 0;
    std::string address_;
    int stopPipe_[2] = {-1, -1};
    std::thread acceptor_;
    std::vector<std::thread> workers_; // touched by the acceptor thread, then by Stop
    std::mutex mutex_;
    std::map<std::string, HttpResponse> table_;
    std::vector<std::string> requests_;
    std::vector<std::string> heads_;
    int inFlight_ = 0;
    int maxInFlight_ = 0;
};

// A loopback address of its own (127.x.y.z): port 80 there is free for this process, and
// nothing listens on it otherwise.
inline std::string RandomLoopbackAddress() {
    std::random_device rd;
    std::uniform_int_distribution<int> part(1, 254);
    return "127." + std::to_string(part(rd)) + "." + std::to_string(part(rd)) + "." +
           std::to_string(part(rd));
}

} // namespace hvn::test
