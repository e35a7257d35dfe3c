#include "CanberraBackend.h"

#include <canberra.h>

namespace vellomarin {

CanberraBackend::~CanberraBackend() {
    close();
}

bool CanberraBackend::open() {
    close();
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS)
        return false;
    ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Vellomarin", CA_PROP_APPLICATION_ID,
                            "vellomarin", CA_PROP_APPLICATION_ICON_NAME, "vellomarin", nullptr);
    // Connects now rather than in the first play, so that a missing server is known.
    if (ca_context_open(context) != CA_SUCCESS) {
        ca_context_destroy(context);
        return false;
    }
    context_ = context;
    return true;
}

bool CanberraBackend::play() {
    if (!context_)
        return false;
    // Two plays in one tick must both sound, so they carry different ids.
    const uint32_t id = nextPlayId_;
    nextPlayId_ = 3 - nextPlayId_;
    // The first play caches the bell in the server, so later ones send no data. The role
    // is "alarm", not libcanberra's "event" for every play that names none: the desktop's
    // "System Sounds" volume and mute, which many turn down to quiet its clicks, then do
    // not govern it.
    return ca_context_play(context_, id, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION,
                           "Alarm", CA_PROP_MEDIA_ROLE, "alarm", CA_PROP_CANBERRA_CACHE_CONTROL,
                           "permanent", nullptr) == CA_SUCCESS;
}

void CanberraBackend::close() {
    if (context_) {
        ca_context_destroy(context_);
        context_ = nullptr;
    }
}

} // namespace vellomarin
