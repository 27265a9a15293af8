// What a server answers: a stream server's response head and where a redirect points. The
// input is a URL line, then the answer.
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
    return 0;
}
