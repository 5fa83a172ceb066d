// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The text outputs of obrotk-cli: the results table as aligned text, the
 * nonparametric half-fleet times, and the JSON object of the whole analysis.
 */
#include "cli/analysis.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
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
//! The bounds table of the maximum-likelihood fit with both kinds of bounds, its messages and
//! the goodness of fit, as aligned text after the results table.
QString mleText(const mle::MleResult &r, QChar dec);

//! A double as a JSON value; null for a value that is not finite (JSON has no such numbers).
QJsonValue jsonNumber(double v);

//! The JSON object of the analysis.
QJsonObject analysisObject(const Analysis &a, const QString &file);
//! The same as UTF-8 text, indented, ending with a line break.
QByteArray analysisJson(const Analysis &a, const QString &file);

}   // namespace obr::cli
