// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The genetic optimiser's criterion over a histogram.
 */
#include "model/state.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace obr {

// ---------------------------------------------------------------------------------
// Objective

/*! The value given to a candidate outside the model's domain (A <= 0, B <= 0, a
 *  deviation <= 0) or whose objective is not finite: it sorts after every real one and
 *  is never taken as an improvement. */
constexpr double kWorstObjective = std::numeric_limits<double>::max();

/*! \brief The objective for explicit parameters over a histogram, writing F_norm, F_Weib,
 *  Kol_F_priv (one entry per interval), Kol_Nakopl and SKO_out into \a M.
 *  Returns kWorstObjective (arrays zeroed) for parameters outside the model's domain. */
double Pirson_ZFGen(const std::vector<Hist_Rec> &Hist_Arr, double Izd_Prived, int32_t Kol_izw,
                    Mod_Weib &M, double A, double B, double k_pwt, double Mu, double Sig);

}   // namespace obr
