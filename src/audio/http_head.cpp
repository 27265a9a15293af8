#include "audio/http_head.h"

#include <algorithm>
#include <cctype>
#include <charconv>

extern "C" {
#include <libavutil/base64.h>
}

#include "audio/fmod.h"
#include "audio/icy_metadata.h"

namespace hvn {
namespace {

bool starts_with_nocase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), s.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

std::optional<int> parse_int(std::string_view s) {
    int value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end == s.data())
        return std::nullopt;
    return value;
}

// Header lines as "name: value\n", the form icy_header() reads.
std::string header_lines(std::string_view head) {
    std::string out;
    size_t eol = head.find('\n');
    if (eol == std::string_view::npos)
        return out;
    head.remove_prefix(eol + 1); // the status line
    for (char c : head)
        if (c != '\r')
            out += c;
    return out;
}

} // namespace

std::optional<StreamUrl> parse_stream_url(std::string_view url) {
    StreamUrl out;
    if (starts_with_nocase(url, "http://")) {
        url.remove_prefix(7);
    } else if (starts_with_nocase(url, "https://")) {
        url.remove_prefix(8);
        out.tls = true;
        out.port = 443;
    } else {
        return std::nullopt;
    }
    size_t end = url.find_first_of("/?#");
    std::string_view authority = url.substr(0, end);
    std::string_view rest = end == std::string_view::npos ? "" : url.substr(end);
    rest = rest.substr(0, rest.find('#'));
    out.target = rest.empty() || rest.front() != '/' ? "/" + std::string(rest) : std::string(rest);
    if (size_t at = authority.rfind('@'); at != std::string_view::npos) {
        out.userinfo = authority.substr(0, at);
        authority.remove_prefix(at + 1);
    }
    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') { // IPv6 literal
        size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        out.host = authority.substr(1, close - 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after.front() == ':')
            portText = after.substr(1);
    } else {
        size_t colon = authority.find(':');
        out.host = authority.substr(0, colon);
        if (colon != std::string_view::npos)
            portText = authority.substr(colon + 1);
    }
    if (!portText.empty()) {
        auto port = parse_int(portText);
        if (!port || *port < 1 || *port > 65535)
            return std::nullopt;
        out.port = *port;
    }
    if (out.host.empty())
        return std::nullopt;
    return out;
}

std::string resolve_location(const StreamUrl &base, std::string_view location) {
    if (location.find("://") != std::string_view::npos)
        return std::string(location);
    std::string origin =
        std::string(base.tls ? "https://" : "http://") +
        (base.host.find(':') != std::string::npos ? "[" + base.host + "]" : base.host) + ":" +
        std::to_string(base.port);
    if (location.substr(0, 2) == "//")
        return std::string(base.tls ? "https:" : "http:") + std::string(location);
    if (!location.empty() && location.front() == '/')
        return origin + std::string(location);
    std::string dir = base.target.substr(0, base.target.rfind('/') + 1);
    return origin + dir + std::string(location);
}

std::string build_request(const StreamUrl &url) {
    std::string host = url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
    if (url.port != (url.tls ? 443 : 80))
        host += ":" + std::to_string(url.port);
    std::string request = "GET " + url.target + " HTTP/1.0\r\nHost: " + host +
                          "\r\nUser-Agent: Halvane\r\nAccept: */*\r\nIcy-MetaData: 1\r\n";
    if (!url.userinfo.empty()) {
        std::string encoded(AV_BASE64_SIZE(url.userinfo.size()), '\0');
        av_base64_encode(encoded.data(), static_cast<int>(encoded.size()),
                         reinterpret_cast<const uint8_t *>(url.userinfo.data()),
                         static_cast<int>(url.userinfo.size()));
        encoded.resize(encoded.find('\0'));
        request += "Authorization: Basic " + encoded + "\r\n";
    }
    return request + "Connection: close\r\n\r\n";
}

std::optional<HttpHead> parse_http_head(std::string_view head) {
    std::string_view status = head.substr(0, head.find_first_of("\r\n"));
    if (!starts_with_nocase(status, "HTTP/") && !starts_with_nocase(status, "ICY "))
        return std::nullopt;
    size_t space = status.find(' ');
    if (space == std::string_view::npos)
        return std::nullopt;
    std::string_view code = status.substr(space + 1);
    code = code.substr(0, code.find(' '));
    auto value = parse_int(code);
    if (!value || *value < 100 || *value > 999)
        return std::nullopt;
    HttpHead out;
    out.status = *value;
    const std::string lines = header_lines(head);
    out.location = icy_header(lines, "location").value_or("");
    out.bitrate = icy_header(lines, "icy-br");
    // The media type alone, in lower case: "Audio/MPEG; charset=x" is "audio/mpeg".
    std::string type = icy_header(lines, "content-type").value_or("");
    type = type.substr(0, type.find(';'));
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t'))
        type.pop_back();
    for (char &ch : type)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    out.contentType = type;
    if (auto metaint = icy_header(lines, "icy-metaint")) {
        auto n = parse_int(*metaint);
        if (n && *n > 0)
            out.metaint = static_cast<size_t>(*n);
    }
    return out;
}

int http_status_result(int status) {
    if (status >= 200 && status < 300)
        return FMOD_OK;
    if (status == 404)
        return FMOD_ERR_HTTP_NOT_FOUND;
    if (status == 401 || status == 403)
        return FMOD_ERR_HTTP_ACCESS;
    return FMOD_ERR_HTTP;
}

} // namespace hvn
