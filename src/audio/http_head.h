#pragma once
// The little of HTTP the network thread needs: stream URLs, the response head of a server
// (HTTP/1.x or SHOUTcast's "ICY 200 OK") and where a redirect points.
#include <optional>
#include <string>
#include <string_view>

namespace hvn {

struct StreamUrl {
    bool tls = false; // https
    std::string host;
    int port = 80;
    std::string target;   // path and query, at least "/"
    std::string userinfo; // "user:password" before the host, for basic authentication
};

// http:// and https:// URLs only (no local files, no other protocols); nullopt otherwise.
std::optional<StreamUrl> parse_stream_url(std::string_view url);

// A Location header taken against the URL that answered with it.
std::string resolve_location(const StreamUrl &base, std::string_view location);

// The request for url, asking for in-band ICY metadata. HTTP/1.0, so the body comes neither
// chunked nor kept alive.
std::string build_request(const StreamUrl &url);

struct HttpHead {
    int status = 0;
    std::string location;
    // Sound bytes between two metadata blocks; 0 when the server sends none.
    size_t metaint = 0;
    std::optional<std::string> bitrate; // icy-br
    std::string contentType;            // the media type in lower case, "" when not sent
};

// head: everything up to and including the blank line. nullopt when it is not an HTTP
// response at all.
std::optional<HttpHead> parse_http_head(std::string_view head);

// The engine's result for a final (non-redirect) status: FMOD_OK for 2xx.
int http_status_result(int status);

} // namespace hvn
