#pragma once
// The options page's handlers: each setting changes at once and is written to "hvn.ini"
// only at shutdown.
#include "events/event.h"
#include "gui/gui.h"

namespace hvn {

// Runs the handler of an options gadget (or the page's close button) for the event.
// Returns false when the source is none of them. Main thread; the colour requesters
// block until the user answers.
bool HandleOptionsEvent(const Event &event, Gadget *source);

} // namespace hvn
