// SPDX-License-Identifier: MIT
#include "cli/life_cli.h"
#include "cli/options.h"
#include "support/cli_process.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace obr::cli;

namespace {
using obr::test::CliRun;
using obr::test::runCli;
const QString kIssue = QStringLiteral(OBROTK_LIFE_DATA "/issue.csv");
}   // namespace

TEST(LifeCli, JsonLifeObjectAsSpecified)
{
    const CliRun r =
        runCli({"--life", kIssue, "--b-lives", "10", "--reliability-at", "500", "--json", "-"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject life = QJsonDocument::fromJson(r.out).object()["life"].toObject();
    EXPECT_EQ(life["dist"].toString(), "weibull2");
    EXPECT_EQ(life["estimator"].toString(), "mle");
    EXPECT_EQ(life["failures"].toDouble(), 12);
    EXPECT_EQ(life["suspensions"].toDouble(), 8);
    EXPECT_EQ(life["intervals"].toDouble(), 0);
    // survreg: scale 528.582194, shape 5.08002872, log-likelihood -76.3480262.
    EXPECT_NEAR(life["loglik"].toDouble(), -76.3480262, 1e-6);
    const QJsonObject eta = life["params"].toObject()["eta"].toObject();
    EXPECT_NEAR(eta["value"].toDouble(), 528.582194, 1e-5);
    ASSERT_EQ(eta["fisher"].toArray().size(), 2);
    ASSERT_EQ(eta["lr"].toArray().size(), 2);
    EXPECT_TRUE(life["b_lives"].toObject().contains("10"));
    EXPECT_TRUE(life["reliability"].toObject().contains("500"));
    for (const char *k : {"AICc", "BIC", "level"})
        EXPECT_TRUE(life[k].isDouble()) << k;
    EXPECT_FALSE(life.contains("ranking"));

    const CliRun all =
        runCli({"--life", kIssue, "--dist", "all", "--estimator", "rrx", "--json", "-"});
    ASSERT_EQ(all.exitCode, 0) << all.err.toStdString();
    const QJsonObject la = QJsonDocument::fromJson(all.out).object()["life"].toObject();
    const QJsonArray ranking = la["ranking"].toArray();
    EXPECT_EQ(ranking.size(), 6);
    EXPECT_TRUE(ranking[0].toObject()["best"].toBool());
    // Rank regression has no likelihood-ratio bounds.
    if (la["estimator"].toString() == "rrx") {
        EXPECT_TRUE(la["params"].toObject().begin()->toObject()["lr"].isNull());
    }
}

TEST(LifeCli, TextFollowsTheLocaleAndErrorsKeepOutputsUnwritten)
{
    const CliRun ru = runCli({"--life", kIssue, "--locale", "ru_RU"});
    ASSERT_EQ(ru.exitCode, 0);
    EXPECT_TRUE(QString::fromUtf8(ru.out).contains(QStringLiteral("528,5822")));
    const CliRun c = runCli({"--life", kIssue, "--locale", "C"});
    EXPECT_TRUE(QString::fromUtf8(c.out).contains(QStringLiteral("528.5822")));

    QTemporaryDir dir;
    const QString json = dir.filePath("out.json"), pdf = dir.filePath("out.pdf");
    const CliRun bad = runCli(
        {"--life", QStringLiteral(OBROTK_LIFE_DATA "/bad_rows.csv"), "--json", json, "--pdf", pdf});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(bad.err).contains(QStringLiteral("строке 3")));
    EXPECT_FALSE(QFile::exists(json));
    EXPECT_FALSE(QFile::exists(pdf));

    EXPECT_EQ(runCli({"--life", kIssue, "--dist", "cauchy"}).exitCode, 2);
    EXPECT_EQ(runCli({"--life", kIssue, "--level", "1.5"}).exitCode, 2);
    EXPECT_EQ(runCli({"--life"}).exitCode, 2);

    const CliRun files =
        runCli({"--life", kIssue, "--charts", dir.filePath("charts"), "--pdf", pdf, "--quiet"});
    EXPECT_EQ(files.exitCode, 0);
    EXPECT_TRUE(files.out.isEmpty());
    EXPECT_TRUE(QFile::exists(dir.filePath("charts/Life_ProbabilityPlot.png")));
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("%PDF"));
}

TEST(LifeCli, UsageErrorsNameTheWordAndTheEqualsFormIsRead)
{
    struct Case {
        QStringList args;
        const char *message;
    };
    const Case cases[] = {
        {{"--life"}, "после --life нужно значение"},
        {{"--life", kIssue, "--json", "--quiet"}, "после --json нужно значение"},
        {{"--life", kIssue, "--dist"}, "после --dist нужно значение"},
        {{"--life", kIssue, "--foo"}, "неизвестный параметр «--foo»"},
        {{"--life", kIssue, "-x"}, "неизвестный параметр «-x»"},
        {{"--life", kIssue, "extra.csv"}, "неизвестный параметр «extra.csv»"},
        {{"--life", kIssue, "--quiet=1"}, "неизвестный параметр «--quiet»"},
    };
    for (const Case &c : cases) {
        const CliRun r = runCli(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(r.errText().contains(QString::fromUtf8(c.message)))
            << r.errText().toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    const CliRun json = runCli({"--life", kIssue, "--json=-", "--dist=weibull2"});
    ASSERT_EQ(json.exitCode, 0) << json.errText().toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(json.out).object()["life"].toObject()["dist"].toString(),
              "weibull2");
}

TEST(LifeCli, ALimitIsNamedInTheJsonAndTheLocaleWordIsNotTheFile)
{
    // The three-parameter law on the issue's table has no maximum: limit with its message.
    const CliRun w3 = runCli({"--life", kIssue, "--dist", "weibull3", "--json", "-"});
    ASSERT_EQ(w3.exitCode, 0) << w3.errText().toStdString();
    const QJsonObject life = QJsonDocument::fromJson(w3.out).object()["life"].toObject();
    EXPECT_TRUE(life["limit"].toBool());
    EXPECT_TRUE(life["limit_message"].toString().contains(QStringLiteral("не достигается")));
    EXPECT_TRUE(life["params"].toObject()["gamma"].toObject()["limit"].toBool());
    EXPECT_TRUE(life["params"].toObject()["gamma"].toObject()["lr"].isNull());

    // "--life" standing alone before another option: the file is the other word.
    for (const QStringList &args : {QStringList{"--life", "--locale", "C", kIssue},
                                    QStringList{kIssue, "--life", "--locale", "C"}}) {
        const CliRun r = runCli(args);
        ASSERT_EQ(r.exitCode, 0) << args.join(u' ').toStdString() << r.errText().toStdString();
        EXPECT_TRUE(r.out.contains("528.5822")) << r.out.toStdString();
    }
    const CliRun none = runCli({"--life", "--locale", "C"});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.errText().contains(QStringLiteral("не указан файл данных")))
        << none.errText().toStdString();
}

TEST(LifeCli, AUtf16TableIsNamedAsSuch)
{
    QTemporaryDir dir;
    QFile in(kIssue);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(in.readAll());
    struct Case {
        const char *name;
        QByteArray bytes;
    };
    QByteArray le("\xFF\xFE"), bareLe;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        bareLe.append(char(u & 0xFF)).append(char(u >> 8));
    }
    le += bareLe;
    for (const Case &c : {Case{"le_bom.csv", le}, Case{"le_bare.csv", bareLe}}) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        const CliRun r = runCli({"--life", path});
        EXPECT_EQ(r.exitCode, 1) << c.name;
        EXPECT_TRUE(r.errText().contains(QStringLiteral("UTF-16"))) << r.errText().toStdString();
    }
}
