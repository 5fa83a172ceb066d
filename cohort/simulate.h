// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Warranty histories drawn from the cohort model with known parameters (for the
 * benchmark's simulation study and the tests).
 */
#include "cohort.h"

#include <cstdint>
#include <vector>

namespace obr::cohort {

struct SimulationPlan {
    std::vector<double> units;   //!< units sold in calendar periods 0, 1, …
    int periods = 24;            //!< calendar periods of claims drawn (0 … periods − 1)
    double A = 1e-4, B = 1.5, K = 1;
    //! Each unit draws its own rate from this law (a fixed rate: all the same).
    Usage usage;
    std::optional<int> warrantyPeriods;
    std::optional<double> warrantyHours;
    ModelKind model = ModelKind::Repeat;
};

/*! \brief One history: every unit gets its own usage rate; a unit's claims at age a are
 *  Poisson with mean K·ΔF over its hours of that age (repeat claims), or its one failure
 *  falls in the age where F passes a uniform draw (first failures), counted while inside
 *  the warranty. The table's data end is plan.periods − 1. */
NevadaTable simulateHistory(const SimulationPlan &plan, uint64_t seed);

}   // namespace obr::cohort
