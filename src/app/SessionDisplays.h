#pragma once

#include <functional>
#include <string>

namespace vellomarin {

// The Qt platforms to try, best first and joined by ';' as QT_QPA_PLATFORM takes them,
// for the displays the session's environment points to; empty when it points to none.
// `env` returns a variable's value or nullptr; `isSocket` tells whether a path is a
// Unix socket.
std::string QtPlatformsForSession(const std::function<const char*(const char*)>& env,
                                  const std::function<bool(const std::string&)>& isSocket);

} // namespace vellomarin
