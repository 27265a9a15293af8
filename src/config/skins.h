#pragma once
// Skins: the built-in one from the embedded images, others from "skins/*.skn".
#include "gui/pixmap.h"

namespace hvn {

extern IconStripPtr MuteIconStrip;
extern PixmapPtr ListAllPixmap;
extern PixmapPtr FavouritesPixmap;
extern PixmapPtr LoadBgPixmap;
extern PixmapPtr LoadPointPixmap;
extern PixmapPtr LoadRetryPixmap;
extern IconStripPtr SpectrumLeftStrip;
extern IconStripPtr SpectrumRightStrip;

void FillSkinList();
void ApplySelectedSkin();

} // namespace hvn
