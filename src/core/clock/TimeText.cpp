#include "TimeText.h"

namespace vellomarin {

namespace {

constexpr char16_t kHourMark = u'時';
constexpr char16_t kMinuteMark = u'分';
constexpr char16_t kSecondMark = u'秒';

void appendTwoDigits(QString& out, int16_t value) {
    out.append(QChar(u'0' + value / 10));
    out.append(QChar(u'0' + value % 10));
}

// Reads 1 or 2 ASCII digits at pos, followed by the mark; advances pos past the mark.
std::optional<int16_t> readField(QStringView text, qsizetype& pos, char16_t mark, bool twoDigits) {
    int16_t value = 0;
    qsizetype digits = 0;
    while (pos < text.size() && digits < 2) {
        const char16_t c = text[pos].unicode();
        if (c < u'0' || c > u'9')
            break;
        value = static_cast<int16_t>(value * 10 + (c - u'0'));
        ++digits;
        ++pos;
    }
    if (digits == 0 || (twoDigits && digits != 2) || pos >= text.size() ||
        text[pos].unicode() != mark)
        return std::nullopt;
    ++pos;
    return value;
}

} // namespace

QString FormatTimeText(int16_t hour, int16_t minute, int16_t second) {
    QString text;
    text.reserve(9);
    if (hour >= 10)
        text.append(QChar(u'0' + hour / 10));
    text.append(QChar(u'0' + hour % 10));
    text.append(QChar(kHourMark));
    appendTwoDigits(text, minute);
    text.append(QChar(kMinuteMark));
    appendTwoDigits(text, second);
    text.append(QChar(kSecondMark));
    return text;
}

std::optional<TimeOfDay> ParseTimeText(QStringView text) {
    qsizetype pos = 0;
    const auto hour = readField(text, pos, kHourMark, false);
    // The hour carries no leading zero: "0時" but never "05時" or "00時".
    if (!hour || (pos == 3 && text[0] == u'0'))
        return std::nullopt;
    const auto minute = readField(text, pos, kMinuteMark, true);
    if (!minute)
        return std::nullopt;
    const auto second = readField(text, pos, kSecondMark, true);
    if (!second || pos != text.size())
        return std::nullopt;
    if (*hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    return TimeOfDay{*hour, *minute, *second};
}

} // namespace vellomarin
