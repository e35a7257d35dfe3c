#include "core/alarm/NumberReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vellomarin {
namespace {

struct ReadCase {
    const char* name;
    const char16_t* text;
    double expected;
};

class ReadLeadingNumberTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadLeadingNumberTest, ReadsTheLeadingNumber) {
    const ReadCase& c = GetParam();
    const auto value = ReadLeadingNumber(QString::fromUtf16(c.text));
    ASSERT_TRUE(value);
    EXPECT_DOUBLE_EQ(*value, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadLeadingNumberTest,
    ::testing::Values(
        ReadCase{"leadingZero", u"07", 7}, ReadCase{"trailingJunk", u"12ab", 12},
        ReadCase{"blankInside", u"1 2", 12}, ReadCase{"noNumber", u"abc", 0},
        ReadCase{"empty", u"", 0}, ReadCase{"negative", u"-3", -3}, ReadCase{"plus", u"+4", 4},
        ReadCase{"fraction", u"7.5", 7.5}, ReadCase{"leadingPoint", u".5", 0.5},
        ReadCase{"trailingPoint", u"5.", 5}, ReadCase{"pointAlone", u".", 0},
        ReadCase{"signAlone", u"-", 0}, ReadCase{"signThenPoint", u"-.25", -0.25},
        ReadCase{"blanksEverywhere", u" \t- 1\n2 . 5 ", -12.5}, ReadCase{"exponent", u"1E1", 10},
        ReadCase{"lowerExponent", u"2.5e1", 25}, ReadCase{"signedExponent", u"500e-2", 5},
        ReadCase{"plusExponent", u"1e+1", 10}, ReadCase{"blankInExponent", u"1 e 1", 10},
        ReadCase{"emptyExponent", u"5E", 5}, ReadCase{"exponentSignOnly", u"5E+", 5},
        ReadCase{"exponentThenJunk", u"5Ex", 5}, ReadCase{"secondPointStops", u"1.2.3", 1.2},
        ReadCase{"secondSignStops", u"--3", 0}, ReadCase{"carriageReturnStops", u"1\r2", 1},
        ReadCase{"noHex", u"0x1A", 0}, ReadCase{"noInfinity", u"inf", 0},
        ReadCase{"noNan", u"nan", 0}, ReadCase{"fullWidthDigitsAreNotDigits", u"７", 0},
        ReadCase{"emoji", u"😀12", 0},
        ReadCase{"loneSurrogate",
                 u"1\xD800"
                 "2",
                 1},
        ReadCase{"controlCharacterStops", u"3\u00014", 3}, ReadCase{"tooSmallIsZero", u"1e-999", 0},
        ReadCase{"zeroWithHugeExponent", u"0e999999", 0},
        ReadCase{"hugeExponentOfTinyNumber", u"1e-99999999999999999999", 0},
        ReadCase{"roundsCorrectly", u"22.499999999999999999999999", 22.5},
        ReadCase{"leadingZerosAndLongFraction", u"0000000000000000000023.4000000000000001", 23.4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadLeadingNumber, NumbersBeyondADoubleAreOutOfRange) {
    for (const char16_t* text : {u"1e999", u"-1e999", u"1e99999999999999999999999", u"2e308"})
        EXPECT_FALSE(ReadLeadingNumber(QString::fromUtf16(text)))
            << QString::fromUtf16(text).toStdString();

    EXPECT_FALSE(ReadLeadingNumber(QString(1000, u'9')));
    EXPECT_TRUE(ReadLeadingNumber(QStringLiteral("1e308")));
    EXPECT_FALSE(
        ReadLeadingNumber(QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("1e800")));
}

TEST(ReadLeadingNumber, ReadsAMegabyteOfBlanksAndDigitsExactly) {
    QString text(1 << 20, u' ');
    text += QStringLiteral("1");
    text += QString(1 << 20, u'0');
    text.prepend(QStringLiteral("0."));
    // "0.      ...1000...": blanks inside the fraction are skipped, so this is 0.1.
    const auto value = ReadLeadingNumber(text);
    ASSERT_TRUE(value);
    EXPECT_DOUBLE_EQ(*value, 0.1);
}

TEST(ReadLeadingNumber, NegativeZeroStaysZero) {
    const auto value = ReadLeadingNumber(QStringLiteral("-0"));
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, 0.0);
}

} // namespace
} // namespace vellomarin
