// SPDX-License-Identifier: MIT
// obrotk-cli --cohorts run as a process: the text, the JSON, the charts and the PDF, and
// the exit statuses of bad command lines and bad tables.
#include "support/cli_process.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
using obr::test::CliRun;
using obr::test::runCli;
const QString kSample = QStringLiteral(OBROTK_EXAMPLES "/cohorts_sample.csv");

QString write(const QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}
}   // namespace

TEST(CohortCli, TextReportInTheLocale)
{
    const CliRun r = runCli({"--cohorts", kSample, "--usage", "60", "--warranty-periods", "24",
                             "--cost", "150:40", "--locale", "ru_RU"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString t = r.outText();
    EXPECT_TRUE(t.contains("Модель: повторные претензии; возраст — интервал периода"));
    EXPECT_TRUE(t.contains("Коэффициент повторности K"));
    EXPECT_TRUE(t.contains("Наработка, при которой K·F = 0,1, ч"));
    EXPECT_TRUE(t.contains("Прогноз претензий на 23 периодов"));
    EXPECT_TRUE(t.contains("Резерв (квантиль 90% общей стоимости)"));
    // The sample's batch of 2024-10 claims nearly twice as often.
    EXPECT_TRUE(t.contains(QRegularExpression("\\n  2024-10 .* критично\\n")));
    // Numbers with the decimal comma.
    EXPECT_TRUE(t.contains(QRegularExpression("Логарифм правдоподобия: -\\d+,\\d+")));
}

TEST(CohortCli, JsonCohortsObject)
{
    const CliRun r = runCli({"--cohorts", kSample, "--usage", "60", "--warranty-periods", "24",
                             "--backtest", "2025-02", "--json", "-", "--locale", "ru_RU"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject root = QJsonDocument::fromJson(r.out).object();
    EXPECT_EQ(root["file"].toString(), kSample);
    const QJsonObject c = root["cohorts"].toObject();
    for (const char *k : {"settings", "estimates", "fisher", "lr", "loglik", "gof", "cells",
                          "monitor", "forecast", "total", "reserve", "backtest"})
        EXPECT_TRUE(c.contains(k)) << k;
    EXPECT_TRUE(c["reserve"].isNull());   // no cost given
    EXPECT_EQ(c["settings"].toObject()["data_end"].toString(), "2025-06");
    EXPECT_EQ(c["settings"].toObject()["warranty_periods"].toInt(), 24);
    // Plain numbers whatever the locale.
    EXPECT_TRUE(c["estimates"].toObject()["B"].isDouble());
    EXPECT_EQ(c["fisher"].toObject()["K"].toArray().size(), 2);
    const QJsonArray fc = c["forecast"].toArray();
    ASSERT_EQ(fc.size(), 23);
    EXPECT_EQ(fc[0].toObject()["label"].toString(), "2025-07");
    EXPECT_EQ(fc[0].toObject()["predictive"].toArray().size(), 2);
    const QJsonObject b = c["backtest"].toObject();
    EXPECT_EQ(b["data_end"].toString(), "2025-02");
    EXPECT_EQ(b["forecast"].toArray().size(), 4);
    EXPECT_TRUE(b["forecast"].toArray()[0].toObject()["observed"].isDouble());
    bool flagged = false;
    for (const QJsonValue &v : c["monitor"].toObject()["rows"].toArray())
        flagged |= v.toObject()["label"] == "2024-10" && v.toObject()["flag"] == "critical";
    EXPECT_TRUE(flagged);
}

TEST(CohortCli, ClaimsListChartsAndPdf)
{
    QTemporaryDir dir;
    const QString claims =
        write(dir, "claims.csv",
              "2024-01-05;2024-01-20\n2024-01-05;2024-02-20\n2024-01-05;2024-03-01\n"
              "2024-02-05;2024-02-25\n2024-02-05;2024-03-15\n2024-03-01;2024-03-30\n"
              "2024-01-07;2024-03-20\n");
    const QString sales =
        write(dir, "sales.csv", "период;продано\n2024-01;50\n2024-02;60\n2024-03;40\n");
    const QString charts = dir.filePath("charts");
    const QString pdf = dir.filePath("report.pdf");
    const CliRun r =
        runCli({"--claims", claims, "--sales", sales, "--model", "first", "--warranty-periods", "6",
                "--cost", "100", "--charts", charts, "--pdf", pdf, "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_FALSE(QImage(QDir(charts).filePath("Cohorts_Claims.png")).isNull());
    EXPECT_FALSE(QImage(QDir(charts).filePath("Cohorts_Cost.png")).isNull());
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(5) == "%PDF-");
}

TEST(CohortCli, ExitStatuses)
{
    QTemporaryDir dir;
    const QString bad =
        write(dir, "bad.csv", "период;продано;1;2\n2024-01;100;1;-3\n2024-02;100;2;\n");
    struct Case {
        QStringList args;
        int status;
        const char *message;
    };
    const std::vector<Case> cases = {
        {{"--cohorts", kSample, "--bogus"}, 2, "неизвестный параметр «--bogus»"},
        {{"--claims", kSample}, 2, "нужна таблица продаж --sales"},
        {{"--cohorts", kSample, "--model", "other"}, 2, "--model: repeat или first"},
        {{"--cohorts", bad}, 1, "строка 2 («2024-01»), столбец 4 («2»): число претензий не может"},
        {{"--cohorts", dir.filePath("none.csv")}, 1, "Указанный файл не существует"},
        {{"--cohorts", kSample, "--data-end", "2031-01"},
         1,
         "Конец данных должен быть одним из периодов таблицы"},
        {{"--cohorts", kSample, "--backtest", "весна"}, 1, "Период «весна» не найден"},
        {{"--cohorts", kSample, "--level", "1.5"}, 1, "Доверительная вероятность"},
    };
    for (const Case &c : cases) {
        const CliRun r = runCli(c.args);
        EXPECT_EQ(r.exitCode, c.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.errText().contains(QString::fromUtf8(c.message)))
            << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    const CliRun help = runCli({"--cohorts", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.outText().contains("--warranty-periods"));
}
