// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Plotting positions of failures among suspensions: Johnson's adjusted ranks with
 * Benard's median-rank approximation, and the probability papers.
 */
#include "dist.h"
#include "lifedata.h"

#include <optional>
#include <vector>

namespace obr::life {

//! One row of the data sorted by time, with the plotting position of a failure row.
struct PositionRow {
    Unit unit;
    double plotTime = 0;                  //!< the time plotted (interval midpoint)
    std::optional<double> adjustedRank;   //!< of the last unit of the row
    std::optional<double> position;       //!< F by Benard's formula for that rank
};

/*! \brief Rows sorted by time (failures before suspensions at equal times) with Johnson's
 * adjusted rank and Benard's position for every failure row. An interval counts as a
 * failure at its midpoint. */
std::vector<PositionRow> plottingPositions(const LifeData &data);

//! Every failed unit's (time, position), counts expanded (at most maxPoints, thinned evenly).
struct PlotPoint {
    double t = 0;
    double F = 0;
};
std::vector<PlotPoint> unitPositions(const LifeData &data, size_t maxPoints = 0);

enum class Paper { Weibull, Lognormal, Normal, Exponential };
Paper paperFor(Dist d);
//! Horizontal coordinate on the paper: ln t or t.
double paperX(Paper p, double t);
//! Vertical coordinate on the paper for the probability F.
double paperY(Paper p, double F);
//! The probability at a vertical coordinate.
double paperF(Paper p, double y);
bool paperLogTime(Paper p);

}   // namespace obr::life
