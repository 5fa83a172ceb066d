// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The genetic optimiser's settings: reading and checking them, the memory a run
 * needs, and the snapshot a run reads.
 */
#include "model/state.h"

#include <QChar>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace obr {

// ---------------------------------------------------------------------------------
// Settings

//! The checked settings of the start button.
struct GenSettings {
    double Precision = 1e-7;
    int32_t population = 3000;
    int32_t generations = 1500;
    int32_t L = 24;   //!< gene length the precision gives
};

/*! \brief Reads and checks the three boxes before a run. Throws UserError with a Russian
 *  message naming the box: no loaded failures, a box that is not a number, population
 *  below 2, generations below 1, a precision outside 0.000000001..1 or that gives no gene
 *  length in 1..31, a run larger than memory allows, a warranty mean or deviation that the
 *  run uses and that is not above 0 (or leaves every failure out of observation). */
GenSettings validateGenStart(const State &s, const QString &precisionText,
                             const QString &populationText, const QString &generationsText,
                             QChar dec);
//! What a run holds in memory: bytes per member of the population (the population with
//! the children of one generation, three times its size at most) and per generation (one
//! stored best each, since the stored bests may not be copied back before the end).
struct GenMemoryCosts {
    double perIndividual = 0;
    double perGeneration = 0;
};
//! \brief The costs for \a iop genes of \a L characters.
GenMemoryCosts genMemoryCosts(int32_t iop, int32_t L);
//! \brief Memory the system can give a run now, in bytes; 0 when it cannot be told.
uint64_t availableMemory();
/*! \brief Refuses settings whose run would need more than half of \a available bytes, with
 *  a message that gives the largest population (or number of generations) allowed with
 *  the other setting as it is. No check when \a available is 0. */
void checkGenMemory(const GenSettings &st, int32_t iop, uint64_t available, QChar dec);

//! Everything a run reads, copied at its start.
struct GenInput {
    std::vector<Hist_Rec> Hist_Arr;
    double Izd_Prived = 0;
    int32_t Kol_izw = 0;
    double Sred = 0;
    double SKO = 0;
    bool Sred_Opt = false;
    bool SKO_Opt = false;
    double Precision = 1e-7;
    int32_t SizePopulation = 3000;
    int32_t generations = 1500;   //!< N (iMaxBest)
    int threads = 0;              //!< evaluation threads; 0 = all cores, 1 = the worker alone
    QChar dec = u'.';             //!< decimal separator of the log lines
};

/*! \brief The start button's preparation: sets s.iop, s.Precision and s.NormA, rebuilds
 *  s.Hist_Arr and returns the snapshot for the run. */
GenInput prepareGenRun(State &s, const GenSettings &st, QChar dec, int threads = 0);
/*! \brief A snapshot of the State as it is (the precision taken from it). The gene count
 *  and the gene steps are not part of it: the engine derives them from the flags and the
 *  precision. */
GenInput snapshotGenInput(const State &s, int32_t population, int32_t generations, QChar dec,
                          int threads = 0);

/*! \brief The first problem of settings \a st for a run, as the message to show: no
 *  failures, a precision outside its range or without a gene length, a population below
 *  2, generations below 1, or (\a needSko) a warranty deviation not above 0. The start
 *  button and the engine both check through here. */
std::optional<QString> genSettingsProblem(bool haveFailures, bool needSko, double SKO,
                                          const GenSettings &st, QChar dec);

}   // namespace obr
