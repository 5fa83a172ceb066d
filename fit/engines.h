// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Objective evaluators of the fits, with the parts that do not change while one
 * parameter walks computed once. Every value equals, bit for bit, the one the plain
 * formula gives: the same operations in the same order, only not repeated.
 */
#include "fits.h"
#include "model/state.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace obr::detail {

class EvalTeam;

//! The Pearson objective over the histogram, parameters A, B, K_powtor, Mu, Sig.
class PearsonEngine {
public:
    enum Param { PB = 0, PA = 1, PK = 2, PMu = 3, PSig = 4 };

    PearsonEngine(const State &s, Criterion c);
    //! Sets every parameter and refreshes all cached parts.
    void setPoint(double A, double B, double K, double Mu, double Sig);
    //! Selects the parameter that the following eval() calls move.
    void setMoving(Param p) { m_moving = p; }
    /*! The objective with the moving parameter at \a x, the others at the set point.
     *  \a withNoise tells that noise() will be asked for this value (unused here). */
    double eval(double x, bool withNoise = false);
    //! Moves the set point's moving parameter to \a x and refreshes what depends on it.
    void commit(double x);
    //! A bound of the rounding error of the last eval() (first order, generous).
    double noise() const;
    /*! True when eval() gives the same value, bit for bit, at every positive position of
     *  the moving parameter: the shape B when every interval bound is 0 or 1 (t^B is then
     *  0 or 1 whatever B is), K_powtor when every model count is zero at any K. */
    bool flat() const;
    int64_t evaluations() const { return m_evals; }
    /*! Interval shares the evaluations took as 0 without computing them: their ends lie
     *  past the exponent where the Weibull value is exactly 1 (kWeibSaturated). */
    int64_t saturatedTerms() const { return m_saturated; }

private:
    void refreshPow();
    void refreshP();
    void refreshG();
    double sum(double c, const double *P, const double *Gc);

    Criterion m_crit;
    size_t m_m = 0;
    std::vector<double> m_t;     // upper bounds
    std::vector<double> m_mid;   // midpoints
    std::vector<double> m_O;     // observed counts
    double m_izd = 0, m_kol = 0, m_wm1 = 0;
    double m_A = 0, m_B = 0, m_K = 0, m_Mu = 0, m_Sig = 0;
    Param m_moving = PB;
    std::vector<double> m_pw;   // pow(t_i, B) at the set B
    std::vector<double> m_P;    // interval probabilities at the set A, B
    std::vector<double> m_Gc;   // 1 - G_i at the set Mu, Sig
    // scratch of the last evaluation
    std::vector<double> m_sP, m_sGc, m_sE;
    const double *m_lastP = nullptr;
    const double *m_lastGc = nullptr;
    double m_lastC = 0, m_lastE = 0, m_lastF = 0;
    int64_t m_evals = 0;
    int64_t m_saturated = 0;
    bool m_ascending = false;   //!< the interval ends ascend from 0
};

//! The Smirnov objective over the failure times, parameters A, B, K_powtor.
class SmirnovEngine {
public:
    enum Param { PA = 0, PB = 1, PK = 2 };

    /*! \a weights: F_norm per failure (warranty share out of service at each time).
     *  With \a team, an evaluation is shared out between its threads: they compute the
     *  per-failure Weibull terms part by part while the calling thread runs the cumulative
     *  sum over the parts already done, in order, and one helper follows the sum with the
     *  rounding bound when it is asked for. Every sum keeps its sequential order, so every
     *  value, and every bound, is the same bit for bit. */
    SmirnovEngine(const State &s, const std::vector<double> &weights, EvalTeam *team = nullptr);
    ~SmirnovEngine();
    void setPoint(double A, double B, double K);
    void setMoving(Param p) { m_moving = p; }
    //! \a withNoise: noise() will be asked for this value (a team computes it alongside).
    double eval(double x, bool withNoise = false);
    void commit(double x);
    double noise() const;
    int64_t evaluations() const { return m_evals; }
    //! Per-failure shares the evaluations took as 0 without computing them (as in
    //! PearsonEngine::saturatedTerms), on whichever thread computed them.
    int64_t saturatedTerms() const { return m_saturated.load(std::memory_order_relaxed); }

private:
    class Shared;

    void refreshPow();
    void refreshP();
    //! refreshPow (with \a powers) and refreshP for the failures [b, e).
    void refreshPart(size_t b, size_t e, bool powers);
    double sum(double c, const double *P);
    //! The cumulative sum over failures [b, e), carrying E and S from the part before.
    void sumPart(size_t b, size_t e, double c, const double *P, double &E, double &S);
    //! The noise bound's accumulation over failures [b, e), after the sum wrote them.
    void noisePart(size_t b, size_t e, double &acc, double &dS) const;
    double noiseTotal(double dS) const;
    //! The interval probabilities of failures [b, e) with A = \a A and B = \a B into \a P.
    void terms(size_t b, size_t e, double A, double B, bool newPowers, double *P) const;

    EvalTeam *m_team = nullptr;
    std::unique_ptr<Shared> m_shared;
    bool m_noiseKnown = false;   //!< m_noise holds the bound of the last evaluation
    double m_noise = 0;
    size_t m_n = 0;
    std::vector<double> m_t;
    std::vector<unsigned char> m_dup;   // time equal to the previous one
    std::vector<double> m_wc;           // 1 - F_norm[i]
    double m_izd = 0, m_kol = 0, m_wm1 = 0;
    double m_A = 0, m_B = 0, m_K = 0;
    Param m_moving = PA;
    std::vector<double> m_pw, m_P;
    std::vector<double> m_sP, m_sE;
    const double *m_lastP = nullptr;
    double m_lastC = 0, m_lastS = 0, m_lastF = 0;
    int64_t m_evals = 0;
    mutable std::atomic<int64_t> m_saturated{0};
    bool m_ascending = false;   //!< the failure times ascend from 0
};

}   // namespace obr::detail
