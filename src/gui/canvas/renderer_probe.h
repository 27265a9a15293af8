#pragma once
// Internal to the canvas code: whether GL on this display is drawn by hardware.

namespace hvn {

// Starts asking a short-lived child process, on an X connection of its own, for the GL
// renderer, so that a software renderer (Mesa's llvmpipe, softpipe, swrast) or an
// indirect context is never loaded into this process; not needed when the X server
// offers no way to hardware GL. Needs the display open (fl_display). Main thread; once.
void StartGlRendererProbe();
// The probe's answer (started here when it was not): false for software GL, no GL, or no
// answer within 3 seconds of the start. Main thread; blocks until the child answers.
bool GlRendererIsHardware();

} // namespace hvn
