#pragma once
// The event record and the event kinds every part of the program shares.
#include <optional>
#include <string>

namespace hvn {

enum EventKind : int {
    AppSuspend = 0x101,
    AppResume = 0x102,
    AppTerminate = 0x103,
    KeyDown = 0x201,
    KeyUp = 0x202,
    KeyChar = 0x203,
    MouseDown = 0x401,
    MouseUp = 0x402,
    MouseMove = 0x403,
    MouseWheel = 0x404,
    MouseEnter = 0x405,
    MouseLeave = 0x406,
    TimerTick = 0x801,
    GadgetAction = 0x2001,
    GadgetPaint = 0x2002,
    GadgetSelect = 0x2003,
    GadgetMenu = 0x2004,
    GadgetOpen = 0x2005,
    GadgetClose = 0x2006,
    GadgetDone = 0x2007,
    GadgetLostFocus = 0x2008,
    WindowMove = 0x4001,
    WindowSize = 0x4002,
    WindowClose = 0x4003,
    WindowActivate = 0x4004,
    WindowAccept = 0x4005,
    MenuAction = 0x8001,
};

// One event. `source` is compared by identity only: a gadget, a timer, or null.
// Mouse events carry the button (1 left, 2 right, 3 middle) or the wheel steps in
// `data` and the position relative to the source in x, y; `extra` is the dropped
// file's path for WindowAccept and empty otherwise.
struct Event {
    int id = 0;
    const void *source = nullptr;
    int data = 0;
    int mods = 0;
    int x = 0;
    int y = 0;
    std::optional<std::string> extra;
};

} // namespace hvn
