#include "Beeper.h"

#include <QApplication>

#include <canberra.h>

namespace vellomarin {

Beeper::Beeper() {
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS)
        return;
    ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Vellomarin",
                            CA_PROP_APPLICATION_ID, "vellomarin", CA_PROP_APPLICATION_ICON_NAME,
                            "vellomarin", nullptr);
    // Connects to the sound server now, not on the first beep of an alarm.
    if (ca_context_open(context) != CA_SUCCESS) {
        ca_context_destroy(context);
        return;
    }
    context_ = context;
}

Beeper::~Beeper() {
    if (context_)
        ca_context_destroy(context_);
}

void Beeper::beep() {
    if (context_) {
        // Two plays in one tick must both sound, so they carry different ids.
        const uint32_t id = nextPlayId_;
        nextPlayId_ = 3 - nextPlayId_;
        // Cached in the sound server after the first play, so later plays send no data.
        if (ca_context_play(context_, id, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION,
                            "Alarm", CA_PROP_CANBERRA_CACHE_CONTROL, "permanent",
                            nullptr) == CA_SUCCESS)
            return;
    }
    QApplication::beep();
}

} // namespace vellomarin
