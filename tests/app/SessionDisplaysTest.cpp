#include "app/SessionDisplays.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

std::string platformsFor(const std::map<std::string, std::string>& vars,
                         const std::string& socket = "/run/1/wayland-0") {
    return vellomarin::QtPlatformsForSession(
        [&vars](const char* name) { return vars.contains(name) ? vars.at(name).c_str() : nullptr; },
        [&socket](const std::string& path) { return path == socket; });
}

TEST(SessionDisplays, XBeforeWayland) {
    EXPECT_EQ(platformsFor({{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "w"}}), "xcb;wayland");
    EXPECT_EQ(platformsFor({{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", ""}}), "xcb");
}

TEST(SessionDisplays, WaylandAlone) {
    EXPECT_EQ(platformsFor({{"WAYLAND_SOCKET", "5"}}), "wayland");
    const std::map<std::string, std::string> session{{"XDG_SESSION_TYPE", "wayland"},
                                                     {"XDG_RUNTIME_DIR", "/run/1"}};
    EXPECT_EQ(platformsFor(session), "wayland");
    EXPECT_EQ(platformsFor(session, "/elsewhere"), "");
    EXPECT_EQ(platformsFor({{"XDG_SESSION_TYPE", "tty"}, {"XDG_RUNTIME_DIR", "/run/1"}}), "");
}

} // namespace
