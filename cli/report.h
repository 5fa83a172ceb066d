// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The text outputs of obrotk-cli: the results table as aligned text, the
 * nonparametric half-fleet times, and the JSON object of the whole analysis.
 */
#include "cli/analysis.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace obr::cli {

/*! \brief The cells of Result_Grid, columns 0 up to the data column, each cell without
 *  its padding spaces: rows[r][c]. */
std::vector<QStringList> tableCells(const ResultsTable &t);

//! The heading (Label10) and the table, columns aligned with blanks, one line per row.
QString tableText(const ResultsView &v);

//! The labels of the half-fleet times of the nonparametric window, one per line.
QString nonparamText(const NonparamResult &r);

/*! \brief A double as JSON text that reads back to the same double (shortest form);
 *  "null" for a value that is not finite. */
QByteArray jsonNumber(double v);
//! A string as a JSON string literal.
QByteArray jsonString(const QString &s);

//! The JSON object of the analysis (UTF-8, ends with a line break).
QByteArray analysisJson(const Analysis &a, const QString &file);

} // namespace obr::cli
