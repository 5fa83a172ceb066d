// SPDX-License-Identifier: MIT
#include "model/errors.h"
#include "model/numfmt.h"
#include "model/texts.h"

#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << s.toStdString(); }
QT_END_NAMESPACE

using namespace obr;

TEST(NumFmt, RoundingHalvesGoToEvenAndFracKeepsSign)
{
    EXPECT_EQ(roundEven(2.5), 2);
    EXPECT_EQ(roundEven(3.5), 4);
    EXPECT_EQ(roundEven(-2.5), -2);
    EXPECT_EQ(roundEven(2300.5), 2300);
    EXPECT_DOUBLE_EQ(Frac(2.75), 0.75);
    EXPECT_DOUBLE_EQ(Frac(-2.75), -0.75);
    EXPECT_EQ(Frac(5.0), 0.0);
}

TEST(NumFmt, FixedPatternsPadAndUseTheSeparator)
{
    struct Case {
        double v;
        int w, p;
        QChar dec;
        const char *out;
    } cases[] = {
        {3.92, 6, 4, u'.', "3.9200"},         {0, 6, 4, u',', "0,0000"},
        {250, 6, 2, u',', "250,00"},          {1.5, 7, 5, u'.', "1.50000"},
        {12.5, 3, 1, u'.', "12.5"},           {5000, 7, 1, u',', " 5000,0"},
        {123456.789, 4, 1, u'.', "123456.8"},   // never cut
        {0.25, 5, 1, u'.', "  0.2"},            // ties on the exact binary value
    };
    for (const auto &c : cases)
        EXPECT_EQ(fmtF(c.v, c.w, c.p, c.dec), QString::fromUtf8(c.out)) << c.v;
}

TEST(NumFmt, GeneralFormat)
{
    struct Case {
        double v;
        QChar dec;
        const char *out;
    } cases[] = {
        {1520.5, u'.', "1520.5"}, {1520.5, u',', "1520,5"},
        {2000, u'.', "2000"},     {0.0001, u'.', "0.0001"},
        {0.00002, u',', "2E-5"},  {1.5e16, u'.', "1.5E16"},
        {0.1 + 0.2, u'.', "0.3"}, {123456789012345.0, u'.', "123456789012345"},
        {0, u'.', "0"},           {-3.25, u',', "-3,25"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(fmtGeneral(c.v, c.dec), QString::fromUtf8(c.out)) << c.v;
}

TEST(NumFmt, FixedWithSignificantDigits)
{
    struct Case {
        double v;
        int p, d;
        QChar dec;
        const char *out;
    } cases[] = {
        {45.678, 3, 1, u'.', "45.7"},      {123.456, 3, 1, u'.', "123.0"},
        {8760.25, 3, 1, u'.', "8.76E3"},   {10000, 3, 1, u',', "1E4"},
        {200, 3, 1, u'.', "200.0"},        {200, 6, 3, u',', "200,000"},
        {0.25, 3, 1, u'.', "0.2"},         {100, 3, 1, u'.', "100.0"},
        {8760.25, 6, 3, u'.', "8760.250"}, {8760.25, 3, 1, u',', "8,76E3"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(fmtFixedSig(c.v, c.p, c.d, c.dec), QString::fromUtf8(c.out)) << c.v;
}

TEST(NumFmt, PictureFormats)
{
    const NumLocale ru = NumLocale::comma();
    EXPECT_EQ(fmtPicture(1234.56, true, true, 1, NumLocale::period()), "1,234.6");
    EXPECT_EQ(fmtPicture(1234.56, true, true, 1, ru), QString("1") + QChar(0xA0) + "234,6");
    EXPECT_EQ(fmtPicture(12.0, true, true, 1, ru), "12");
    EXPECT_EQ(fmtPicture(0.04, true, true, 1, ru), "0");
    EXPECT_EQ(fmtPicture(0.5, false, false, 1, NumLocale::period()), ".5");
    EXPECT_EQ(fmtPicture(12.34, false, false, 1, NumLocale::period()), "12.3");
}

TEST(NumFmt, LongTime)
{
    EXPECT_EQ(fmtLongTime(7), "0:00:07");
    EXPECT_EQ(fmtLongTime(3725), "1:02:05");
}

TEST(NumFmt, BoxesFollowTheLocaleSeparator)
{
    EXPECT_EQ(parseBoxReal("1.00025", u'.'), 1.00025);
    EXPECT_EQ(parseBoxReal(" 1,00025 ", u','), 1.00025);
    EXPECT_FALSE(parseBoxReal("1.00025", u','));   // a period is not the comma locale's separator
    EXPECT_FALSE(parseBoxReal("1,5", u'.'));
    for (const char *bad : {"", "abc", "1e", "nan", "inf", "1e999", "--1", "0x10"})
        EXPECT_FALSE(parseBoxReal(bad, u'.')) << bad;
    EXPECT_EQ(parseBoxInt("3000"), 3000);
    EXPECT_FALSE(parseBoxInt("30.5"));
    EXPECT_FALSE(parseBoxInt("99999999999"));
    try {
        boxReal("abc", u',', "Среднее время гарантии");
        FAIL();
    } catch (const UserError &e) {
        EXPECT_TRUE(e.message().contains("abc"));
        EXPECT_TRUE(e.message().contains("Среднее время гарантии"));
    }
}

TEST(NumFmt, ABoxSaysWhichSeparatorItTakes)
{
    // The other locale's separator gets the hint; other mistakes keep the plain message.
    struct Case {
        const char *text;
        QChar dec;
        const char *expected;
    } const cases[] = {
        {"1.5", u',', "«1.5» не является числом (поле «СКО»; дробная часть пишется через запятую)"},
        {"1.000.5", u',',
         "«1.000.5» не является числом (поле «СКО»; дробная часть пишется через запятую)"},
        {"1,5", u'.', "«1,5» не является числом (поле «СКО»; дробная часть пишется через точку)"},
        {"1,5x", u',', "«1,5x» не является числом (поле «СКО»)"},
        {"", u',', "«» не является числом (поле «СКО»)"},
    };
    for (const Case &c : cases) {
        try {
            boxReal(QString::fromUtf8(c.text), c.dec, QStringLiteral("СКО"));
            ADD_FAILURE() << c.text << " accepted";
        } catch (const UserError &e) {
            EXPECT_EQ(e.message(), QString::fromUtf8(c.expected));
        }
    }
    EXPECT_EQ(txt::notANumber(QStringLiteral("1.5"), {}, txt::fractionHint(u',')),
              QStringLiteral("«1.5» не является числом (дробная часть пишется через запятую)"));
}
