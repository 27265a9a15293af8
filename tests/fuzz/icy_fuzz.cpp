// An ICY stream body with its metadata blocks, and the icy-* response headers. The first
// two bytes give metaint, the third the size of the pieces the body arrives in.
#include "audio/icy_metadata.h"
#include "fuzz_support.h"
#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3)
        return 0;
    const size_t metaint = size_t(data[0]) | size_t(data[1]) << 8;
    const size_t piece = size_t(data[2]) + 1;
    const std::string body = fuzz::Bytes(data + 3, size - 3);
    hvn::IcySplitter splitter(metaint);
    std::string sound;
    std::vector<std::string> blocks;
    for (size_t at = 0; at < body.size(); at += piece) {
        const size_t n = std::min(piece, body.size() - at);
        splitter.feed(reinterpret_cast<const uint8_t *>(body.data() + at), n, sound, blocks);
    }
    for (const std::string &block : blocks) {
        if (auto title = hvn::icy_stream_title(block))
            (void)hvn::split_stream_title(*title);
    }
    (void)hvn::icy_header(body, "icy-br");
    (void)hvn::icy_header(body, "icy-name");
    return 0;
}
