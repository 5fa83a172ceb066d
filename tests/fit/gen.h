// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Generated failure data of the kind the fits are made for: a fleet whose products
 * fail K times on average by a Weibull law, each failure recorded only while its product
 * is still under warranty (warranty end times normal). Deterministic for a seed.
 */
#include "model/state.h"

#include <cstdint>

namespace obr::gen {

struct Params {
    double A = 0;        //!< Weibull coefficient of F(t) = 1 - exp(-A t^B)
    double B = 1.4;      //!< Weibull shape
    double K = 1.2;      //!< failures per product on average over its whole life
    double Sred = 1000;  //!< warranty mean, hours
    double SKO = 300;    //!< warranty deviation, hours
    double step = 0.1;   //!< time resolution of the records, hours
};

//! Default parameters: B 1.4 and a scale of 4000 h.
Params defaults();

//! A state with MasProbl, the fleet figures, Sred, SKO and the histogram filled, holding
//! about \a failures recorded failures.
State makeState(int failures, uint64_t seed, const Params &p = defaults());

} // namespace obr::gen
