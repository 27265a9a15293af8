/* Drops files on a window the way a file manager does: an XDND source that offers
 * text/uri-list (and the plain-text types file managers add), moves over the window,
 * drops and answers the target's request for the data.
 *
 * Usage: xdnd_drop WINDOW_ID X Y URI...   (X, Y inside the window; DISPLAY from the
 * environment). Exit 0 when the target asked for the data and finished the drop, 2 when
 * it refused at XdndStatus, 3 when it refused the drop, 4 on time-out, 1 on a usage or
 * display error.
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static Display *dpy;
static Window source, target;
static Atom types[3], xdnd_selection, xdnd_enter, xdnd_position, xdnd_status, xdnd_drop,
    xdnd_finished, xdnd_leave, action_copy;

static void send_message(Atom type, long l1, long l2, long l3, long l4) {
    XEvent e;
    memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = target;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = (long)source;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(dpy, target, False, NoEventMask, &e);
    XFlush(dpy);
}

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

/* The next event for the source window, or 0 after `deadline`. */
static int next_event(XEvent *e, double deadline) {
    for (;;) {
        while (XPending(dpy)) {
            XNextEvent(dpy, e);
            return 1;
        }
        double left = deadline - now();
        if (left <= 0)
            return 0;
        struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, (int)(left * 1000) + 1);
    }
}

static void answer_request(const XSelectionRequestEvent *r, const char *data) {
    XEvent reply;
    memset(&reply, 0, sizeof reply);
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = r->requestor;
    reply.xselection.selection = r->selection;
    reply.xselection.target = r->target;
    reply.xselection.time = r->time;
    reply.xselection.property = None;
    for (int i = 0; i < 3; ++i)
        if (r->target == types[i]) {
            Atom property = r->property != None ? r->property : r->target;
            XChangeProperty(dpy, r->requestor, property, r->target, 8, PropModeReplace,
                            (const unsigned char *)data, (int)strlen(data));
            reply.xselection.property = property;
        }
    XSendEvent(dpy, r->requestor, False, NoEventMask, &reply);
    XFlush(dpy);
}

int main(int argc, char **argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: %s WINDOW_ID X Y URI...\n", argv[0]);
        return 1;
    }
    dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    target = (Window)strtoul(argv[1], NULL, 0);
    size_t size = 1;
    for (int i = 4; i < argc; ++i)
        size += strlen(argv[i]) + 2;
    char *data = calloc(size, 1);
    for (int i = 4; i < argc; ++i) {
        strcat(data, argv[i]);
        strcat(data, "\r\n");
    }
    types[0] = XInternAtom(dpy, "text/uri-list", False);
    types[1] = XInternAtom(dpy, "text/plain;charset=utf-8", False);
    types[2] = XInternAtom(dpy, "UTF8_STRING", False);
    xdnd_selection = XInternAtom(dpy, "XdndSelection", False);
    xdnd_enter = XInternAtom(dpy, "XdndEnter", False);
    xdnd_position = XInternAtom(dpy, "XdndPosition", False);
    xdnd_status = XInternAtom(dpy, "XdndStatus", False);
    xdnd_drop = XInternAtom(dpy, "XdndDrop", False);
    xdnd_finished = XInternAtom(dpy, "XdndFinished", False);
    xdnd_leave = XInternAtom(dpy, "XdndLeave", False);
    action_copy = XInternAtom(dpy, "XdndActionCopy", False);

    source = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(dpy, xdnd_selection, source, CurrentTime);
    int rx, ry;
    Window child;
    XTranslateCoordinates(dpy, target, DefaultRootWindow(dpy), atoi(argv[2]), atoi(argv[3]), &rx,
                          &ry, &child);

    send_message(xdnd_enter, 4L << 24, (long)types[0], (long)types[1], (long)types[2]);
    send_message(xdnd_position, 0, ((long)rx << 16) | ry, CurrentTime, (long)action_copy);
    const double deadline = now() + 10;
    XEvent e;
    int requested = 0;
    int status = -1;
    while (status < 0) {
        if (!next_event(&e, deadline)) {
            status = 4;
        } else if (e.type == SelectionRequest) {
            answer_request(&e.xselectionrequest, data);
            requested = 1;
        } else if (e.type == ClientMessage && e.xclient.message_type == xdnd_status) {
            if (!(e.xclient.data.l[1] & 1)) {
                send_message(xdnd_leave, 0, 0, 0, 0);
                status = 2;
            } else {
                send_message(xdnd_drop, 0, CurrentTime, 0, 0);
            }
        } else if (e.type == ClientMessage && e.xclient.message_type == xdnd_finished) {
            status = requested ? 0 : 3;
        }
    }
    free(data);
    XDestroyWindow(dpy, source);
    XCloseDisplay(dpy);
    return status;
}
