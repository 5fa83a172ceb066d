// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The log texts of the calculation driver, each written once.
 */
#include "results/results_texts.h"

#include <QString>
#include <QStringList>

namespace obr::ctxt {

//! The genetic model of earlier data is not shown beside the loaded ones.
inline const QString genetSetAside =
    QStringLiteral("Генетическая модель получена по ранее загруженным данным и не показывается: "
                   "запустите генетический алгоритм заново");
using rtxt::undeterminedMark;
//! The log line of the maximum-likelihood fit's undetermined figures.
inline QString mleUndetermined(const QStringList &names)
{
    return QStringLiteral("Макс. правдоподобия: данные не определяют ") +
           names.join(QStringLiteral(", ")) + QStringLiteral(" — в таблице отмечены") +
           undeterminedMark;
}
//! The warranty law a maximum-likelihood fit used.
inline QString mleLaw(bool empirical, const QString &file)
{
    return empirical ? QStringLiteral("Макс. правдоподобия: закон гарантии по файлу сроков ") + file
                     : QStringLiteral("Макс. правдоподобия: нормальный закон гарантии");
}

}   // namespace obr::ctxt
