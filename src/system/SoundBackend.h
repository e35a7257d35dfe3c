#pragma once

namespace vellomarin {

// The sound server as the beeper's sound thread sees it. Each call may block for as
// long as the server takes to answer, which is forever when it hangs, so only the
// sound thread makes them, one at a time.
class SoundBackend {
public:
    virtual ~SoundBackend() = default;

    // Connects, dropping any earlier connection; true when the server answered.
    virtual bool open() = 0;
    // Starts one bell without waiting for it to end; false when nothing was played,
    // which is how a lost connection shows.
    virtual bool play() = 0;
    // Drops the connection, if there is one.
    virtual void close() = 0;
};

} // namespace vellomarin
