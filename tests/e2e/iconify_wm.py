#!/usr/bin/env python3
"""The part of a window manager that iconifies and restores windows (ICCCM), for tests.

It owns WM_S<screen> and redirects the root window's map and configure requests: a window
mapped with the iconic initial state, or asked to iconify through WM_CHANGE_STATE, is kept
unmapped in the Iconic state; a map request for it (a task bar's restore, `xdotool
windowmap`) maps it again in the Normal state. No frames, no focus. Prints "ready" once it
manages the screen; runs until killed.

Usage: iconify_wm.py   (DISPLAY from the environment)
"""
import ctypes
import sys

MAP_REQUEST, CONFIGURE_REQUEST, CLIENT_MESSAGE = 20, 23, 33
SUBSTRUCTURE_NOTIFY, SUBSTRUCTURE_REDIRECT = 1 << 19, 1 << 20
NORMAL, ICONIC = 1, 3
STATE_HINT = 1 << 1
ulong, long_, int_, ptr = ctypes.c_ulong, ctypes.c_long, ctypes.c_int, ctypes.c_void_p


class MapRequest(ctypes.Structure):
    _fields_ = [("type", int_), ("serial", ulong), ("send_event", int_), ("display", ptr),
                ("parent", ulong), ("window", ulong)]


class ConfigureRequest(ctypes.Structure):
    _fields_ = MapRequest._fields_ + [
        ("x", int_), ("y", int_), ("width", int_), ("height", int_), ("border_width", int_),
        ("above", ulong), ("detail", int_), ("value_mask", ulong)]


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", int_), ("serial", ulong), ("send_event", int_), ("display", ptr),
                ("window", ulong), ("message_type", ulong), ("format", int_),
                ("data", long_ * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("type", int_), ("map", MapRequest), ("configure", ConfigureRequest),
                ("client", ClientMessage), ("pad", long_ * 24)]


class WindowChanges(ctypes.Structure):
    _fields_ = [("x", int_), ("y", int_), ("width", int_), ("height", int_),
                ("border_width", int_), ("sibling", ulong), ("stack_mode", int_)]


class WMHints(ctypes.Structure):
    _fields_ = [("flags", long_), ("input", int_), ("initial_state", int_)]


ERROR_HANDLER = ctypes.CFUNCTYPE(int_, ptr, ptr)
redirect_refused = []


def on_error(display, error):
    redirect_refused.append(True)  # another window manager, or a window already gone
    return 0


def main():
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ptr
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    for name in ("XDefaultRootWindow", "XInternAtom", "XCreateSimpleWindow"):
        getattr(x, name).restype = ulong
    x.XDefaultRootWindow.argtypes = [ptr]
    x.XInternAtom.argtypes = [ptr, ctypes.c_char_p, int_]
    x.XCreateSimpleWindow.argtypes = [ptr, ulong, int_, int_, ctypes.c_uint, ctypes.c_uint,
                                      ctypes.c_uint, ulong, ulong]
    x.XSetSelectionOwner.argtypes = [ptr, ulong, ulong, ulong]
    x.XSelectInput.argtypes = [ptr, ulong, long_]
    x.XSync.argtypes = [ptr, int_]
    x.XNextEvent.argtypes = [ptr, ctypes.POINTER(XEvent)]
    x.XMapWindow.argtypes = x.XUnmapWindow.argtypes = [ptr, ulong]
    x.XConfigureWindow.argtypes = [ptr, ulong, ctypes.c_uint, ctypes.POINTER(WindowChanges)]
    x.XGetWMHints.restype = ctypes.POINTER(WMHints)
    x.XGetWMHints.argtypes = [ptr, ulong]
    x.XFree.argtypes = [ptr]
    x.XChangeProperty.argtypes = [ptr, ulong, ulong, ulong, int_, int_,
                                  ctypes.POINTER(long_), int_]
    x.XSetErrorHandler.argtypes = [ERROR_HANDLER]

    display = x.XOpenDisplay(None)
    if not display:
        sys.exit("cannot open the display")
    handler = ERROR_HANDLER(on_error)
    x.XSetErrorHandler(handler)
    root = x.XDefaultRootWindow(display)
    owner = x.XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0)
    x.XSetSelectionOwner(display, x.XInternAtom(display, b"WM_S0", 0), owner, 0)
    x.XSelectInput(display, root, SUBSTRUCTURE_REDIRECT | SUBSTRUCTURE_NOTIFY)
    x.XSync(display, 0)
    if redirect_refused:
        sys.exit("another window manager runs")
    wm_state = x.XInternAtom(display, b"WM_STATE", 0)
    change_state = x.XInternAtom(display, b"WM_CHANGE_STATE", 0)
    print("ready", flush=True)

    managed = set()

    def set_state(window, state):
        data = (long_ * 2)(state, 0)
        x.XChangeProperty(display, window, wm_state, wm_state, 32, 0, data, 2)

    def wants_iconic(window):
        hints = x.XGetWMHints(display, window)
        if not hints:
            return False
        iconic = bool(hints.contents.flags & STATE_HINT) and hints.contents.initial_state == ICONIC
        x.XFree(hints)
        return iconic

    event = XEvent()
    while True:
        x.XNextEvent(display, ctypes.byref(event))
        if event.type == MAP_REQUEST:
            window = event.map.window
            if window not in managed and wants_iconic(window):
                set_state(window, ICONIC)  # a new window that starts iconified
            else:
                x.XMapWindow(display, window)
                set_state(window, NORMAL)
            managed.add(window)
        elif event.type == CONFIGURE_REQUEST:
            c = event.configure
            changes = WindowChanges(c.x, c.y, c.width, c.height, c.border_width, c.above,
                                    c.detail)
            x.XConfigureWindow(display, c.window, c.value_mask & 0x7F, ctypes.byref(changes))
        elif (event.type == CLIENT_MESSAGE and event.client.message_type == change_state
              and event.client.data[0] == ICONIC):
            x.XUnmapWindow(display, event.client.window)
            set_state(event.client.window, ICONIC)
        x.XSync(display, 0)


if __name__ == "__main__":
    main()
