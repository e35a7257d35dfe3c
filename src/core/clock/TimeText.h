#pragma once

#include "core/Platform.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace vellomarin {

inline constexpr int32_t kSecondsPerDay = 24 * 60 * 60;

// "9時05分03秒": the hour without leading zeros, minute and second as two digits.
QString FormatTimeText(int16_t hour, int16_t minute, int16_t second);

// Reads back a text made by FormatTimeText. Any other text (missing parts, stray
// characters, numbers out of range) gives nothing rather than a wrong time.
std::optional<TimeOfDay> ParseTimeText(QStringView text);

inline int32_t SecondsOfDay(const TimeOfDay& t) {
    return t.hour * 3600 + t.minute * 60 + t.second;
}

} // namespace vellomarin
