// SPDX-License-Identifier: MIT
#include "tablecopy.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QTableView>

namespace obr {

CellRows viewCells(const QAbstractItemView *view)
{
    const QAbstractItemModel *m = view->model();
    if (!m)
        return {};
    const QItemSelectionModel *sel = view->selectionModel();
    const QModelIndexList picked = sel ? sel->selectedIndexes() : QModelIndexList();
    CellRows rows;
    if (picked.isEmpty()) {
        auto *table = qobject_cast<const QTableView *>(view);
        if (table && !table->horizontalHeader()->isHidden()) {
            QStringList head;
            for (int c = 0; c < m->columnCount(); ++c)
                head << m->headerData(c, Qt::Horizontal).toString();
            rows.push_back(head);
        }
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < m->columnCount(); ++c)
                row << m->index(r, c).data().toString();
            rows.push_back(row);
        }
        return trimEmptyEdges(rows);
    }
    int top = picked.first().row(), bottom = top, left = picked.first().column(), right = left;
    for (const QModelIndex &i : picked) {
        top = std::min(top, i.row());
        bottom = std::max(bottom, i.row());
        left = std::min(left, i.column());
        right = std::max(right, i.column());
    }
    // A selection of whole columns (Ctrl+A among them) keeps the captions of its columns,
    // as the copy of the whole grid does.
    auto *table = qobject_cast<const QTableView *>(view);
    const bool head =
        table && !table->horizontalHeader()->isHidden() && top == 0 && bottom == m->rowCount() - 1;
    const int first = head ? 1 : 0;
    rows.assign(size_t(bottom - top + 1 + first), QStringList());
    for (QStringList &r : rows)
        for (int c = left; c <= right; ++c)
            r << QString();
    if (head)
        for (int c = left; c <= right; ++c)
            rows[0][c - left] = m->headerData(c, Qt::Horizontal).toString();
    for (const QModelIndex &i : picked)
        rows[size_t(i.row() - top + first)][i.column() - left] = i.data().toString();
    return trimEmptyEdges(rows);
}

void copyViewCells(const QAbstractItemView *view)
{
    QApplication::clipboard()->setText(tsvText(viewCells(view)));
}

namespace {

//! Takes Ctrl+C from the view itself, which would otherwise copy the current cell only.
class CopyKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() == QEvent::ShortcutOverride || e->type() == QEvent::KeyPress) {
            auto *ke = static_cast<QKeyEvent *>(e);
            if (ke->matches(QKeySequence::Copy)) {
                if (e->type() == QEvent::KeyPress)
                    copyViewCells(static_cast<QAbstractItemView *>(watched));
                e->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, e);
    }
};

}   // namespace

void installTableCopy(QAbstractItemView *view)
{
    auto *copy = new QAction(QStringLiteral("Копировать"), view);
    copy->setObjectName(QStringLiteral("copyCellsAction"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutVisibleInContextMenu(true);
    // The key itself is taken by the filter; the action's shortcut is shown in the menu.
    copy->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(copy, &QAction::triggered, view, [view] { copyViewCells(view); });
    view->installEventFilter(new CopyKeyFilter(view));
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(view, &QWidget::customContextMenuRequested, view,
                     [view, copy](const QPoint &pos) {
                         QMenu menu(view);
                         menu.addAction(copy);
                         menu.exec(view->viewport()->mapToGlobal(pos));
                     });
}

}   // namespace obr
