// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The log-likelihood of the warranty model with its gradient and Hessian, and the
 * integral I = E[F(W)] with its derivatives. Internal to the fit; tests use it directly.
 *
 * Parameters, always in this order: x = (ln A, ln B, ln K, Sred, ln SKO). The last two
 * take part only when the normal law's mean / deviation are fitted.
 */
#include <Eigen/Dense>
#include <array>
#include <vector>

namespace obr::mle::detail {

enum Param { PA = 0, PB = 1, PK = 2, PMu = 3, PS = 4, NP = 5 };
using Vec = Eigen::Matrix<double, NP, 1>;
using Mat = Eigen::Matrix<double, NP, NP>;

//! The warranty law: normal (mean, deviation) or the empirical law of end times.
struct Law {
    bool empirical = false;
    double mu = 0, sigma = 1;
    std::vector<double> w;        //!< empirical: distinct end times > 0
    std::vector<double> lw;       //!< their logarithms
    std::vector<double> wCount;   //!< their counts
    double wTotal = 0;            //!< all end times (those <= 0 included)
    std::vector<double> wAbove;   //!< wAbove[i] = Σ counts of w[i..]
    //! Builds the empirical law of \a times (combined, suffix sums).
    static Law fromTimes(const std::vector<double> &times);
    //! Empirical share of end times greater than \a t.
    double survival(double t) const;
};

//! I = E[F(W)] and its derivatives in x (the K entries stay 0).
struct IStuff {
    double I = 0;
    Vec g = Vec::Zero();
    Mat H = Mat::Zero();
};

/*! \brief The fixed quadrature rule of a normal law over Sred ± 12·SKO (mass beyond:
 *  3.6e-33), cut at 0 h: 10-point Gauss–Legendre panels half a deviation wide, graded
 *  geometrically towards 0 h when the law reaches it (w^B is not smooth there). The
 *  weights include the density, so E[g(W)] ≈ Σ wt·g(w). Built once per law. */
struct NormalNodes {
    double mu = 0, sigma = 0;
    std::vector<double> w, lw, z, wt;
    static NormalNodes build(double mu, double sigma);
};

/*! \brief I, its gradient and Hessian at (ln A, ln B) for \a law. With \a warrantyDerivs
 *  the derivatives in Sred and ln SKO are computed too (normal law). The normal law is
 *  integrated by the fixed rule \a nodes (built here when null) where F changes slowly
 *  on the scale of its panels, and otherwise by adaptive Gauss–Kronrod (15 points) to a
 *  relative accuracy of about 1e-14, with a bounded number of panels. */
IStuff integralI(double a, double b, const Law &law, bool warrantyDerivs,
                 const NormalNodes *nodes = nullptr);

/*! \brief J(τ) = ∫_0^τ f(t)·S_W(t) dt = E[F(min(W, τ))]: the recorded failures per product
 *  and per unit K up to τ. */
double integralJ(double A, double B, const Law &law, double tau);

//! The combined failure times: distinct times > 0 with their counts, and the failures
//! recorded at 0 h, which lie somewhere in (0, t0] (below the recording resolution).
struct Data {
    std::vector<double> t, c, lnt;
    double n = 0;        //!< all failures, those at 0 h included
    double n0 = 0;       //!< failures recorded at 0 h
    double t0 = 0.1;     //!< the recording resolution, hours
    double sumLnT = 0;   //!< Σ c·ln t over the failures with a time
};

//! Value, gradient and Hessian of l in x.
struct Eval {
    double l = 0;
    Vec g = Vec::Zero();
    Mat H = Mat::Zero();
    bool ok = false;   //!< false when l is not finite there
};

/*! \brief The log-likelihood over combined times. Remembers the last I so that a
 *  profile and the evaluation at the same point share one integration. */
class Likelihood {
public:
    Likelihood(Data data, Law law, double Nprived, bool fitMu, bool fitSigma);

    //! l, gradient and Hessian at \a x (entries of parameters not fitted are 0).
    Eval eval(const Vec &x);
    //! I and its derivatives at x (cached).
    const IStuff &istuff(const Vec &x);
    //! The law with the warranty parameters of x.
    Law lawAt(const Vec &x) const;

    const Data &data() const { return m_data; }
    const Law &law() const { return m_law; }
    double Nprived() const { return m_N; }
    bool fitMu() const { return m_fitMu; }
    bool fitSigma() const { return m_fitSigma; }
    bool warrantyFitted() const { return m_fitMu || m_fitSigma; }
    //! Σ c·ln S_W(t) of the fixed warranty law.
    double fixedLogSurvival() const { return m_fixedLnS; }

private:
    Data m_data;
    Law m_law;
    double m_N;
    bool m_fitMu, m_fitSigma;
    double m_fixedLnS = 0;
    NormalNodes m_nodes;   //!< the fixed rule of the law, when its figures are not fitted
    bool m_cacheValid = false;
    std::array<double, 4> m_cacheKey{};
    IStuff m_cache;
};

/*! \brief ln of the normal survival function Q(z) and the hazard h = φ(z)/Q(z), from the
 *  complementary error function. */
void normalLogSurvival(double z, double &lnQ, double &h);

}   // namespace obr::mle::detail
