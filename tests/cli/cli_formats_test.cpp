// SPDX-License-Identifier: MIT
// obrotk-cli's chart files in each format and its version.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/cli_process.h"

namespace {

using obr::test::CliRun;
using obr::test::runCli;

const QStringList kCharts = {QStringLiteral("Form2_Chart1"), QStringLiteral("Form2_Chart2"),
                             QStringLiteral("Form2_Chart3"), QStringLiteral("ExpandForm_Chart1")};

}   // namespace

TEST(CliFormats, EachFormatWritesEveryChart)
{
    int argc = 1;
    char name[] = "cli_formats_test";
    char *argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);   // QSvgRenderer and QImage readers

    QTemporaryDir dir;
    for (const QString &format :
         {QStringLiteral("svg"), QStringLiteral("pdf"), QStringLiteral("png")}) {
        const QString out = dir.filePath(format);
        const CliRun r =
            runCli({QStringLiteral(OBROTK_EXAMPLES "/sample.fdt"), QStringLiteral("--quiet"),
                    QStringLiteral("--k-spiral"), QStringLiteral("1.05"),
                    QStringLiteral("--charts"), out, QStringLiteral("--chart-format"), format});
        ASSERT_EQ(r.exitCode, 0) << r.errText().toStdString();
        EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), kCharts.size()) << format.toStdString();
        for (const QString &c : kCharts) {
            const QString path = QDir(out).filePath(c + u'.' + format);
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
            const QByteArray bytes = f.readAll();
            if (format == u"svg") {
                QSvgRenderer svg(bytes);
                EXPECT_TRUE(svg.isValid()) << path.toStdString();
                EXPECT_FALSE(svg.viewBox().isEmpty());
            } else if (format == u"pdf") {
                EXPECT_TRUE(bytes.startsWith("%PDF-")) << path.toStdString();
                EXPECT_GT(bytes.size(), 1000);
            } else {
                EXPECT_FALSE(QImage::fromData(bytes, "PNG").isNull()) << path.toStdString();
            }
        }
    }
}

TEST(CliFormats, VersionAndABadFormat)
{
    const CliRun v = runCli({QStringLiteral("--version")});
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_TRUE(v.outText().startsWith(QStringLiteral("obrotk-cli "))) << v.outText().toStdString();
    EXPECT_TRUE(v.err.isEmpty());

    const CliRun bad = runCli({QStringLiteral(OBROTK_EXAMPLES "/sample.fdt"),
                               QStringLiteral("--chart-format"), QStringLiteral("jpg")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(
        bad.errText().contains(QStringLiteral("--chart-format: «jpg» is not png, svg or pdf")))
        << bad.errText().toStdString();
}
