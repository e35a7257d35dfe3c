#include "SessionDisplays.h"

namespace vellomarin {

namespace {

bool isSet(const char* value) {
    return value && *value;
}

// Where libwayland connects when told nothing: WAYLAND_SOCKET (an inherited
// connection), WAYLAND_DISPLAY, else wayland-0 in XDG_RUNTIME_DIR. The default socket
// counts only in a Wayland session, so a login from elsewhere (ssh, a text console)
// does not open the window on someone's desktop.
bool haveWayland(const std::function<const char*(const char*)>& env,
                 const std::function<bool(const std::string&)>& isSocket) {
    if (isSet(env("WAYLAND_SOCKET")) || isSet(env("WAYLAND_DISPLAY")))
        return true;
    const char* session = env("XDG_SESSION_TYPE");
    const char* runtimeDir = env("XDG_RUNTIME_DIR");
    return session && std::string(session) == "wayland" && isSet(runtimeDir) &&
           isSocket(std::string(runtimeDir) + "/wayland-0");
}

} // namespace

std::string QtPlatformsForSession(const std::function<const char*(const char*)>& env,
                                  const std::function<bool(const std::string&)>& isSocket) {
    // X first, also where it is XWayland beside a Wayland compositor: Qt's Wayland
    // client costs more than twice the memory and wake-ups (bench/README.md, Wayland).
    std::string platforms;
    if (isSet(env("DISPLAY")))
        platforms = "xcb";
    if (haveWayland(env, isSocket))
        platforms += platforms.empty() ? "wayland" : ";wayland";
    return platforms;
}

} // namespace vellomarin
