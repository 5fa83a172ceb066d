// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Generated failure data of the kind the fits are made for: a fleet whose products
 * fail K times on average by a Weibull law, each failure recorded only while its product
 * is still under warranty (warranty end times normal). Deterministic for a seed.
 */
#include "model/state.h"

#include <cstdint>
#include <vector>

namespace obr::gen {

struct Params {
    double A = 0;         //!< Weibull coefficient of F(t) = 1 - exp(-A t^B)
    double B = 1.4;       //!< Weibull shape
    double K = 1.2;       //!< failures per product on average over its whole life
    double Sred = 1000;   //!< warranty mean, hours
    double SKO = 300;     //!< warranty deviation, hours
    double step = 0.1;    //!< time resolution of the records, hours
    //! Share of the recorded failures whose records the file leaves out: the header counts
    //! them, the table does not list them (taken at random from all recorded failures).
    double undocumented = 0;
    //! Warranty mean and deviation the header gives, when they differ from the truth
    //! (0: the true Sred or SKO).
    double headerSred = 0, headerSko = 0;
};

//! Default parameters: B 1.4 and a scale of 4000 h.
Params defaults();

//! A named generated fleet of the shapes users' files have.
struct Fleet {
    const char *name;
    int failures;
    Params p;
};

/*! Fleets of the shapes the fits meet in users' files: shapes B from 0.5 to 4, 30 to
 *  10^4 failures, fleets far larger than their failures, K_powtor from 0.15 to 3, a share
 *  of undocumented failures, a header's warranty figures off the truth. */
std::vector<Fleet> fleets();

//! A state with MasProbl, the fleet figures, Sred, SKO and the histogram filled, holding
//! about \a failures recorded failures.
State makeState(int failures, uint64_t seed, const Params &p = defaults());

}   // namespace obr::gen
