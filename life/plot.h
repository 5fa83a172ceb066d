// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The probability plot as data: plotting positions (Johnson's adjusted ranks with
 * Benard's approximation), the fitted line and its Fisher-matrix band, on the paper of the
 * fitted law (Weibull paper for the three-parameter Weibull and the gamma law).
 */
#include "fit.h"
#include "ranks.h"

namespace obr::life {

struct ProbabilityPlot {
    Paper paper = Paper::Weibull;
    QString title, xTitle, yTitle, positionsName;
    std::vector<PlotPoint> points;
    std::vector<double> lineT, lineF;               //!< the fitted distribution function
    std::vector<double> bandT, bandLow, bandHigh;   //!< F bounds at the fit's level
    double tMin = 1, tMax = 10, fMin = 0.01, fMax = 0.99;
};

ProbabilityPlot probabilityPlot(const LifeData &data, const LifeFit &fit);

}   // namespace obr::life
