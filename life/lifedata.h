// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Life data with suspensions as plain records: each row is a group of identical
 * units that failed at a known time, were removed unfailed (a suspension) or were found
 * failed at an inspection (an interval; from 0 when the unit was failed at the first one).
 */
#include <vector>

namespace obr::life {

enum class Obs { Failure, Suspension, Interval };

struct Unit {
    Obs kind = Obs::Failure;
    double low = 0;     //!< failure or suspension time; interval start (0 = left-censored)
    double high = 0;    //!< interval end; equals low for failures and suspensions
    double count = 1;   //!< number of identical units (a whole number >= 1)
    int line = 0;       //!< line in the source table (0 when not read from a file)
};

struct LifeData {
    std::vector<Unit> units;
};

//! Units of each kind, counts included.
struct Tally {
    double failures = 0;
    double suspensions = 0;
    double intervals = 0;
    double total() const { return failures + suspensions + intervals; }
};

inline Tally tally(const LifeData &d)
{
    Tally t;
    for (const Unit &u : d.units) {
        if (u.kind == Obs::Failure)
            t.failures += u.count;
        else if (u.kind == Obs::Suspension)
            t.suspensions += u.count;
        else
            t.intervals += u.count;
    }
    return t;
}

}   // namespace obr::life
