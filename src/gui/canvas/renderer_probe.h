#pragma once
// Internal to the canvas code: whether GL on this display is drawn by hardware.

namespace hvn {

// Asks a short-lived child process, on a connection of its own, for the GL renderer, so
// that a software renderer (Mesa's llvmpipe, softpipe, swrast) or an indirect context is
// never loaded into this process. False also when GL does not answer within 3 seconds.
// Needs the display open (fl_display). Main thread; blocks until the child answers.
bool GlRendererIsHardware();

} // namespace hvn
