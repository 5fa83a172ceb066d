// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Copying a grid as cells: Ctrl+C and a context menu «Копировать» put the
 * selection (or the whole grid) on the clipboard as tab-separated text, without the
 * padding blanks of the cells, so that it pastes into a spreadsheet as cells.
 */
#include "export/tsv.h"

class QAbstractItemView;

namespace obr {

/*! \brief The cells to copy: the rectangle around the selection (cells inside it that are
 *  not selected stay empty), or, with nothing selected, every cell with the column
 *  headers first when the view shows them. Empty rows at the end and empty columns at the
 *  right are left out. Texts are the view's display texts, numbers already written with
 *  the locale's separator. */
CellRows viewCells(const QAbstractItemView *view);

//! Puts viewCells(view) on the clipboard as tab-separated text.
void copyViewCells(const QAbstractItemView *view);

/*! \brief Gives the view the copy command: Ctrl+C while it has the focus (an open cell
 *  editor keeps its own copy) and a context menu «Копировать». The action is a child of
 *  the view named copyCellsAction. */
void installTableCopy(QAbstractItemView *view);

}   // namespace obr
