// What a server answers: a stream server's response head, where a redirect points and a
// chunked body. The input is a URL line, then the answer.
#include "audio/http_head.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string input = fuzz::Bytes(data, size);
    const size_t eol = input.find('\n');
    const std::string url = input.substr(0, eol);
    const std::string head = eol == std::string::npos ? "" : input.substr(eol + 1);
    auto base = hvn::parse_stream_url(url);
    if (base)
        (void)hvn::build_request(*base);
    if (auto parsed = hvn::parse_http_head(head)) {
        (void)hvn::http_status_result(parsed->status);
        if (base && !parsed->location.empty()) {
            const std::string next = hvn::resolve_location(*base, parsed->location);
            if (auto target = hvn::parse_stream_url(next))
                (void)hvn::build_request(*target);
        }
    }
    // The body after the head, de-chunked in pieces as the network reads it.
    const std::string_view answer(head);
    if (const size_t size = hvn::http_head_size(answer)) {
        auto parsed = hvn::parse_http_head(answer.substr(0, size));
        hvn::Dechunker chunks;
        std::string out;
        const std::string_view body = answer.substr(size);
        for (size_t at = 0; parsed && parsed->chunked && at < body.size(); at += 7)
            if (!chunks.feed(reinterpret_cast<const uint8_t *>(body.data() + at),
                             std::min<size_t>(7, body.size() - at), out))
                break;
    }
    return 0;
}
