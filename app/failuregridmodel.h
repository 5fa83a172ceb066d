// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The grid Mass_List as a view over the loaded failure records: texts are made
 * on demand from the state, so a file of a million failures is listed at once.
 */
#include "io/loaders.h"
#include "model/state.h"

#include <QAbstractTableModel>
#include <QHash>
#include <vector>

namespace obr {

class FailureGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 4;
    //! Empty body rows of the grid before the first load (25 rows with the header).
    static constexpr int kDesignRows = 24;

    explicit FailureGridModel(QObject *parent = nullptr);

    /*! \brief Lists the records of \a s (one row per failure, in time order) with the
     *  threshold \a markers; numbers use the separator \a dec. Earlier rows and edits go. */
    void setRecords(const State *s, std::vector<Marker> markers, QChar dec);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    //! Cells are editable; what the user types is kept for display only.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    //! The column headers after a load.
    static QString header(int column);

private:
    QString cellText(int row, int column) const;

    const State *m_state = nullptr;
    std::vector<Marker> m_markers;
    QChar m_dec = u'.';
    int m_rows = kDesignRows;
    bool m_loaded = false;
    QHash<quint64, QString> m_edits;
};

}   // namespace obr
