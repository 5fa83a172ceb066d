// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Number and row texts of life-data results (tables of the window and the command
 * line), with the locale's decimal separator.
 */
#include "fit.h"

#include <QLocale>
#include <QString>
#include <vector>

namespace obr::life {

//! Seven significant digits; exponent form for very small or large numbers.
QString lifeNumber(const QLocale &loc, double v);
//! "[low; high]", "не огр." for an unbounded side, "—" when there is no bound.
QString boundsText(const QLocale &loc, const std::optional<Bounds> &b);
//! The row title of a parameter ("Масштаб η, ч", ...).
QString paramTitle(Dist d, const QString &key);
QString bLifeTitle(const QLocale &loc, const Figure &f);
QString reliabilityTitle(const QLocale &loc, const Figure &f);

//! One row of a fit's figures: title, estimate, Fisher bounds, likelihood-ratio bounds.
struct FigureRow {
    QString title, value, fisher, lr;
};
//! The parameters, B-lives and reliabilities of a fit, in the order both tables list them.
std::vector<FigureRow> figureRows(const QLocale &loc, const LifeFit &f);

}   // namespace obr::life
