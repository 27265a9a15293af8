#pragma once
// The little of HTTP the network thread needs: stream URLs (split and resolved by libcurl's
// URL API), the response head of a server (HTTP/1.x or SHOUTcast's "ICY 200 OK"), where a
// redirect points, and chunked bodies.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hvn {

struct StreamUrl {
    std::string url;  // the whole URL, normalised
    bool tls = false; // https
    std::string host; // as written in URLs: an IPv6 literal keeps its brackets
    int port = 80;
    std::string target;   // path and query, at least "/"
    std::string userinfo; // "user:password" before the host, decoded, for basic authentication
};

// http:// and https:// URLs only (no local files, no other protocols); nullopt otherwise.
// Blanks and other bytes a request line cannot carry are percent-encoded.
std::optional<StreamUrl> parse_stream_url(std::string_view url);

// A reference (a Location header, a playlist entry) resolved against the URL it came from,
// as RFC 3986 5.2 says; "" when it is no URL at all.
std::string resolve_location(const StreamUrl &base, std::string_view reference);

// The request for url, asking for in-band ICY metadata. HTTP/1.0, so the body should come
// neither chunked nor kept alive (some servers chunk it all the same).
std::string build_request(const StreamUrl &url);

// The size of the head at the start of bytes, up to and including the blank line (CR LF or
// bare LF line ends); 0 while the blank line has not come.
size_t http_head_size(std::string_view bytes);

struct HttpHead {
    int status = 0;
    std::string location;
    // Sound bytes between two metadata blocks; 0 when the server sends none.
    size_t metaint = 0;
    // icy-br's first number, else the bitrate of ice-audio-info.
    std::optional<std::string> bitrate;
    std::string contentType; // the media type in lower case, "" when not sent
    bool chunked = false;    // Transfer-Encoding: chunked
};

// head: everything up to and including the blank line. nullopt when it is not an HTTP
// response at all.
std::optional<HttpHead> parse_http_head(std::string_view head);

// The engine's result for a final (non-redirect) status: FMOD_OK for 2xx.
int http_status_result(int status);

// Takes the framing off a chunked body (RFC 9112 7.1), in pieces split anywhere: chunk sizes
// with their extensions, the line ends after the data, the last chunk and its trailers.
class Dechunker {
public:
    // Appends the body's bytes in data to out; false once the framing is broken.
    bool feed(const uint8_t *data, size_t size, std::string &out);
    // The last chunk and the trailers have come: the body is complete.
    bool done() const { return state_ == State::Done; }

private:
    enum class State { Size, Data, DataEnd, Trailer, Done, Broken };
    bool end_size_line();

    State state_ = State::Size;
    std::string line_;  // the size or trailer line so far
    uint64_t left_ = 0; // data bytes of the current chunk still to come
};

} // namespace hvn
