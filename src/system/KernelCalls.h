#pragma once

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace vellomarin {

// A system call's result, checked: -1 throws std::system_error with errno and the
// call's name, for the caller to report.
inline long Checked(long result, const char* call) {
    if (result == -1)
        throw std::system_error(errno, std::generic_category(), call);
    return result;
}

// A timer call the kernel refused, in one line on stderr, as main() reports a missing
// display. At start-up main() writes it and ends with status 1.
inline void ReportRefusedTimer(const std::system_error& refusal) {
    std::fprintf(stderr, "vellomarin: the kernel refused a timer (%s)\n", refusal.what());
}

// The same once the event loop runs, where no caller is left to throw to: the loop ends
// and QApplication::exec() returns 1.
inline void EndOnRefusedTimer(const std::system_error& refusal) {
    ReportRefusedTimer(refusal);
    QCoreApplication::exit(1);
}

} // namespace vellomarin
