// Station logos and skin images: PNG, JPEG and BMP, as a picture and as an icon strip.
#include "fuzz_support.h"
#include "gui/pixmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string bytes = fuzz::Bytes(data, size);
    if (hvn::PixmapPtr pixmap = hvn::LoadPixmapFromMemory(bytes))
        (void)hvn::ResizePixmap(pixmap, 48, 48);
    if (hvn::IconStripPtr strip = hvn::LoadIconStripFromMemory(bytes))
        (void)hvn::IconStripIcon(strip, strip->count - 1);
    return 0;
}
