// "hvn_translations.txt" beside the program, loaded for the language the first byte picks.
#include "config/translations.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    fuzz::EnterScratchDir();
    hvn::InitTranslationsModule();
    fuzz::WriteFile("hvn_translations.txt", data + 1, size - 1);
    hvn::ResetTranslations();
    hvn::LoadTranslations(static_cast<int>(data[0] % 20) - 1);
    for (int i = -1; i < 40; ++i)
        (void)hvn::Tr(hvn::TOOLTIP, i);
    return 0;
}
