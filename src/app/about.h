#pragma once
// The about page's version text and the credits page, built on its first showing.
#include <string>

namespace hvn {

extern int CreditsLineCount;

// Nibbles of v from the lowest up, in decimal, with points after the second and fourth
// digit from the right: 0x44418 gives "4.44.18", 0 gives "".
std::string FormatPackedVersion(unsigned v);
// A label at line `line` of the credits list: kind 0 a contributor line, 1 a heading.
// Main thread; at most 50 calls per run.
int AddCreditsLine(const std::string &text, int kind, int line);
// Builds the credits list once; later calls do nothing. Main thread.
int BuildCreditsPage();

} // namespace hvn
