// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Straight, step-by-step versions of the fits: every walk evaluates every step,
 * nothing is cached. The fast fits must publish exactly what these publish. The same
 * mends apply (a coefficient of 1 or less is refused, a refused spiral step ends the
 * walk like a rise, a value that is not finite ends the fit).
 */
#include "fit/fits.h"
#include "model/state.h"

#include <cstdint>

namespace obr::ref {

struct Stats {
    int64_t evaluations = 0;
    int64_t passes = 0;
    double seconds = 0;
};

double Pirson(const State &s, double A, double B, double k_pwt, double Mu, double Sig,
              Mod_Weib &Mpir, Criterion c);
double Smirnow(const State &s, const std::vector<double> &F_norm, double A, double B,
               double K);

void SpirSp_Execute(State &s, double KdivSpir, Criterion c, Stats *st = nullptr);
void Podbor_Weib_Pirson(State &s, double &Arez, double &Brez, double Kdiv_Pirs, Criterion c,
                        Stats *st = nullptr);
void Podbor_Weib_Smirnow(State &s, double &Arez, double &Brez, double KdivSm,
                         Stats *st = nullptr);

} // namespace obr::ref
