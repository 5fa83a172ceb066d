// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The reduced problems of the fit (the point estimate with K profiled out, and the
 * profile likelihood of each figure) and the bounded Newton search that maximises them.
 * Internal to the fit; tests use it directly.
 */
#include "likelihood.h"

#include <Eigen/Dense>
#include <atomic>
#include <functional>
#include <vector>

namespace obr::mle::detail {

using VecX = Eigen::VectorXd;
using MatX = Eigen::MatrixXd;

//! How a figure's value ψ is held fixed in its profile.
enum class Hold {
    None,         //!< nothing held: the point estimate
    Coordinate,   //!< one parameter fixed at ψ (ln B, ln K, −ln A → ln A = −ψ, Sred, ln SKO)
    Eta,          //!< ψ = ln η: ln A = −B·ψ
    KA,           //!< ψ = ln(K·A): ln A = ψ − ln K
    Time,         //!< ψ = ln t where K·F(t) = p: ln A = ln(−ln(1 − p/K)) − B·ψ
    MtGar,        //!< ψ = ln(K·F(T)): ln A from it, or ln K = ψ − ln F(T) (elimK)
    PerProduct,   //!< ψ = ln(K·I): ln A solved from ln I = ψ − ln K, or ln K = ψ − ln I
};

struct Holding {
    Hold hold = Hold::None;
    int coord = -1;       //!< Coordinate: the parameter
    double p = 0;         //!< Time: the level p
    double lnT = 0;       //!< MtGar: ln tGar
    bool elimK = false;   //!< MtGar, PerProduct: ln K from the others (F near 1), else ln A
};

//! The admissible box of every parameter.
struct Box {
    Vec lo, hi;
};

/*! \brief l maximised over the parameters that are not held, K profiled out in closed
 *  form where the hold allows it (clamped to its range). */
class Reduced {
public:
    Reduced(Likelihood &L, const Box &box, const Holding &how, const Vec &start);

    void setPsi(double psi) { m_psi = psi; }
    int dim() const { return int(m_free.size()); }
    //! The free coordinates of a full point.
    VecX project(const Vec &x) const;
    //! Lower and upper limits of the free coordinates (at the current ψ).
    void limits(VecX &lo, VecX &hi) const;
    /*! \brief Value, gradient and Hessian at y; false when the point is outside the
     *  admissible range or l is not finite there. \a full receives the full point. */
    bool evaluate(const VecX &y, double &f, VecX &g, MatX &H, Vec *full = nullptr);
    bool profilesK() const { return m_profileK; }
    //! True when the last evaluation clamped the profiled K to its range.
    bool kClamped() const { return m_kClamped; }
    //! True when an evaluation since the last reset met K's range: the profiled K clamped,
    //! or the K a hold determines outside it.
    bool limitTouched() const { return m_touched; }
    void resetTouched() { m_touched = false; }

private:
    bool eliminate(Vec &x, double &e, Vec &ge, Mat &He);
    bool eliminateA(Vec &x, double &e, Vec &ge, Mat &He);

    Likelihood &m_L;
    Box m_box;
    Holding m_how;
    Vec m_base;
    std::vector<int> m_free;
    int m_elim = -1;
    bool m_profileK = false;
    bool m_kClamped = false;
    bool m_touched = false;
    double m_psi = 0;
};

struct SearchResult {
    VecX y;
    Vec x;   //!< full point
    double f = 0;
    int iterations = 0;
    double gradNorm = 0;      //!< max |g| over the coordinates not held at their limits
    bool ok = false;          //!< a finite start was found
    bool converged = false;   //!< the Newton decrement fell to rounding
    //! A range limit took part: a coordinate held at its box end by its gradient, or K's
    //! range met (Reduced::limitTouched).
    bool limited = false;
    int evaluations = 0;
};

/*! \brief Maximises the reduced problem from y0 by Newton steps projected on the box,
 *  with a Levenberg shift where the Hessian is not negative definite and a backtracking
 *  line search, in at most \a maxIter steps and \a maxEvals evaluations. Throws Cancelled
 *  when \a cancel turns true. */
SearchResult maximise(Reduced &R, const VecX &y0, const std::atomic<bool> *cancel,
                      int maxIter = 200, int maxEvals = 600);

//! G(k; c) = ln(−ln(1 − c·e^−k)) with its first two derivatives in k.
void logCumHazard(double k, double c, double &G, double &G1, double &G2);

}   // namespace obr::mle::detail
