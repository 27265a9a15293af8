// A skin's "hvn_spec.txt" spectrum colours.
#include "config/skins.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    hvn::ReadSpectrumPalette(fuzz::Bytes(data, size));
    return 0;
}
