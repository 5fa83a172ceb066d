// SPDX-License-Identifier: MIT
#include "failuregridmodel.h"

namespace obr {

namespace {
quint64 cellKey(int row, int column) { return (quint64(quint32(row)) << 8) | quint64(column); }
}   // namespace

FailureGridModel::FailureGridModel(QObject *parent) : QAbstractTableModel(parent) {}

QString FailureGridModel::header(int column)
{
    switch (column) {
    case 0:
        return QStringLiteral(" № отказа");
    case 1:
        return QStringLiteral("Наработка, час");
    case 2:
        return QStringLiteral("Источник отказа");
    case 3:
        return QStringLiteral("Что ремонтировалось или заменено");
    default:
        return {};
    }
}

void FailureGridModel::setRecords(const State *s, std::vector<Marker> markers, QChar dec)
{
    beginResetModel();
    m_state = s;
    m_markers = std::move(markers);
    m_dec = dec;
    m_rows = s ? int(s->MasProbl.size()) : 0;
    m_loaded = true;
    m_edits.clear();
    endResetModel();
}

int FailureGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int FailureGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QString FailureGridModel::cellText(int row, int column) const
{
    if (!m_loaded || !m_state || row < 0 || size_t(row) >= m_state->MasProbl.size())
        return {};
    const GridRow g = gridRow(*m_state, m_markers, size_t(row), m_dec);
    switch (column) {
    case 0:
        return g.number;
    case 1:
        return g.time;
    case 2:
        return g.cause;
    case 3:
        return g.comment;
    default:
        return {};
    }
}

QVariant FailureGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const auto edited = m_edits.constFind(cellKey(index.row(), index.column()));
    if (edited != m_edits.constEnd())
        return *edited;
    return cellText(index.row(), index.column());
}

QVariant FailureGridModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (o == Qt::Horizontal)
        return m_loaded ? header(section) : QString();
    return section + 1;
}

Qt::ItemFlags FailureGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool FailureGridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    m_edits.insert(cellKey(index.row(), index.column()), value.toString());
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

}   // namespace obr
