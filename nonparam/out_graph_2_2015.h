// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The nonparametric analysis: the observed failure flow by cause, the accumulated
 * failures with and without the correction for products that have left warranty
 * observation, and the times by which half of the fleet has failed. No model is fitted.
 *
 * Everything the window Form3 shows is computed here as texts and chart data; the
 * window only puts them on screen.
 */
#include "model/chartdata.h"
#include "model/numfmt.h"
#include "model/state.h"
#include "stats/stat2018.h"

#include <QString>
#include <vector>

namespace obr {

//! The texts of Form3's labels.
struct NonparamTexts {
    QString Label10;   //!< the data set's comment
    QString Label2;    //!< half-fleet time without censoring correction
    QString Label3;    //!< half-fleet time with censoring correction
    QString Label5;    //!< mean warranty time
    QString Label6;    //!< deviation of the warranty time
    QString Label7;    //!< fleet size
    QString Label8;    //!< declared number of failures
    //! Explanations shown on pointing at Label2 and Label3; empty when a time was found.
    QString hint2, hint3;
};

//! Everything one analysis puts into Form3.
struct NonparamResult {
    HalfFleetTimes times;
    NonparamTexts texts;
    ChartData chart;              //!< Chart3
    std::vector<int> barCauses;   //!< cause index of each bar series, in chart order
};

/*! \brief Chart3 as designed: titles, axes and the four designed series without points
 *  (Series4, Series3, Series1, Series2 in this order). */
ChartData chart3Design();

/*! \brief Runs the analysis on the histogram already built in \a s (obr::hist).
 *
 *  Writes s.Sum_PrichRow (failures per cause over all intervals) and s.F_OutGar (share of
 *  products out of observation at each interval's end); reads the loaded data, Sred, SKO
 *  and Hist_Arr. Numbers in texts and marks use the separators of \a nl.
 *
 *  Throws UserError, leaving \a s unchanged, when no failures are loaded, the histogram
 *  is empty, the reduced fleet is not positive or the warranty deviation is not
 *  positive. The share axis runs from 0 to 100 %, higher only when the plain accumulated
 *  share passes 100 %. Where every product has left observation by an interval's end, or
 *  the corrected share would pass the top of its axis, the corrected series gets no point
 *  for that interval (and, the share only growing with time, for none after it). */
NonparamResult Histogram_Exp(State &s, const NumLocale &nl);

}   // namespace obr
