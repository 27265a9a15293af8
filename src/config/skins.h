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

// Sets SpectrumColors from the bytes of a skin's "hvn_spec.txt"; false (nothing set)
// when the text is empty.
bool ReadSpectrumPalette(const std::string &bytes);
// Appends "hvn_default" and one item per "skins/NAME.skn..." entry to SkinComboBox and
// selects the item whose file name equals SkinName (else the built-in one). Main thread.
void FillSkinList();
// Loads the skin the chooser shows (embedded images, or the archive
// "skins/" + text + ".skn") onto the buttons, lamps and volume gadgets, sets
// SpectrumColors from "hvn_spec.txt" and SkinName. A missing archive leaves the buttons
// without pictures; nothing is reported. Main thread.
void ApplySelectedSkin();

} // namespace hvn
