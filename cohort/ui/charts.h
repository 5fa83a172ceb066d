// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The cohort window's charts as data: claims per calendar period (observed bars,
 * the model's expected line, the forecast with its prediction band and the plug-in band
 * dashed), the cumulative cost with its band and the reserve, and the backtest against
 * what came. Drawn by ChartWidget.
 */
#include "cohort/cohort.h"
#include "model/chartdata.h"

namespace obr::cohortui {

//! Claims per calendar period from the first sale to the horizon.
ChartData claimsChart(const cohort::CohortResult &r, QChar dec);
//! The cumulative cost over the forecast periods; an empty chart without a cost.
ChartData costChart(const cohort::CohortResult &r, QChar dec);
//! The backtest: what came in every period, the refit's expected and its forecast band.
ChartData backtestChart(const cohort::CohortResult &r, QChar dec);

//! A number for the user: up to \a digits significant digits, the locale's separator.
QString shown(double v, QChar dec, int digits = 5);
//! A level as a percent ("90 %").
QString levelText(double level, QChar dec);

}   // namespace obr::cohortui
