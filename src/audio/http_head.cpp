#include "audio/http_head.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <memory>

extern "C" {
#include <curl/curl.h>
#include <libavutil/base64.h>
}

#include "audio/fmod.h"
#include "audio/icy_metadata.h"
#include "core/strings.h"

namespace hvn {
namespace {

// Longest chunk-size or trailer line taken; real ones are a few bytes.
constexpr size_t kMaxChunkLine = 1024;

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

// The value of key in "key=value;key=value" (ice-audio-info), key without case.
std::optional<std::string> field_value(std::string_view fields, std::string_view key) {
    while (!fields.empty()) {
        const size_t end = fields.find(';');
        const std::string_view field = fields.substr(0, end);
        fields = end == std::string_view::npos ? std::string_view{} : fields.substr(end + 1);
        const size_t eq = field.find('=');
        if (eq != std::string_view::npos &&
            Lower(trim_blanks(field.substr(0, eq))) == key)
            return std::string(trim_blanks(field.substr(eq + 1)));
    }
    return std::nullopt;
}

struct UrlFree {
    void operator()(CURLU *url) const { curl_url_cleanup(url); }
};
using UrlPtr = std::unique_ptr<CURLU, UrlFree>;

constexpr unsigned kSetFlags = CURLU_URLENCODE;

// A URL or reference without the blanks and line ends around it, which belong to the text
// it came in; nullopt when it holds a zero byte, which curl would take as its end.
std::optional<std::string> url_text(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return std::string();
    text = text.substr(first, text.find_last_not_of(" \t\r\n") + 1 - first);
    if (text.find('\0') != std::string_view::npos)
        return std::nullopt;
    return std::string(text);
}

// url held by a curl URL handle; nullptr when curl cannot read it.
UrlPtr curl_parse(std::string_view url) {
    const auto text = url_text(url);
    UrlPtr handle(curl_url());
    if (!text || !handle || curl_url_set(handle.get(), CURLUPART_URL, text->c_str(), kSetFlags))
        return nullptr;
    return handle;
}

// One part of a parsed URL; nullopt when the URL has none.
std::optional<std::string> url_part(CURLU *url, CURLUPart part, unsigned flags = 0) {
    char *text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || !text)
        return std::nullopt;
    std::string out(text);
    curl_free(text);
    return out;
}

} // namespace

std::optional<StreamUrl> parse_stream_url(std::string_view text) {
    // An empty host is invalid in an HTTP URL (RFC 9110 4.2.1); curl reads "http:///x" as
    // the host "x".
    if (size_t at = text.find("://"); at != std::string_view::npos && text.substr(at + 3, 1) == "/")
        return std::nullopt;
    UrlPtr url = curl_parse(text);
    if (!url)
        return std::nullopt;
    StreamUrl out;
    const std::string scheme = url_part(url.get(), CURLUPART_SCHEME).value_or("");
    if (scheme != "http" && scheme != "https")
        return std::nullopt;
    out.tls = scheme == "https";
    out.host = url_part(url.get(), CURLUPART_HOST).value_or("");
    const auto port =
        parse_int(url_part(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT).value_or(""));
    if (out.host.empty() || !port || *port < 1)
        return std::nullopt;
    out.port = *port;
    out.target = url_part(url.get(), CURLUPART_PATH).value_or("/");
    if (auto query = url_part(url.get(), CURLUPART_QUERY))
        out.target += "?" + *query;
    if (auto user = url_part(url.get(), CURLUPART_USER, CURLU_URLDECODE)) {
        out.userinfo = *user;
        if (auto password = url_part(url.get(), CURLUPART_PASSWORD, CURLU_URLDECODE))
            out.userinfo += ":" + *password;
    }
    out.url = url_part(url.get(), CURLUPART_URL).value_or("");
    return out;
}

std::string resolve_location(const StreamUrl &base, std::string_view reference) {
    UrlPtr url = curl_parse(base.url);
    const auto text = url_text(reference);
    if (!url || !text)
        return "";
    CURLUcode rc;
    if (text->empty() || text->front() == '#') {
        // The base with the reference's fragment; curl 7.88 would drop its last segment.
        rc = curl_url_set(url.get(), CURLUPART_FRAGMENT,
                          text->empty() ? nullptr : text->c_str() + 1, kSetFlags);
    } else {
        rc = curl_url_set(url.get(), CURLUPART_URL, text->c_str(), kSetFlags);
    }
    if (rc != CURLUE_OK)
        return "";
    return url_part(url.get(), CURLUPART_URL).value_or("");
}

std::string build_request(const StreamUrl &url) {
    std::string host = url.host;
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

size_t http_head_size(std::string_view bytes) {
    // A line end is LF, with or without CR before it (RFC 7230 3.5).
    size_t end = 0;
    if (size_t at = bytes.find("\n\n"); at != std::string_view::npos)
        end = at + 2;
    if (size_t at = bytes.find("\n\r\n"); at != std::string_view::npos && (!end || at + 3 < end))
        end = at + 3;
    return end;
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
    // "128,128" from servers that list one bitrate per channel or per quality.
    if (auto br = icy_header(lines, "icy-br"))
        out.bitrate = std::string(trim_blanks(br->substr(0, br->find(','))));
    else if (auto info = icy_header(lines, "ice-audio-info")) {
        auto rate = field_value(*info, "ice-bitrate");
        out.bitrate = rate ? rate : field_value(*info, "bitrate");
    }
    // The media type alone, in lower case: "Audio/MPEG; charset=x" is "audio/mpeg".
    std::string type = icy_header(lines, "content-type").value_or("");
    out.contentType = Lower(trim_blanks(type.substr(0, type.find(';'))));
    out.chunked = Lower(icy_header(lines, "transfer-encoding").value_or("")).find("chunked") !=
                  std::string::npos;
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

bool Dechunker::end_size_line() {
    // "1a2b;name=value": the hex digits, then extensions, which say nothing we need.
    std::string_view line = trim_blanks(line_);
    uint64_t size = 0;
    auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), size, 16);
    const std::string_view rest = trim_blanks(line.substr(end - line.data()));
    line_.clear();
    if (ec != std::errc() || end == line.data() || (!rest.empty() && rest.front() != ';'))
        return false;
    left_ = size;
    state_ = size > 0 ? State::Data : State::Trailer;
    return true;
}

bool Dechunker::feed(const uint8_t *data, size_t size, std::string &out) {
    const char *p = reinterpret_cast<const char *>(data);
    const char *const end = p + size;
    while (p < end && state_ != State::Done && state_ != State::Broken) {
        switch (state_) {
        case State::Data: {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(left_, end - p));
            out.append(p, n);
            p += n;
            left_ -= n;
            if (left_ == 0)
                state_ = State::DataEnd;
            break;
        }
        case State::DataEnd: // CR LF or a bare LF
            if (*p == '\n')
                state_ = State::Size;
            else if (*p != '\r')
                state_ = State::Broken;
            ++p;
            break;
        default: { // a size or trailer line
            const char *eol = std::find(p, end, '\n');
            line_.append(p, eol);
            p = eol;
            if (line_.size() > kMaxChunkLine) {
                state_ = State::Broken;
            } else if (eol != end) {
                ++p;
                if (state_ == State::Size) {
                    if (!end_size_line())
                        state_ = State::Broken;
                } else if (trim_blanks(line_).empty()) {
                    state_ = State::Done; // the blank line after the trailers
                } else {
                    line_.clear();
                }
            }
        }
        }
    }
    return state_ != State::Broken;
}

} // namespace hvn
