// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The stages of runCohorts one by one: the fit of one reduced table and the
 * forecast from a fit (tests and the benchmark call them directly).
 */
#include "cohort.h"
#include "model.h"

#include <atomic>
#include <functional>

namespace obr::cohort::detail {

//! Stops with obr::Cancelled when the flag is set.
void checkCancel(const std::atomic<bool> *cancel);

/*! \brief The maximum-likelihood fit of \a P with both kinds of bounds, the goodness of
 *  fit, the cells and the monitoring of table \a t (\a cause < 0: all causes) at
 *  P.dataEnd. \a part (may be empty) gets the share of the bounds done. */
Fit fitReduced(const Reduced &P, const NevadaTable &t, int cause, const Settings &s,
               const std::atomic<bool> *cancel = nullptr,
               const std::function<void(double)> &part = {});

//! The parameters of a fit on the log scale: ln A, ln B and (repeat claims) ln K.
std::vector<double> theta(const Fit &f);

/*! \brief Expected claims in each of \a horizon calendar periods after P.dataEnd at the
 *  parameters \a th (theta()): from the rows sold up to the data end (\a service), and
 *  from the rows of \a t sold after it together with \a futureUnits (units of the periods
 *  after the data end, or after the table's last row when that is later). */
void expectedClaims(const Reduced &P, const NevadaTable &t, int cause,
                    const std::vector<double> &th, int horizon,
                    const std::vector<double> &futureUnits, std::vector<double> &service,
                    std::vector<double> &sales);

/*! \brief The forecast of \a horizon periods from fit \a f: expected claims, plug-in and
 *  predictive intervals (s.draws draws of the parameters from the fit's asymptotic law,
 *  then Poisson counts; seed s.seed), the cost and the reserve. With \a observed the
 *  rows carry what came (backtesting). */
Forecast forecastFit(const Fit &f, const Reduced &P, const NevadaTable &t, int cause, int horizon,
                     const std::vector<double> &futureUnits, const Settings &s, bool observed,
                     const std::atomic<bool> *cancel = nullptr);

//! The future units of each of \a horizon periods after the data end, by the settings.
std::vector<double> futureUnits(const NevadaTable &t, int dataEnd, int horizon, const Settings &s);

//! The default horizon: until the warranty of the last cohort ends (ten years at most).
int defaultHorizon(const NevadaTable &t, int dataEnd, const Settings &s);

}   // namespace obr::cohort::detail
