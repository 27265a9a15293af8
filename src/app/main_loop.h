#pragma once
// The main event loop: one wait per pass, a first dispatch by event kind, a second by
// source gadget, and the audio system's update. Main thread only.
#include "events/event.h"
#include "gui/gui.h"

namespace hvn {

extern Gadget *HoverGadget; // last gadget focused because the mouse entered it
extern int VolumeDragging;
extern int VolumeDragStartX;
extern int CategoryIndex;

// Emit hook (priority 0): drops the toolkit's paint events of SpectrumCanvas, which only
// the 30 Hz frame draws. False means dropped.
bool SpectrumPaintFilterHook(Event &event);

// Both dispatch passes and the audio update for one event (no waiting).
void DispatchEvent(const Event &event);
// Waits for the next event and dispatches it. May end the program (window close,
// terminate, exit menu item).
void RunMainLoopPass();
// Never returns; the program ends through ShutdownApplication.
[[noreturn]] void RunMainLoop();

// Select the next / previous station-list item and play it; nothing at the list's ends.
int PlayNextStation();
int PlayPreviousStation();

} // namespace hvn
