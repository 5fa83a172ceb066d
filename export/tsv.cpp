// SPDX-License-Identifier: MIT
#include "tsv.h"

namespace obr {

QString exportCell(const QString &text)
{
    QString t = text;
    for (QChar &c : t)
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    return t.trimmed();
}

CellRows trimEmptyEdges(CellRows rows)
{
    auto emptyRow = [](const QStringList &r) {
        for (const QString &c : r)
            if (!exportCell(c).isEmpty())
                return false;
        return true;
    };
    while (!rows.empty() && emptyRow(rows.back()))
        rows.pop_back();
    qsizetype width = 0;
    for (const QStringList &r : rows)
        for (qsizetype c = r.size(); c > width; --c)
            if (!exportCell(r[c - 1]).isEmpty()) {
                width = c;
                break;
            }
    for (QStringList &r : rows)
        while (r.size() > width)
            r.removeLast();
    return rows;
}

QString tsvText(const CellRows &rows)
{
    QString out;
    for (const QStringList &r : rows) {
        for (qsizetype c = 0; c < r.size(); ++c) {
            if (c)
                out += u'\t';
            out += exportCell(r[c]);
        }
        out += u'\n';
    }
    return out;
}

}   // namespace obr
