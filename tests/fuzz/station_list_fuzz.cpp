// The update's "hvn_stationlist.txt" lines and "hvn_current.txt". The input is split at the
// first NUL: the list before it, the build text after it.
#include "core/strings.h"
#include "core/text_file.h"
#include "fuzz_support.h"
#include "update/update.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string input = fuzz::Bytes(data, size);
    const size_t cut = input.find('\0');
    const std::string list = hvn::DecodeText(input.substr(0, cut));
    for (const std::string &raw : hvn::Split(list, "\n")) {
        (void)hvn::LineKey(raw); // the deletion pass reads untrimmed keys
        if (auto entry = hvn::ParseStationListLine(raw)) {
            (void)hvn::ParseDecimal(entry->size);
            (void)hvn::SizeText(entry->size);
        }
    }
    if (cut != std::string::npos)
        (void)hvn::ParseBuildInfo(hvn::DecodeText(input.substr(cut + 1)));
    return 0;
}
