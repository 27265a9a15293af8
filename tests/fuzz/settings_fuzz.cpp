// hvn.ini as the program reads it at start-up and writes it back at shutdown.
#include "config/settings.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::EnterScratchDir();
    fuzz::WriteFile("hvn.ini", data, size);
    hvn::LoadSettings();
    hvn::SaveSettings();
    return 0;
}
