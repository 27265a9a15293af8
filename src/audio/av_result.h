#pragma once
// libavformat/libavcodec failures as the engine's result codes.

namespace hvn {

// An AVERROR from opening or reading a network stream as an FMOD_ERR_* code.
int net_result(int averror);

} // namespace hvn
