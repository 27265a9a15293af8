#pragma once
// Gadget tests: the gui layer on the test X server (DISPLAY) and a recorder of the
// events the gadgets emit.
#include <gtest/gtest.h>

#include "events/queue.h"
#include "gui/gui.h"
#include "gui/gui_simulate.h"

#include <cstdlib>
#include <vector>

namespace hvn::gadgettest {

// One connection per process: a probe connection closed right before InitGui's own
// makes the X server refuse the second one now and then.
inline bool GuiAvailable() {
    const char *display = std::getenv("DISPLAY");
    return display && *display && InitGui();
}

#define HVN_REQUIRE_GUI()                                                                          \
    do {                                                                                           \
        if (!::hvn::gadgettest::GuiAvailable()) {                                                  \
            if (std::getenv("HALVANE_TEST_SERVICES"))                                              \
                FAIL() << "DISPLAY is not set or does not answer";                                 \
            GTEST_SKIP() << "no X server (DISPLAY)";                                               \
        }                                                                                          \
    } while (0)

// Records every emitted event and keeps it out of the queue.
class EventRecorder {
public:
    EventRecorder() {
        handle_ = AddEmitHook(1000, [this](Event &e) {
            events.push_back(e);
            return false;
        });
    }
    ~EventRecorder() { RemoveEmitHook(handle_); }
    EventRecorder(const EventRecorder &) = delete;
    EventRecorder &operator=(const EventRecorder &) = delete;

    // Events of `source`, optionally of one kind only.
    std::vector<Event> From(const void *source, int id = 0) const {
        std::vector<Event> out;
        for (const Event &e : events)
            if (e.source == source && (id == 0 || e.id == id))
                out.push_back(e);
        return out;
    }

    std::vector<Event> events;

private:
    int handle_ = 0;
};

} // namespace hvn::gadgettest
