// Arbitrary datagrams into the wake helper's reader, as the helper reads them: into its
// nine-byte buffer, with the datagram's whole size. None crashes it, and only the very
// bytes that the window sends for an instant, or for none, are taken as a request. And
// every instant the input holds makes the round trip: one in range is armed as it was
// sent, one out of it disarms, and none disarms.

#include "wake/WakeMessage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using vellomarin::DecodeWakeRequest;
using vellomarin::EncodeWakeRequest;
using vellomarin::kLatestWakeMs;
using vellomarin::WakeRequest;

[[noreturn]] void fail(const char* what, const WakeRequest& request,
                       std::optional<int64_t> sent) {
    std::fprintf(stderr, "%s: sent %s, decoded as kind %d at %lld ms\n", what,
                 sent ? std::to_string(*sent).c_str() : "none", static_cast<int>(request.kind),
                 static_cast<long long>(request.atMs));
    std::abort();
}

void roundTrip(std::optional<int64_t> atMs) {
    const WakeRequest request =
        DecodeWakeRequest(EncodeWakeRequest(atMs), vellomarin::kWakeMessageSize);
    const bool inRange = atMs && *atMs >= 0 && *atMs <= kLatestWakeMs;
    if (inRange ? request.kind != WakeRequest::Arm || request.atMs != *atMs
                : request.kind != WakeRequest::Disarm)
        fail("the round trip changed the request", request, atMs);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vellomarin::WakeMessage received{};
    std::memcpy(received.data(), data, std::min(size, received.size()));
    const WakeRequest request = DecodeWakeRequest(received, size);
    if (request.kind != WakeRequest::Ignore &&
        (size != received.size() ||
         EncodeWakeRequest(request.kind == WakeRequest::Arm ? std::optional(request.atMs)
                                                            : std::nullopt) != received))
        fail("a request the window never sends", request, std::nullopt);

    roundTrip(std::nullopt);
    uint64_t taken = 0;
    std::memcpy(&taken, data, std::min(size, sizeof taken));
    roundTrip(static_cast<int64_t>(taken));
    // The same bits folded into the range, so that every run tries instants a decoder
    // must take, however rare they are among eight arbitrary bytes.
    roundTrip(static_cast<int64_t>(taken % (static_cast<uint64_t>(kLatestWakeMs) + 1)));
    return 0;
}
