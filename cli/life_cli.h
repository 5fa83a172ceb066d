// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief `obrotk-cli --life FILE`: the analysis of life data with suspensions.
 */
#include "life/fit.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace obr::cli {

struct LifeCliOptions {
    QString file;
    bool all = false;
    life::LifeOptions fit;
    QString json, charts, pdf, locale;
    bool quiet = false;
    bool help = false;
};

//! The files --charts writes in the life-data analysis.
QStringList lifeChartNames();
//! Whether the command line asks for the life-data analysis.
bool isLifeCommand(const QStringList &args);
//! Usage lines of the life-data analysis.
QString lifeUsageText();
//! Parses the options; throws UsageError (cli/options.h) for a command line that cannot run.
LifeCliOptions parseLifeOptions(const QStringList &args, const QLocale &userLocale);

//! The result of one run: one fit, or all ranked with the best fitted in full.
struct LifeRun {
    bool all = false;
    life::LifeFit fit;
    std::vector<life::RankEntry> ranking;
    bool recommended = true;   //!< all: whether some fit is recommended
};
LifeRun runLife(const LifeCliOptions &o, const QByteArray &fileBytes);

//! The text table (numbers with the locale's decimal separator).
QString lifeText(const LifeRun &r, const QLocale &locale);
//! One JSON object with the `life` object.
QByteArray lifeJson(const LifeRun &r, const QString &file);

//! The whole command: returns the exit status (0, 1 data error, 2 usage error).
int lifeMain(const QStringList &args, int argc, char **argv);

}   // namespace obr::cli
