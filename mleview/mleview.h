// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The maximum-likelihood fit as the window and the report show it: the texts of
 * the bounds table and of the causes table. Plain data in, texts out; no widget.
 */
#include "mle/mle.h"

#include <QChar>
#include <QString>
#include <optional>
#include <vector>

namespace obr::mleview {

//! A table of texts: the header and the rows, each as wide as the header.
struct TextTable {
    std::vector<QString> header;
    std::vector<std::vector<QString>> rows;
};

//! The bounds table with the lines above it.
struct BoundsView {
    QString heading;   //!< level, kind of bounds, warranty law, failures
    QString message;   //!< the ridge and weak-warranty messages; empty when none
    TextTable table;   //!< figure, estimate, lower, upper bound
};

/*! \brief A figure as shown: four significant digits, whole numbers from 1000 on, the
 *  decimal separator \a dec. Never NaN or infinity: those give the undetermined text. */
QString fmtNumber(double v, QChar dec);
//! One side of a bound: the number, or "не ограничена" when the side is open.
QString fmtBound(const std::optional<double> &v, QChar dec);
//! The level as a percentage: 0.95 -> "95", 0.995 -> "99,5".
QString fmtLevel(double level, QChar dec);

//! The bounds the window shows: likelihood ratio (\a lr) or Fisher.
const mle::Bound &shownBound(const mle::Figure &f, bool lr);

//! The Russian name of a figure key of the fit ("B", "t_0.5", ...), the key itself otherwise.
QString figureName(const QString &key);

//! Rows of the fit's statistics that close the bounds table (log-likelihood ... Kolmogorov).
constexpr int kFitStatisticsRows = 6;

//! The bounds table of a fit with the kind of bounds \a lr (likelihood ratio) or Fisher.
BoundsView boundsView(const mle::MleResult &r, bool lr, QChar dec);

/*! \brief The bounds table with both kinds side by side (figure, estimate, Fisher low and
 *  high, likelihood-ratio low and high; the fit's statistics after them), as the command
 *  line prints it. */
BoundsView bothBoundsView(const mle::MleResult &r, QChar dec);

/*! \brief What the bounds of a cause's shape say: early failures (the upper bound of B
 *  below 1), wear-out (the lower bound above 1) or random (1 inside the bounds); an open
 *  side counts as 0 below and unbounded above. */
QString causeKind(const mle::Bound &B);

//! "estimate [low; high]" of one figure of a fit, with the chosen kind of bounds.
QString withBounds(const mle::MleResult &r, const QString &key, bool lr, QChar dec);

/*! \brief One row per fitted cause: name, failures, B, the 0.1-time and the failures per
 *  product within tGar with their bounds, and the cause's character. \a names maps a cause
 *  index to its name (index 0: not established). */
TextTable causesTable(const std::vector<mle::CauseFit> &fits, const std::vector<QString> &names,
                      bool lr, QChar dec);

}   // namespace obr::mleview
