// SPDX-License-Identifier: MIT
#include "life/reader.h"

#include "model/errors.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace obr::life;

namespace {
QByteArray fixture(const char *name)
{
    QFile f(QStringLiteral(OBROTK_LIFE_DATA "/") + QString::fromLatin1(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

QString errorOf(const QByteArray &bytes)
{
    try {
        readLifeTable(bytes);
    } catch (const obr::UserError &e) {
        return e.message();
    }
    return {};
}
}   // namespace

TEST(LifeReader, Windows1251SemicolonDecimalCommaRussianNamesAndCounts)
{
    const LifeData d = readLifeTable(fixture("cp1251_crlf.csv"));
    ASSERT_EQ(d.units.size(), 3u);
    EXPECT_EQ(d.units[0].kind, Obs::Failure);
    EXPECT_DOUBLE_EQ(d.units[0].low, 120.5);
    EXPECT_EQ(d.units[0].count, 2);
    EXPECT_EQ(d.units[0].line, 2);
    EXPECT_EQ(d.units[1].kind, Obs::Suspension);
    EXPECT_EQ(d.units[1].count, 3);
    EXPECT_EQ(d.units[2].kind, Obs::Failure);   // «Отказ»: any case
    EXPECT_DOUBLE_EQ(d.units[2].low, 310.25);
}

TEST(LifeReader, BomTabsAndIntervals)
{
    const LifeData bom = readLifeTable(fixture("utf8_bom.csv"));
    ASSERT_EQ(bom.units.size(), 2u);
    EXPECT_DOUBLE_EQ(bom.units[0].low, 10.5);
    EXPECT_EQ(bom.units[1].kind, Obs::Suspension);
    EXPECT_EQ(bom.units[1].count, 4);

    const LifeData iv = readLifeTable(fixture("utf8_intervals_nobom.txt"));
    ASSERT_EQ(iv.units.size(), 3u);
    EXPECT_EQ(iv.units[0].kind, Obs::Interval);   // left-censored: from 0
    EXPECT_EQ(iv.units[0].low, 0);
    EXPECT_EQ(iv.units[0].high, 50);
    EXPECT_EQ(iv.units[1].kind, Obs::Interval);
    EXPECT_EQ(iv.units[2].kind, Obs::Suspension);
    EXPECT_EQ(iv.units[2].low, 100);

    const LifeData tab = readLifeTable(fixture("intervals.csv"));
    ASSERT_EQ(tab.units.size(), 8u);
    EXPECT_EQ(tab.units[4].kind, Obs::Failure);      // start == end
    EXPECT_EQ(tab.units[5].kind, Obs::Suspension);   // S with start == end
}

TEST(LifeReader, CommaSeparatedMeansDecimalPointAndQuotedFields)
{
    const LifeData d = parseLifeText(
        QStringLiteral("\"Time (h)\",\"State\",Serial\n\"1,5\",F,A1\n2.5,S,\"B,2\"\n"));
    ASSERT_EQ(d.units.size(), 2u);
    // A quoted "1,5" in a comma-separated file holds a decimal comma.
    EXPECT_DOUBLE_EQ(d.units[0].low, 1.5);
    EXPECT_DOUBLE_EQ(d.units[1].low, 2.5);
}

TEST(LifeReader, EveryBadRowIsReportedWithItsLineAndNothingIsLoaded)
{
    const QString msg = errorOf(fixture("bad_rows.csv"));
    ASSERT_FALSE(msg.isEmpty());
    EXPECT_TRUE(msg.contains(QStringLiteral("строке 3: «1e2x» не является числом")))
        << msg.toStdString();
    EXPECT_TRUE(msg.contains(QStringLiteral("строке 4: непонятное состояние «Q»")))
        << msg.toStdString();
    EXPECT_TRUE(msg.contains(QStringLiteral("строке 5: количество «0»"))) << msg.toStdString();
    EXPECT_TRUE(msg.contains(QStringLiteral("строке 6: наработка не может быть отрицательной")))
        << msg.toStdString();
    EXPECT_FALSE(msg.contains(QStringLiteral("строке 2")));
    EXPECT_FALSE(msg.contains(QStringLiteral("строке 7")));
}

TEST(LifeReader, RefusalsOfWholeTables)
{
    struct Case {
        const char *text;
        const char *part;
    } cases[] = {
        {"", "нет ни одной строки"},
        {"time;state\n", "нет ни одной строки"},
        {"serial;comment\n1;2\n", "Не найдена строка заголовка"},
        {"time;state\n100;\n", "строке 2: не указано состояние"},
        {"time;state\nnan;F\n", "строке 2: «nan» не является числом"},
        {"time;state\ninf;F\n", "строке 2: «inf» не является числом"},
        {"start;end;state\n300;200;F\n", "строке 2: начало интервала (300) больше его конца (200)"},
        {"start;end;state\n100;200;S\n", "строке 2: приостановка задаётся одним временем"},
        {"time;state;count\n100;F;1,5\n", "строке 2: количество «1,5»"},
    };
    for (const Case &c : cases) {
        const QString msg = errorOf(QByteArray(c.text));
        EXPECT_TRUE(msg.contains(QString::fromUtf8(c.part)))
            << c.text << " -> " << msg.toStdString();
    }
}

TEST(LifeReader, StateSpellingsAndBlankLines)
{
    const LifeData d = parseLifeText(QStringLiteral(
        "Время\tСтатус\n1\tF\n\n2\ts\n3\t1\n4\t0\n5\tприост\n6\tfailure\n7\tsuspended\n\t\n"));
    ASSERT_EQ(d.units.size(), 7u);
    const Obs expected[] = {Obs::Failure,    Obs::Suspension, Obs::Failure,   Obs::Suspension,
                            Obs::Suspension, Obs::Failure,    Obs::Suspension};
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(d.units[i].kind, expected[i]) << i;
    EXPECT_EQ(d.units[1].line, 4);
}
