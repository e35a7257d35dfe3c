#include "NumberReader.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

namespace vellomarin {

namespace {

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}
bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Walks the text a character at a time, hiding the blanks.
class Cursor {
public:
    explicit Cursor(QStringView text) : text_(text) { skipBlanks(); }

    bool atEnd() const { return pos_ >= text_.size(); }
    char16_t peek() const { return atEnd() ? u'\0' : text_[pos_].unicode(); }
    void advance() {
        ++pos_;
        skipBlanks();
    }
    qsizetype position() const { return pos_; }
    void rewind(qsizetype pos) { pos_ = pos; }

private:
    void skipBlanks() {
        while (pos_ < text_.size() && isBlank(text_[pos_].unicode()))
            ++pos_;
    }

    QStringView text_;
    qsizetype pos_ = 0;
};

constexpr int64_t kExponentCap = 1'000'000'000'000;

int64_t saturatingAdd(int64_t a, int64_t b) {
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 4;
    const int64_t sum = a + b; // both stay within +-kLimit, so this cannot overflow
    return sum > kLimit ? kLimit : (sum < -kLimit ? -kLimit : sum);
}

} // namespace

std::optional<double> ReadLeadingNumber(QStringView text) {
    Cursor in(text);

    bool negative = false;
    if (in.peek() == u'+' || in.peek() == u'-') {
        negative = in.peek() == u'-';
        in.advance();
    }

    // The number, blanks removed, in the plain form std::from_chars reads: it rounds
    // correctly for any length of digits, unlike a hand-written accumulation.
    std::string plain;
    // Decimal exponent of the first significant digit, to tell overflow from underflow
    // when from_chars reports the value out of range.
    int64_t magnitude = 0;
    bool seenSignificant = false;
    qsizetype mantissaDigits = 0;

    while (isDigit(in.peek())) {
        plain.push_back(static_cast<char>(in.peek()));
        if (in.peek() != u'0')
            seenSignificant = true;
        if (seenSignificant)
            magnitude = saturatingAdd(magnitude, 1);
        ++mantissaDigits;
        in.advance();
    }
    if (in.peek() == u'.') {
        plain.push_back('.');
        in.advance();
        while (isDigit(in.peek())) {
            plain.push_back(static_cast<char>(in.peek()));
            if (!seenSignificant) {
                if (in.peek() != u'0')
                    seenSignificant = true;
                else
                    magnitude = saturatingAdd(magnitude, -1);
            }
            ++mantissaDigits;
            in.advance();
        }
    }
    if (mantissaDigits == 0)
        return 0.0; // no number at the start: "abc", "", ".", "-"

    if (in.peek() == u'e' || in.peek() == u'E') {
        // An exponent counts only with at least one digit: "5E" and "5E+" read as 5.
        const qsizetype mark = in.position();
        std::string exponent = "e";
        in.advance();
        if (in.peek() == u'+' || in.peek() == u'-') {
            exponent.push_back(static_cast<char>(in.peek()));
            in.advance();
        }
        const bool exponentNegative = exponent.back() == '-';
        int64_t exponentValue = 0;
        bool any = false;
        while (isDigit(in.peek())) {
            exponent.push_back(static_cast<char>(in.peek()));
            // Past a thousand billion the exponent's size no longer matters.
            if (exponentValue < kExponentCap)
                exponentValue = exponentValue * 10 + (in.peek() - u'0');
            any = true;
            in.advance();
        }
        if (any) {
            plain += exponent;
            magnitude = saturatingAdd(magnitude, exponentNegative ? -exponentValue : exponentValue);
        } else {
            in.rewind(mark);
        }
    }

    if (!seenSignificant)
        return negative ? -0.0 : 0.0;

    double value = 0.0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value,
                                              std::chars_format::general);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Beyond a double's range when the first digit stands far left of the point;
        // otherwise too small to tell from zero.
        if (magnitude > 0)
            return std::nullopt;
        value = 0.0;
    } else if (error != std::errc()) {
        return 0.0; // cannot happen: plain holds only what was checked above
    }
    return negative ? -value : value;
}

} // namespace vellomarin
