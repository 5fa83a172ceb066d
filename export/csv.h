// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The CSV file of a calculation: the results table, the failure histogram with
 * each fitted model's expected counts, and the nonparametric series. UTF-8 with a byte
 * order mark, so that spreadsheets read the Cyrillic texts.
 */
#include "export/tsv.h"
#include "model/numfmt.h"
#include "model/state.h"
#include "nonparam/out_graph_2_2015.h"
#include "results/out_graph2015.h"

#include <QByteArray>
#include <optional>

namespace obr {

/*! \brief The field separator: ';' where the decimal separator is a comma (as
 *  spreadsheets of such locales expect), ',' otherwise. */
QChar csvSeparator(const NumLocale &nl);

//! A number in a CSV cell: up to 12 significant digits with the locale's separator.
QString csvNumber(double v, const NumLocale &nl);

/*! \brief The rows as CSV text: cells through exportCell, quoted where they hold the
 *  separator or a quote; rows ended by CR LF. */
QString csvText(const CellRows &rows, QChar separator);

/*! \brief The nonparametric analysis of the state as it stands (its histogram); none
 *  when it cannot run. The state is left as it was. */
std::optional<NonparamResult> nonparamOf(State &s, const NumLocale &nl);

/*! \brief The CSV file: three sections, each a heading line, a header row and its rows,
 *  separated by an empty line. \a table is what the results window shows; \a nonparam
 *  may be null (the section is then left out). Numbers use the separator of \a nl. */
QByteArray resultsCsv(const State &s, const ResultsTable &table, const NonparamResult *nonparam,
                      const NumLocale &nl);

}   // namespace obr
