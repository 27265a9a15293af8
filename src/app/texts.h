#pragma once
// Interface texts and label colours put onto the gadgets that already exist.
// Main thread only; both need BuildMainWindow to have run.

namespace hvn {

// Sets every caption, menu text and tooltip from the text tables as they are loaded now
// (the argument is not used) and rewrites the first items of the genre choosers.
// Returns 0.
int ApplyLanguageTexts(int language);
// Text colour of the fixed set of labels and check boxes; red -1 stands for the toolkit's
// own text colour. Returns 0.
int SetLabelColors(int red, int green, int blue);

} // namespace hvn
