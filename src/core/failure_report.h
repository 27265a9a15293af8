#pragma once
// The one format in which every layer tells stderr why something failed, with the library's
// own text, so that a user can report it: "halvane: <what>: <why>". One line per failure,
// never per frame or per retry. Any thread; the line is written with one call, so lines of
// different threads never mix.
#include <string_view>

namespace hvn {

void ReportFailure(std::string_view what, std::string_view why);
// why is strerror(err).
void ReportErrno(std::string_view what, int err);

} // namespace hvn
