// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief `obrotk-cli --cohorts TABLE` (or `--claims LIST --sales TABLE`): the fit of
 * warranty cohorts, the forecast of claims and cost by calendar period, the flagged
 * batches.
 */
#include "cohort/cohort.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace obr::cli {

struct CohortCliOptions {
    QString table;               //!< the Nevada table
    QString claims, sales;       //!< or a claims list with a sales table
    QString dataEnd, backtest;   //!< period labels or numbers, resolved against the table
    QString usageLaw;            //!< "lognormal:MEDIAN:LOGSD", "sample:FILE" or "claims"
    cohort::Settings settings;
    QString json, charts, pdf, locale;
    bool quiet = false;
    bool help = false;
};

//! The files --charts writes (the cost chart only with a cost per claim).
QStringList cohortChartNames();

//! Whether the command line asks for the cohort analysis.
bool isCohortCommand(const QStringList &args);
//! Usage lines of the cohort analysis.
QString cohortUsageText();
//! Parses the options; throws UsageError (cli/options.h) for a command line that cannot run.
CohortCliOptions parseCohortOptions(const QStringList &args, const QLocale &userLocale);

//! The table read (or built) and the settings resolved against it.
struct CohortInput {
    cohort::NevadaTable table;
    cohort::Settings settings;
    QString source;   //!< the file names, for the outputs
};
//! Reads the files and resolves the periods and the usage law; throws UserError.
CohortInput readCohortInput(const CohortCliOptions &o);

//! The text report (numbers with the locale's decimal separator).
QString cohortText(const cohort::CohortResult &r, const cohort::NevadaTable &t,
                   const QLocale &locale);
//! One JSON object: "file" and the "cohorts" object.
QByteArray cohortJson(const cohort::CohortResult &r, const cohort::NevadaTable &t,
                      const QString &file);

//! The whole command: returns the exit status (0, 1 data error, 2 usage error).
int cohortMain(const QStringList &args, int argc, char **argv);

}   // namespace obr::cli
