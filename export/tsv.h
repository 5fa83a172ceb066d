// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Cells of a grid as tab-separated text, the form spreadsheets paste as cells.
 */
#include <QString>
#include <QStringList>
#include <vector>

namespace obr {

//! Rows of cell texts, row by row.
using CellRows = std::vector<QStringList>;

/*! \brief A cell as it leaves the program: the padding blanks at both ends dropped, and
 *  tabs and line breaks inside it turned into blanks so that it stays one cell. */
QString exportCell(const QString &text);

/*! \brief Drops the rows at the end and the columns at the right that hold only empty
 *  cells (after exportCell), so a copied grid carries no trailing tabs or empty lines. */
CellRows trimEmptyEdges(CellRows rows);

/*! \brief The rows as text: cells (through exportCell) joined by a tab, each row ended
 *  by a line feed. */
QString tsvText(const CellRows &rows);

}   // namespace obr
