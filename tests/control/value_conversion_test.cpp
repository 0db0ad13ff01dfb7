#include "control/numeric_value.h"
#include "control/ole_date.h"

#include <gtest/gtest.h>

using VNOrvak::NumericValue;

TEST(NumericValue, ReadsTheLeadingNumber)
{
    EXPECT_EQ(NumericValue(u"000000007"), 7);
    EXPECT_EQ(NumericValue(u" 1 2 3x4"), 123); // blanks anywhere are ignored
    EXPECT_EQ(NumericValue(u"07A,NA000"), 7);
    EXPECT_EQ(NumericValue(u"-0000012"), -12);
    EXPECT_EQ(NumericValue(u"0000001.5"), 1.5);
    EXPECT_EQ(NumericValue(u"1e3x"), 1000);
    EXPECT_EQ(NumericValue(u"2D2"), 200);
    EXPECT_EQ(NumericValue(u"7E"), 7); // an exponent without digits is no exponent
    EXPECT_EQ(NumericValue(u"&H1F"), 31);
    EXPECT_EQ(NumericValue(u"&o17"), 15);
    for (const char16_t *none : {u"", u"abc", u".", u"-", u"&X1", u"inf", u"0x1"})
        EXPECT_EQ(NumericValue(none), 0) << QString::fromUtf16(none).toStdString();
}

TEST(OleDate, ConvertsBothWays)
{
    const QDateTime zero = VNOrvak::oleZeroDate();
    EXPECT_EQ(zero, QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_EQ(VNOrvak::oleFromDate(zero), 0.0);
    const QDateTime call(QDate(2026, 3, 14), QTime(18, 0));
    EXPECT_DOUBLE_EQ(VNOrvak::oleFromDate(call), 46095.75);
    EXPECT_EQ(VNOrvak::dateFromOle(46095.75), call);
    // Before the zero the fraction still counts forward from midnight.
    EXPECT_EQ(VNOrvak::dateFromOle(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    EXPECT_DOUBLE_EQ(VNOrvak::oleFromDate(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
}
