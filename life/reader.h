// SPDX-License-Identifier: MIT
#pragma once
#include "lifedata.h"

#include <QByteArray>
#include <QString>

namespace obr::life {

/*! \brief Reads a life-data table (CSV, semicolon- or tab-separated; UTF-8 with or without
 * BOM, or Windows-1251; decimal point or comma) with a header row.
 *
 * Columns are found by name (Russian or English, any case): the time, or the start and
 * end of an interval; the state (F/S, 1/0, «отказ»/«приост.»); an optional count. Throws
 * obr::UserError naming every line that cannot be read; nothing is returned then.
 */
LifeData readLifeTable(const QByteArray &bytes);

/*! \brief The same for text already decoded (a paste from a spreadsheet). Line numbers in
 * messages and records are the text's own plus \a lineOffset (a grid under its header). */
LifeData parseLifeText(const QString &text, int lineOffset = 0);

}   // namespace obr::life
