// Arbitrary datagrams into the wake helper's reader: none crashes it, and only the very
// bytes that the window sends for an instant, or for none, are taken as a request.

#include "wake/WakeMessage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool sentAs(const vellomarin::WakeMessage& sent, const uint8_t* data, size_t size) {
    return size == sent.size() && std::memcmp(sent.data(), data, size) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using vellomarin::WakeRequest;
    const WakeRequest request = vellomarin::DecodeWakeRequest(data, size);
    const bool asSent = request.kind == WakeRequest::Ignore ||
                        (request.kind == WakeRequest::Disarm &&
                         sentAs(vellomarin::EncodeWakeRequest(std::nullopt), data, size)) ||
                        (request.kind == WakeRequest::Arm && request.atMs >= 0 &&
                         request.atMs <= vellomarin::kLatestWakeMs &&
                         sentAs(vellomarin::EncodeWakeRequest(request.atMs), data, size));
    if (!asSent) {
        std::fprintf(stderr, "a request the window never sends: kind %d at %lld ms\n",
                     static_cast<int>(request.kind), static_cast<long long>(request.atMs));
        std::abort();
    }
    return 0;
}
