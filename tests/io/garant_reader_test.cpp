// SPDX-License-Identifier: MIT
#include "io/loaders.h"
#include "model/errors.h"

#include <gtest/gtest.h>

using namespace obr;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << s.toStdString(); }
QT_END_NAMESPACE

TEST(WarrantyFile, MeanDeviationAndTexts)
{
    const WarrantyFile w = readWarrantyFile(encodeLines({"Сроки", "100", "200", "300"}));
    EXPECT_EQ(w.Comment, "Сроки");
    EXPECT_EQ(w.MasTGarant.size(), 3u);
    EXPECT_DOUBLE_EQ(w.Sred, 200);
    EXPECT_DOUBLE_EQ(w.SKO, 100);
    const WarrantyTexts t = warrantyTexts(w, "D:\\data\\gar2018.txt", u'.');
    EXPECT_EQ(t.Edit4, "D:\\..gar2018.txt");
    EXPECT_EQ(t.MaskEdit1, "3");
    EXPECT_EQ(t.meSred, "200.0");
    EXPECT_EQ(t.MaskEditSrednee, "200.000");
    EXPECT_EQ(t.meSKO, "100.0");
    EXPECT_EQ(warrantyTexts(w, "/home/u/gar1.txt", u',').MaskEditSKO, "100,000");
    EXPECT_EQ(driveAndName("/home/u/gar1.txt"), "..\\gar1.txt");
}

TEST(WarrantyFile, TokensBlankLinesAndTrailingLines)
{
    // Only the first token counts; blank lines are skipped; trailing blank lines add no value.
    const WarrantyFile w =
        readWarrantyFile(encodeLines({"c", "1500 12", "", "  2500\tx", "", "", ""}));
    ASSERT_EQ(w.MasTGarant.size(), 2u);
    EXPECT_EQ(w.MasTGarant[0], 1500);
    EXPECT_DOUBLE_EQ(w.Sred, 2000);
}

TEST(WarrantyFile, LargeMeanIsShownWithThreeSignificantDigits)
{
    const WarrantyFile w = readWarrantyFile(encodeLines({"c", "8760", "8760.5"}));
    EXPECT_EQ(warrantyTexts(w, "gar.txt", u'.').meSred, "8.76E3");
    EXPECT_EQ(warrantyTexts(w, "gar.txt", u',').meSred, "8,76E3");
}

TEST(WarrantyFile, BadInput)
{
    struct Case {
        QByteArray bytes;
        const char *expected;
    } cases[] = {
        {encodeLines({"c"}), "нет ни одного"},
        {encodeLines({"c", "100"}), "только один"},
        {encodeLines({"c", "100", "1,5"}), "строке 3"},
        {encodeLines({"c", "100", "abc"}), "строке 3"},
        {QByteArray("c\r\n100\r\n1\0002\r\n", 13), "строке 3"},
        {encodeLines({"c", "250", "250", "250"}), "СКО равно 0"},
        {encodeLines({"c", "-100", "-300"}), "строке 2: отрицательный срок гарантии -100"},
        {encodeLines({"c", "100", "300", "-0.5"}), "строке 4: отрицательный срок гарантии -0.5"},
        {encodeLines({"c", "1e308", "1.7e308"}), "слишком велики"},
        // A runaway token is quoted by its start only.
        {encodeLines({"c", "100", QString(1 << 20, u'7')}),
         "строке 3: «7777777777777777777777777777777777777777…»"},
    };
    for (const auto &c : cases) {
        try {
            readWarrantyFile(c.bytes);
            ADD_FAILURE() << c.expected;
        } catch (const UserError &e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.expected)))
                << e.message().toStdString();
        }
    }
}
