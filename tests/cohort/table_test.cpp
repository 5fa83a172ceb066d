// SPDX-License-Identifier: MIT
// Reading the Nevada table in both layouts, building it from a claims list, and every
// refusal of bad input with its row and column.
#include "cohort/cohort.h"

#include "model/errors.h"

#include <QStringEncoder>
#include <gtest/gtest.h>

using namespace obr::cohort;

namespace {

QByteArray cp1251(const QString &s)
{
    QStringEncoder enc("windows-1251");
    return enc.encode(s);
}

//! The message of the refusal of \a text, or empty when it was read.
QString refusal(const QString &text, bool first = false)
{
    try {
        parseNevadaText(text, first);
    } catch (const obr::UserError &e) {
        return e.message();
    }
    return QString();
}

const QString kAges = QStringLiteral("период;продано;1;2;3;4\n"
                                     "2024-01;100;1;2;0;3\n"
                                     "2024-02;120;2;;1;\n"
                                     "2024-03;90;0;4;;\n"
                                     "2024-04;110;5;;;\n");

}   // namespace

TEST(CohortTable, AgeLayoutFromWindows1251WithCrLf)
{
    QString text = kAges;
    text.replace(u'\n', QStringLiteral("\r\n"));
    const NevadaTable t = readNevada(cp1251(text));
    EXPECT_EQ(t.layout, Layout::Age);
    ASSERT_EQ(t.rowCount(), 4);
    EXPECT_EQ(t.rows[2], "2024-03");
    EXPECT_EQ(t.units[1], 120);
    EXPECT_EQ(t.dataEnd, 3);   // the last row's one filled cell
    EXPECT_EQ(t.start, (std::vector<int>{0, 1, 2, 3}));
    // Row 2024-02 holds ages 1…3; its blank age 2 inside the data is a zero.
    ASSERT_EQ(t.claims[0][1].size(), 3u);
    EXPECT_EQ(t.claims[0][1], (std::vector<double>{2, 0, 1}));
    EXPECT_EQ(t.cell(0, 4), 3);
    EXPECT_EQ(t.cell(3, 1), 5);
    EXPECT_EQ(t.periods, (std::vector<QString>{"2024-01", "2024-02", "2024-03", "2024-04"}));
    EXPECT_EQ(periodLabel(t, 5, Period::Month), "2024-06");
    EXPECT_EQ(periodLabel(t, 12, Period::Month), "2025-01");
    EXPECT_EQ(periodIndex(t, "2024-03", Period::Month), 2);
    EXPECT_EQ(periodIndex(t, "2", Period::Month), 1);
    EXPECT_EQ(periodIndex(t, "15.02.2024", Period::Month), 1);
    EXPECT_FALSE(periodIndex(t, "весна", Period::Month));
}

TEST(CohortTable, CalendarLayoutAndPasteEqualTheAgeLayout)
{
    const NevadaTable ages = parseNevadaText(kAges);
    // The same claims by claim period, English header, tab-separated as a spreadsheet
    // pastes it, units with a group space and a decimal comma.
    const QString calendar = QStringLiteral("period\tunits\t2024-01\t2024-02\t2024-03\t2024-04\n"
                                            "2024-01\t100\t1\t2\t0\t3\n"
                                            "2024-02\t1 20,0\t\t2\t0\t1\n"
                                            "2024-03\t90\t\t\t0\t4\n"
                                            "2024-04\t110\t\t\t\t5\n");
    const NevadaTable cal = parseNevadaText(calendar);
    EXPECT_EQ(cal.layout, Layout::Calendar);
    EXPECT_EQ(cal.units, ages.units);
    EXPECT_EQ(cal.start, ages.start);
    EXPECT_EQ(cal.dataEnd, ages.dataEnd);
    EXPECT_EQ(cal.claims, ages.claims);
    // Ages counted from 0 say the same.
    QString zero = kAges;
    zero.replace(QStringLiteral("1;2;3;4\n"), QStringLiteral("0;1;2;3\n"));
    EXPECT_EQ(parseNevadaText(zero).claims, ages.claims);
}

TEST(CohortTable, CauseColumnGivesOneTablePerCause)
{
    const NevadaTable t = parseNevadaText(QStringLiteral("период;продано;причина;1;2;3\n"
                                                         "2024-01;100;насос;1;0;2\n"
                                                         "2024-01;100;клапан;0;1;1\n"
                                                         "2024-02;80;насос;3;1;\n"
                                                         "2024-02;80;клапан;1;0;\n"
                                                         "2024-03;90;насос;2;;\n"));
    ASSERT_EQ(t.causes, (std::vector<QString>{"насос", "клапан"}));
    ASSERT_EQ(t.rowCount(), 3);
    EXPECT_EQ(t.claims[1][0], (std::vector<double>{0, 1, 1}));
    EXPECT_EQ(t.claims[1][2], (std::vector<double>{0}));   // no line for it: zero
    EXPECT_EQ(t.cell(1, 1), 4);
}

TEST(CohortTable, RefusalsNameTheRowAndTheColumn)
{
    struct Case {
        const char *what;
        QString text;
        bool first;
        QString expected;   // a part of the message
    };
    const QString head = QStringLiteral("период;продано;1;2;3\n");
    const QString calHead = QStringLiteral("период;продано;2024-01;2024-02;2024-03\n");
    const std::vector<Case> cases = {
        {"claims before the sale period",
         calHead + "2024-01;100;1;2;3\n2024-02;100;4;1;0\n2024-03;100;;;2\n", false,
         "строка 3 («2024-02»), столбец 3 («2024-01»): претензии в периоде до продажи"},
        {"claims after the data end",
         head + "2024-01;100;1;2;3\n2024-02;100;1;1;7\n2024-03;100;2;;\n", false,
         "строка 3 («2024-02»), столбец 5 («3»): претензии после конца данных"},
        {"a negative count", head + "2024-01;100;1;-2;3\n2024-02;100;1;1;\n2024-03;100;2;;\n",
         false,
         "строка 2 («2024-01»), столбец 4 («2»): число претензий не может быть отрицательным"},
        {"a fractional count", head + "2024-01;100;1;2;3\n2024-02;100;1;1,5;\n2024-03;100;2;;\n",
         false, "строка 3 («2024-02»), столбец 4 («2»): число претензий должно быть целым"},
        {"a text in a cell", head + "2024-01;100;1;2;x\n2024-02;100;1;1;\n2024-03;100;2;;\n", false,
         "столбец 5 («3»): «x» не является"},
        {"a row without units", head + "2024-01;100;1;2;3\n2024-02;;1;1;\n2024-03;100;2;;\n", false,
         "строка 3 («2024-02»): не указано число проданных изделий"},
        {"zero units", head + "2024-01;0;1;2;3\n", false, "строка 2 («2024-01»): число проданных"},
        {"periods out of order", calHead + "2024-02;100;;1;2\n2024-01;100;1;2;3\n2024-03;100;;;2\n",
         false, "периоды продаж должны идти по порядку"},
        {"claims over the units under first failures",
         head + "2024-01;10;4;5;3\n2024-02;100;1;1;\n2024-03;100;2;;\n", true,
         "строка 2 («2024-01»): претензий (12) больше, чем продано изделий (10)"},
        {"no header", QStringLiteral("2024-01;100;1;2\n"), false, "Не найдена строка заголовка"},
    };
    for (const Case &c : cases) {
        const QString m = refusal(c.text, c.first);
        EXPECT_TRUE(m.contains(c.expected)) << c.what << ": " << m.toStdString();
    }
    // The same table is read under repeat claims, where a unit may claim again.
    EXPECT_TRUE(refusal(head + "2024-01;10;4;5;3\n2024-02;100;1;1;\n2024-03;100;2;;\n").isEmpty());
}

TEST(CohortTable, ClaimsListBuildsTheTypedTable)
{
    // Sales and claims that make exactly kAges (claims in the sale month are age 1).
    const QByteArray sales = "период;продано\n2024-01;100\n2024-02;120\n2024-03;90\n2024-04;110\n";
    QByteArray claims = "продажа;претензия;причина;наработка\n";
    auto add = [&](const char *sale, const char *claim, int n) {
        for (int i = 0; i < n; ++i)
            claims += QByteArray(sale) + ";" + claim + ";;\n";
    };
    add("2024-01-10", "2024-01-20", 1);
    add("15.01.2024", "2024-02-03", 2);
    add("2024-01-31", "2024-04-30", 3);
    add("2024-02-01", "2024-02-01", 2);
    add("2024-02-11", "2024-04-01", 1);
    add("2024-03-05", "2024-04-07", 4);
    add("2024-04-01", "2024-04-28", 5);
    const NevadaTable built = buildFromClaims(claims, sales, Period::Month);
    const NevadaTable typed = parseNevadaText(kAges);
    EXPECT_EQ(built.rows, typed.rows);
    EXPECT_EQ(built.units, typed.units);
    EXPECT_EQ(built.start, typed.start);
    EXPECT_EQ(built.dataEnd, typed.dataEnd);
    EXPECT_EQ(built.claims, typed.claims);
    EXPECT_EQ(built.periods, typed.periods);
    EXPECT_TRUE(built.causes.empty());

    // Hours at the claims give the usage rates; quarters group the same dates.
    const QByteArray withHours = "2024-01-01;2024-01-31;насос;300\n2024-02-01;2024-03-02;;60\n";
    const NevadaTable h = buildFromClaims(withHours, sales, Period::Month);
    ASSERT_EQ(h.claimRates.size(), 2u);
    EXPECT_NEAR(h.claimRates[0], 300 / (30 / (365.25 / 12)), 1e-9);
    EXPECT_EQ(h.causes, (std::vector<QString>{"насос", "не указана"}));
    const NevadaTable q = buildFromClaims("2024-01-10;2024-02-01\n2024-02-10;2024-05-01\n",
                                          "2024-01-01;420\n", Period::Quarter);
    EXPECT_EQ(q.rows, (std::vector<QString>{"2024-Q1"}));
    EXPECT_EQ(q.dataEnd, 1);
    EXPECT_EQ(q.cell(0, 1), 1);
    EXPECT_EQ(q.cell(0, 2), 1);
    EXPECT_EQ(periodLabel(q, 4, Period::Quarter), "2025-Q1");
}

TEST(CohortTable, ClaimsListRefusals)
{
    const QByteArray sales = "2024-01;100\n2024-02;120\n";
    auto msg = [](const QByteArray &claims, const QByteArray &sales) {
        try {
            buildFromClaims(claims, sales, Period::Month);
        } catch (const obr::UserError &e) {
            return e.message();
        }
        return QString();
    };
    EXPECT_TRUE(msg("2024-01-05;2024-02-01\n2024-02-10;2024-01-30\n", sales)
                    .contains("файле претензий, строка 2, столбец 2: дата претензии 2024-01-30 "
                              "раньше даты продажи 2024-02-10"));
    EXPECT_TRUE(msg("2024-03-05;2024-04-01\n", sales)
                    .contains("строка 1, столбец 1: период продажи 2024-03 отсутствует"));
    EXPECT_TRUE(msg("2024-01-05;2024-13-01\n", sales).contains("«2024-13-01» не является датой"));
    EXPECT_TRUE(msg("2024-01-05;2024-02-01\n", "2024-02;100\n2024-01;120\n")
                    .contains("файле продаж, строка 2, столбец 1: периоды продаж должны идти по "
                              "порядку"));
    EXPECT_TRUE(msg("2024-01-05;2024-02-01\n", "2024-01;-5\n").contains("число проданных"));
}
