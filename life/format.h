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

enum class FigureKind { Param, BLife, Reliability };
//! The short caption of a figure in messages: η, β, γ, B10, R(500 ч).
QString figureCaption(const QLocale &loc, Dist d, const Figure &f, FigureKind kind);

//! One row of a fit's figures: title, estimate, Fisher bounds, likelihood-ratio bounds.
struct FigureRow {
    QString title, value, fisher, lr;
};
//! The parameters, B-lives and reliabilities of a fit, in the order both tables list them.
//! An undetermined figure is marked «не определ.», a limit fit's figures say so, a time
//! bound below zero reads "≤ 0 (value)".
std::vector<FigureRow> figureRows(const QLocale &loc, const LifeFit &f);
/*! Every note of a fit, in the order shown: why it has no maximum or is flagged, the
 *  core's notes, the profiles that do not close and the bounds below zero (by their
 *  captions), and the conventions of the scale that apply. */
std::vector<QString> fitNotes(const QLocale &loc, const LifeFit &f);
//! The mark after a law in the ranking of all fits (best, only fitted, not recommended).
QString rankMark(const RankEntry &e);

}   // namespace obr::life
