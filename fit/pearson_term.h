// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The one term of the Pearson-type criteria: the plain objective (Pirson) and the
 * walking engine both add these, so the two give the same value bit for bit.
 */
#include "fits.h"

namespace obr::detail {

/*! \brief The term of one histogram interval with \a O observed and \a Ei expected
 *  failures, \a P the interval's Weibull probability: the squared relative deviation
 *  (Standard), the squared deviation (Spec1) or the squared deviation weighted by the
 *  probability (Spec2). With \a c known at compile time the choice folds away. */
inline double pearsonTerm(Criterion c, double O, double Ei, double P)
{
    double r;
    switch (c) {
    case Criterion::Standard:
        r = (O - Ei) / Ei;
        break;
    case Criterion::Spec1:
        r = O - Ei;
        break;
    default:
        r = (O - Ei) * P;
        break;
    }
    return r * r;
}

//! The criterion from its sum of terms \a S, the recorded failures \a kol and the model's
//! total \a E: the terms plus the squared miss of the total.
inline double pearsonTotal(double S, double kol, double E)
{
    const double d = kol - E;
    return S + d * d;
}

}   // namespace obr::detail
