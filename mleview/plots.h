// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The charts of the maximum-likelihood model as data: the probability plot, the
 * fit of each cause against its observed flow, and the observed against the expected
 * failures per histogram interval. chart/ only draws them.
 */
#include "mle/mle.h"
#include "model/chartdata.h"
#include "model/state.h"

#include <vector>

namespace obr::mleview {

/*! \brief The probability plot on Weibull paper in K·F form: ln(−ln(1 − M/K)) over ln t,
 *  M the nonparametric accumulated failures per product with each failure weighted by the
 *  inverse share still under warranty at its time, the fitted model as a straight line
 *  and the pointwise band of M(t) = K·F(t) of the fit (r.band) of the kind \a lr
 *  (likelihood ratio) or Fisher, on the paper of the estimated K; a side beyond the paper
 *  or left open is drawn at the axis's edge. Without a band only the model and the points
 *  are drawn. On a ridge, where K is not determined, ln M over ln t. The axes are
 *  labelled in hours and in percent of K (per-product counts on a ridge). \a s gives the
 *  failures, the fleet and the warranty end times of the empirical law. */
ChartData probabilityPlot(const State &s, const mle::MleResult &r, bool lr, QChar dec);

/*! \brief Failures per product per 100 h of each fitted cause: observed (points) and the
 *  cause's own model (curve), over the histogram intervals, in the cause palette. */
ChartData causesChart(const State &s, const std::vector<mle::CauseFit> &fits, QChar dec);

/*! \brief Recorded failures per histogram interval (bars) beside the model's expected
 *  counts and their Poisson 95% band. */
ChartData observedExpectedChart(const State &s, const mle::MleResult &r, QChar dec);

}   // namespace obr::mleview
