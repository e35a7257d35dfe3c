#pragma once

// Small helpers shared by the in-process benches: clocks, and the line format that
// bench/run.py reads ("sample NAME VALUE" and "info NAME TEXT").

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace vellomarin::bench {

inline int64_t realtimeNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

inline int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

inline void sample(const char* name, double value) {
    std::printf("sample %s %.6f\n", name, value);
}

inline void info(const char* name, const std::string& text) {
    std::printf("info %s %s\n", name, text.c_str());
}

inline std::string loadAverage() {
    double one = 0;
    double five = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf %lf", &one, &five) != 2)
            one = five = -1;
        std::fclose(f);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f/%.2f", one, five);
    return text;
}

} // namespace vellomarin::bench
