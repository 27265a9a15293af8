// DownloadToFile: the one blocking HTTP/1.0 fetch of the station-list archive, through a
// libcurl easy handle.
#include "core/fs.h"
#include "core/text_file.h"
#include "update/curl_handles.h"
#include "update/update.h"

#include <curl/curl.h>

#include <cstdio>
#include <string_view>

namespace hvn {
namespace {

// A short count ends the transfer: the archive may not grow past its limit, even when
// the server announced no length.
size_t AppendToBody(char *data, size_t size, size_t count, void *user) {
    auto *body = static_cast<std::string *>(user);
    const size_t bytes = size * count;
    if (int64_t(body->size() + bytes) > kMaxArchiveBytes)
        return 0;
    body->append(data, bytes);
    return bytes;
}

// libcurl takes a response that ends inside its head as an empty body; only the empty
// line after the headers shows that they ended.
size_t NoteHeadEnd(char *data, size_t size, size_t count, void *user) {
    const std::string_view line(data, size * count);
    if (line == "\r\n" || line == "\n")
        *static_cast<bool *>(user) = true;
    return size * count;
}

struct HeaderListDeleter {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};

} // namespace

std::optional<std::string> FetchUrl(const std::string &url) {
    CurlEasyHandle handle(curl_easy_init());
    // The request is the request line and Host alone; an empty value drops the header.
    const std::unique_ptr<curl_slist, HeaderListDeleter> headers(
        curl_slist_append(nullptr, "Accept:"));
    if (!handle || !headers)
        return std::nullopt;
    CURL *easy = handle.get();
    std::string body;
    bool headEnded = false;
    char error[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());
    // One deadline for the name lookup (in libcurl's resolver thread), the connection and
    // the body: a server that trickles gets no more time than one that stays silent.
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, long(kFetchDeadlineMs));
    // A lookup still hanging at the deadline is left to finish in the background; by
    // default the handle's cleanup would wait for it.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(kMaxArchiveBytes));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, AppendToBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, NoteHeadEnd);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &headEnded);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
    // SIGPIPE is ignored by the whole program; libcurl need not set it around every call.
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    const CURLcode rc = curl_easy_perform(easy);
    if (rc != CURLE_OK || !headEnded) {
        std::fprintf(stderr, "halvane: station list %s: %s\n", url.c_str(),
                     rc != CURLE_OK ? (error[0] ? error : curl_easy_strerror(rc))
                                    : "the response ended inside its head");
        return std::nullopt;
    }
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
