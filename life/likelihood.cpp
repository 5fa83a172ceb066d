// SPDX-License-Identifier: MIT
#include "likelihood.h"

#include "model/errors.h"

#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/digamma.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <boost/math/special_functions/trigamma.hpp>
#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <thread>
#include <unordered_map>

namespace obr::life {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kLnSqrt2Pi = 0.91893853320467274178;
constexpr double kInvSqrt2 = 0.70710678118654752440;

//! Standard law: density, its derivative, distribution and survival functions.
struct StdPoint {
    double f = 0, df = 0, F = 0, S = 1;
};

inline StdPoint stdPoint(Family fam, double z)
{
    StdPoint p;
    if (z == -kInf)
        return p;
    if (fam == Family::SEV) {
        const double ez = std::exp(z);
        p.S = std::exp(-ez);
        p.F = -std::expm1(-ez);
        p.f = std::exp(z - ez);
        p.df = p.f * (1 - ez);
    } else {
        p.f = std::exp(-0.5 * z * z - kLnSqrt2Pi);
        p.df = -z * p.f;
        p.F = 0.5 * boost::math::erfc(-z * kInvSqrt2);
        p.S = 0.5 * boost::math::erfc(z * kInvSqrt2);
    }
    return p;
}

inline void addSingle(LsDerivs &d, double w, double z, double c1, double c2, double sigma)
{
    d.g[0] += -w * c1 / sigma;
    d.g[1] += -w * c1 * z;
    d.h[0][0] += w * c2 / (sigma * sigma);
    d.h[0][1] += w * (c2 * z + c1) / sigma;
    d.h[1][1] += w * (c2 * z * z + c1 * z);
}

}   // namespace

namespace {

//! Equal times (or intervals) of one kind merged into one row with the counts added.
void collapse(std::vector<double> &t, std::vector<double> *t2, std::vector<double> &w)
{
    const size_t n = t.size();
    if (n < 2)
        return;
    auto key = [&](size_t i) { return std::pair(t[i], t2 ? (*t2)[i] : 0.0); };
    // Few distinct rows (inspections): counted in a hash map, the keys sorted after.
    {
        struct Hash {
            size_t operator()(const std::pair<double, double> &k) const
            {
                return std::hash<double>()(k.first) * 31 + std::hash<double>()(k.second);
            }
        };
        std::unordered_map<std::pair<double, double>, double, Hash> sums;
        bool few = true;
        for (size_t i = 0; i < n && few; ++i) {
            sums[key(i)] += w[i];
            few = sums.size() <= 4096;
        }
        if (few) {
            std::vector<std::pair<std::pair<double, double>, double>> rows(sums.begin(),
                                                                           sums.end());
            std::sort(rows.begin(), rows.end());
            t.clear();
            w.clear();
            if (t2)
                t2->clear();
            for (const auto &[k, c] : rows) {
                t.push_back(k.first);
                if (t2)
                    t2->push_back(k.second);
                w.push_back(c);
            }
            return;
        }
    }
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return key(a) < key(b); });
    std::vector<double> nt, nt2, nw;
    nt.reserve(n);
    nw.reserve(n);
    if (t2)
        nt2.reserve(n);
    for (size_t i : order) {
        if (!nt.empty() && nt.back() == t[i] && (!t2 || nt2.back() == (*t2)[i])) {
            nw.back() += w[i];
            continue;
        }
        nt.push_back(t[i]);
        if (t2)
            nt2.push_back((*t2)[i]);
        nw.push_back(w[i]);
    }
    t = std::move(nt);
    w = std::move(nw);
    if (t2)
        *t2 = std::move(nt2);
}

}   // namespace

Prepared prepare(const LifeData &data)
{
    Prepared p;
    p.tally = tally(data);
    double first = kInf;
    std::set<double> distinct;
    for (const Unit &u : data.units) {
        switch (u.kind) {
        case Obs::Failure:
            p.ft.push_back(u.low);
            p.fw.push_back(u.count);
            first = std::min(first, u.low);
            if (u.low <= 0 && p.zeroFailureLine == 0)
                p.zeroFailureLine = u.line > 0 ? u.line : -1;
            if (distinct.size() < 3)
                distinct.insert(u.low);
            break;
        case Obs::Suspension:
            p.st.push_back(u.low);
            p.sw.push_back(u.count);
            break;
        case Obs::Interval:
            p.ia.push_back(u.low);
            p.ib.push_back(u.high);
            p.iw.push_back(u.count);
            first = std::min(first, u.high);
            if (distinct.size() < 3)
                distinct.insert(0.5 * (u.low + u.high));
            break;
        }
    }
    collapse(p.ft, nullptr, p.fw);
    collapse(p.st, nullptr, p.sw);
    collapse(p.ia, &p.ib, p.iw);
    p.firstFailure = first == kInf ? 0 : first;
    p.distinctFailureTimes = int(distinct.size());
    return p;
}

bool makeLs(const Prepared &p, Family family, bool logTime, double shift, LsData &d)
{
    d.family = family;
    d.jacobian = 0;
    auto tr = [&](double t) { return logTime ? std::log(t - shift) : t - shift; };
    d.fy.resize(p.ft.size());
    d.fw = p.fw;
    for (size_t i = 0; i < p.ft.size(); ++i) {
        if (logTime && p.ft[i] <= shift)
            return false;
        d.fy[i] = tr(p.ft[i]);
        if (logTime)
            d.jacobian += p.fw[i] * d.fy[i];
    }
    d.sy.clear();
    d.sw.clear();
    d.sy.reserve(p.st.size());
    d.sw.reserve(p.st.size());
    for (size_t i = 0; i < p.st.size(); ++i) {
        if (logTime && p.st[i] <= shift)
            continue;
        d.sy.push_back(tr(p.st[i]));
        d.sw.push_back(p.sw[i]);
    }
    d.ya.resize(p.ia.size());
    d.yb.resize(p.ia.size());
    d.iw = p.iw;
    for (size_t i = 0; i < p.ia.size(); ++i) {
        if (logTime && p.ib[i] <= shift)
            return false;
        d.ya[i] = logTime && p.ia[i] <= shift ? -kInf : tr(p.ia[i]);
        d.yb[i] = tr(p.ib[i]);
    }
    return true;
}

namespace {

//! Rows [from, to) of each kind, as fractions of the arrays (for splitting a pass).
struct Share {
    double from = 0, to = 1;
    size_t begin(size_t n) const { return size_t(double(n) * from); }
    size_t end(size_t n) const { return to >= 1 ? n : size_t(double(n) * to); }
};

//! The part of the pass over one share of the rows (without the Jacobian constant).
LsDerivs lsPassShare(const LsData &d, double mu, double s, bool der, Share share)
{
    LsDerivs r;
    const double sigma = std::exp(s);
    const double inv = 1 / sigma;
    const bool sev = d.family == Family::SEV;
    double value = 0;

    // Exact failures: ln f0(z) - ln sigma - y (the last only on the log scale).
    {
        double sw = 0, sc1 = 0, sc1z = 0, sc2 = 0, sc2z = 0, sc2zz = 0, sc1zz = 0;
        const size_t n0 = share.begin(d.fy.size()), n = share.end(d.fy.size());
        for (size_t i = n0; i < n; ++i) {
            const double w = d.fw[i];
            const double z = (d.fy[i] - mu) * inv;
            double c, c1, c2;
            if (sev) {
                const double ez = std::exp(z);
                c = z - ez;
                c1 = 1 - ez;
                c2 = -ez;
            } else {
                c = -0.5 * z * z;
                c1 = -z;
                c2 = -1;
            }
            value += w * c;
            sw += w;
            if (der) {
                sc1 += w * c1;
                sc1z += w * c1 * z;
                sc2 += w * c2;
                sc2z += w * c2 * z;
                sc2zz += w * c2 * z * z;
                sc1zz += w * c1 * z;
            }
        }
        value -= sw * s + (sev ? 0 : sw * kLnSqrt2Pi);
        if (der) {
            r.g[0] += -sc1 * inv;
            r.g[1] += -sc1z - sw;
            r.h[0][0] += sc2 * inv * inv;
            r.h[0][1] += (sc2z + sc1) * inv;
            r.h[1][1] += sc2zz + sc1zz;
        }
    }

    // Suspensions: ln R0(z).
    {
        const size_t n0 = share.begin(d.sy.size()), n = share.end(d.sy.size());
        double sc1 = 0, sc1z = 0, sc2 = 0, sc2z = 0, sc2zz = 0;
        for (size_t i = n0; i < n; ++i) {
            const double w = d.sw[i];
            const double z = (d.sy[i] - mu) * inv;
            double c, c1, c2;
            if (sev) {
                const double ez = std::exp(z);
                c = -ez;
                c1 = -ez;
                c2 = -ez;
            } else {
                const double S = 0.5 * boost::math::erfc(z * kInvSqrt2);
                if (S <= 0)
                    return LsDerivs{-kInf, {0, 0}, {{0, 0}, {0, 0}}};
                const double h = std::exp(-0.5 * z * z - kLnSqrt2Pi) / S;
                c = z < 0 ? std::log1p(-0.5 * boost::math::erfc(-z * kInvSqrt2)) : std::log(S);
                c1 = -h;
                c2 = -h * (h - z);
            }
            value += w * c;
            if (der) {
                sc1 += w * c1;
                sc1z += w * c1 * z;
                sc2 += w * c2;
                sc2z += w * c2 * z;
                sc2zz += w * c2 * z * z;
            }
        }
        if (der) {
            r.g[0] += -sc1 * inv;
            r.g[1] += -sc1z;
            r.h[0][0] += sc2 * inv * inv;
            r.h[0][1] += (sc2z + sc1) * inv;
            r.h[1][1] += sc2zz + sc1z;
        }
    }

    // Intervals: ln[F0(zb) - F0(za)].
    for (size_t i = share.begin(d.yb.size()); i < share.end(d.yb.size()); ++i) {
        const double w = d.iw[i];
        const bool left = d.ya[i] == -kInf;
        const double za = left ? -kInf : (d.ya[i] - mu) * inv;
        const double zb = (d.yb[i] - mu) * inv;
        const StdPoint pa = stdPoint(d.family, za), pb = stdPoint(d.family, zb);
        const double L = pa.S < 0.5 ? pa.S - pb.S : pb.F - pa.F;
        if (!(L > 0))
            return LsDerivs{-kInf, {0, 0}, {{0, 0}, {0, 0}}};
        value += w * std::log(L);
        if (!der)
            continue;
        const double gb = pb.f / L;
        const double hbb = pb.df / L - gb * gb;
        if (left) {
            addSingle(r, w, zb, gb, hbb, sigma);
            continue;
        }
        const double ga = -pa.f / L;
        const double haa = -pa.df / L - ga * ga;
        const double hab = -ga * gb;
        r.g[0] += -w * (ga + gb) * inv;
        r.g[1] += -w * (ga * za + gb * zb);
        r.h[0][0] += w * (haa + 2 * hab + hbb) * inv * inv;
        r.h[0][1] += w * (haa * za + hab * (za + zb) + hbb * zb + ga + gb) * inv;
        r.h[1][1] += w * (haa * za * za + 2 * hab * za * zb + hbb * zb * zb + ga * za + gb * zb);
    }
    r.value = std::isfinite(value) ? value : -kInf;
    return r;
}

}   // namespace

namespace {
std::atomic<int> gPassThreads{2};
}

void setPassThreads(int threads) { gPassThreads.store(threads > 1 ? 2 : 1); }

LsDerivs lsPass(const LsData &d, double mu, double s, bool der)
{
    // Large data: two halves on two threads, always split at the same rows and added in
    // the same order, so the sums do not depend on the machine.
    const size_t rows = d.fy.size() + d.sy.size() + d.yb.size();
    LsDerivs r;
    if (rows >= 200000 && gPassThreads.load() > 1) {
        LsDerivs second;
        std::thread t([&] { second = lsPassShare(d, mu, s, der, Share{0.5, 1}); });
        r = lsPassShare(d, mu, s, der, Share{0, 0.5});
        t.join();
        r.value += second.value;
        for (int i = 0; i < 2; ++i) {
            r.g[i] += second.g[i];
            for (int j = 0; j < 2; ++j)
                r.h[i][j] += second.h[i][j];
        }
    } else {
        r = lsPassShare(d, mu, s, der, Share{});
    }
    r.value -= d.jacobian;
    if (!std::isfinite(r.value))
        r.value = -kInf;
    r.h[1][0] = r.h[0][1];
    return r;
}

namespace {

//! Adds w * d(z) to a 3-parameter gradient and Hessian, given dz and d2z of each end.
struct ZJet {
    double d[3];       //!< dz / d(mu, s, gamma)
    double dd[3][3];   //!< d2z
};
inline ZJet zJet(double z, double v, double inv)
{
    // z = (ln(t - gamma) - mu) / sigma with v = 1 / (t - gamma) and s = ln sigma.
    ZJet j{{-inv, -z, -v * inv}, {{0, inv, 0}, {inv, z, v * inv}, {0, v * inv, -v * v * inv}}};
    return j;
}

}   // namespace

W3Derivs w3Pass(const Prepared &p, double mu, double s, double gamma, bool der)
{
    W3Derivs r;
    const double sigma = std::exp(s), inv = 1 / sigma;
    double value = 0;
    double G[3] = {0, 0, 0}, H[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    auto single = [&](double w, const ZJet &j, double c1, double c2) {
        for (int a = 0; a < 3; ++a) {
            G[a] += w * c1 * j.d[a];
            for (int b = a; b < 3; ++b)
                H[a][b] += w * (c2 * j.d[a] * j.d[b] + c1 * j.dd[a][b]);
        }
    };
    // Exact failures: z - e^z - s - ln(t - gamma).
    for (size_t i = 0; i < p.ft.size(); ++i) {
        const double u = p.ft[i] - gamma;
        if (!(u > 0))
            return W3Derivs{-kInf, {0, 0, 0}, {}};
        const double w = p.fw[i], y = std::log(u), z = (y - mu) * inv, ez = std::exp(z);
        value += w * (z - ez - s - y);
        if (!der)
            continue;
        const double v = 1 / u;
        single(w, zJet(z, v, inv), 1 - ez, -ez);
        G[1] -= w;
        G[2] += w * v;
        H[2][2] += w * v * v;
    }
    // Suspensions: -e^z; at or below the location they carry no information.
    for (size_t i = 0; i < p.st.size(); ++i) {
        const double u = p.st[i] - gamma;
        if (!(u > 0))
            continue;
        const double w = p.sw[i], z = (std::log(u) - mu) * inv, ez = std::exp(z);
        value -= w * ez;
        if (der)
            single(w, zJet(z, 1 / u, inv), -ez, -ez);
    }
    // Intervals: ln[F(zb) - F(za)], za = -infinity at or below the location.
    for (size_t i = 0; i < p.ib.size(); ++i) {
        const double ub = p.ib[i] - gamma, ua = p.ia[i] - gamma;
        if (!(ub > 0))
            return W3Derivs{-kInf, {0, 0, 0}, {}};
        const double w = p.iw[i];
        const bool left = !(ua > 0);
        const double zb = (std::log(ub) - mu) * inv;
        const double za = left ? -kInf : (std::log(ua) - mu) * inv;
        const StdPoint pa = stdPoint(Family::SEV, za), pb = stdPoint(Family::SEV, zb);
        const double L = pa.S < 0.5 ? pa.S - pb.S : pb.F - pa.F;
        if (!(L > 0))
            return W3Derivs{-kInf, {0, 0, 0}, {}};
        value += w * std::log(L);
        if (!der)
            continue;
        const double gb = pb.f / L, hbb = pb.df / L - gb * gb;
        const ZJet jb = zJet(zb, 1 / ub, inv);
        if (left) {
            single(w, jb, gb, hbb);
            continue;
        }
        const ZJet ja = zJet(za, 1 / ua, inv);
        const double ga = -pa.f / L, haa = -pa.df / L - ga * ga, hab = -ga * gb;
        for (int a = 0; a < 3; ++a) {
            G[a] += w * (ga * ja.d[a] + gb * jb.d[a]);
            for (int b = a; b < 3; ++b)
                H[a][b] +=
                    w * (haa * ja.d[a] * ja.d[b] + hab * (ja.d[a] * jb.d[b] + jb.d[a] * ja.d[b]) +
                         hbb * jb.d[a] * jb.d[b] + ga * ja.dd[a][b] + gb * jb.dd[a][b]);
        }
    }
    r.value = std::isfinite(value) ? value : -kInf;
    for (int a = 0; a < 3; ++a) {
        r.g[a] = G[a];
        for (int b = 0; b < 3; ++b)
            r.h[a][b] = a <= b ? H[a][b] : H[b][a];
    }
    return r;
}

namespace {

/*! The regularised lower incomplete gamma function P(k, x) with its first and second
 * derivatives in k, by the series x^k e^-x sum x^n / Gamma(k + n + 1), whose terms'
 * derivatives follow from digamma recurrences. The shape is the same for every row of a
 * pass, so the reciprocals and polygamma values of k + n + 1 are tabled once. */
struct PJet {
    double P = 0, Pk = 0, Pkk = 0;
};
struct SeriesTable {
    std::vector<double> inv, psi, tri;   //!< 1 / (k + n + 1), psi(k + n + 1), psi'(k + n + 1)
    double k = 0;
    SeriesTable(double k_, double psik1, double trik1) : k(k_)
    {
        const int n = 64 + int(std::min(4000.0, 8 * std::sqrt(k + 1) + 40));
        inv.resize(size_t(n));
        psi.resize(size_t(n));
        tri.resize(size_t(n));
        double ps = psik1, tr = trik1;
        for (int i = 0; i < n; ++i) {
            const double kn = k + i + 1;
            inv[size_t(i)] = 1 / kn;
            psi[size_t(i)] = ps;
            tri[size_t(i)] = tr;
            ps += 1 / kn;
            tr -= 1 / (kn * kn);
        }
    }
};
//! False where the series is not used (far in the upper tail, where it loses its digits).
inline bool gammaPSeries(const SeriesTable &tb, double x, double lnx, double T0, PJet &out)
{
    if (x - tb.k > 30 + 8 * std::sqrt(tb.k + 1))
        return false;
    double T = T0, P = 0, Pk = 0, Pkk = 0;
    const size_t n = tb.inv.size();
    for (size_t i = 0; i < n; ++i) {
        const double D = lnx - tb.psi[i];
        P += T;
        Pk += T * D;
        Pkk += T * (D * D - tb.tri[i]);
        if (T <= 1e-17 * P && tb.k + double(i) + 1 > x) {
            out = {P, Pk, Pkk};
            return true;
        }
        T *= x * tb.inv[i];
    }
    return false;
}

//! ln L of a censored gamma row: L = P(k, xb) - P(k, xa) (xa = 0: none; xb = inf: none).
double gammaCensoredUnchecked(double k, double xa, double xb)
{
    const double Pa = xa > 0 ? boost::math::gamma_p(k, xa) : 0;
    double L;
    if (!std::isfinite(xb))
        L = xa > 0 ? boost::math::gamma_q(k, xa) : 1;
    else if (Pa > 0.5)
        L = boost::math::gamma_q(k, xa) - boost::math::gamma_q(k, xb);
    else
        L = boost::math::gamma_p(k, xb) - Pa;
    return L > 0 ? std::log(L) : -kInf;
}

double gammaCensored(double k, double xa, double xb)
{
    // Far outside the data the special functions overflow: that point is impossible.
    try {
        return gammaCensoredUnchecked(k, xa, xb);
    } catch (const std::exception &) {
        return -kInf;
    }
}

}   // namespace

GammaDerivs gammaPass(const Prepared &p, double lnk, double lnth, bool der)
{
    GammaDerivs r;
    const double k = std::exp(lnk), th = std::exp(lnth);
    if (!std::isfinite(k) || !std::isfinite(th) || k <= 0 || th <= 0)
        return GammaDerivs{-kInf, {0, 0}, {{0, 0}, {0, 0}}};
    double lgk;
    try {
        lgk = boost::math::lgamma(k);
    } catch (const std::exception &) {
        return GammaDerivs{-kInf, {0, 0}, {{0, 0}, {0, 0}}};
    }
    double value = 0;
    double ga = 0, gb = 0, haa = 0, hab = 0, hbb = 0;
    // Exact failures: (k - 1) ln x - x - ln theta - ln Gamma(k), x = t / theta.
    {
        double sw = 0, slx = 0, sx = 0;
        for (size_t i = 0; i < p.ft.size(); ++i) {
            const double x = p.ft[i] / th;
            if (!(x > 0))
                return GammaDerivs{-kInf, {0, 0}, {{0, 0}, {0, 0}}};
            const double w = p.fw[i];
            sw += w;
            slx += w * std::log(x);
            sx += w * x;
        }
        value += (k - 1) * slx - sx - sw * (lnth + lgk);
        if (der && sw > 0) {
            const double psi = boost::math::digamma(k), tri = boost::math::trigamma(k);
            ga += k * (slx - sw * psi);
            haa += -k * k * tri * sw + k * (slx - sw * psi);
            gb += sx - k * sw;
            hbb += -sx;
            hab += -k * sw;
        }
    }
    const bool censored = !p.st.empty() || !p.ib.empty();
    if (!censored) {
        r.value = std::isfinite(value) ? value : -kInf;
        r.g[0] = ga, r.g[1] = gb;
        r.h[0][0] = haa, r.h[0][1] = r.h[1][0] = hab, r.h[1][1] = hbb;
        return r;
    }
    const double psik = boost::math::digamma(k), trik = boost::math::trigamma(k);
    const double psik1 = psik + 1 / k, trik1 = trik - 1 / (k * k);
    const SeriesTable table(k, psik1, trik1);
    // One censored row from xa to xb (xa = 0 or xb = inf for an open side).
    auto row = [&](double w, double xa, double xb) -> bool {
        if (!der) {
            const double l = gammaCensored(k, xa, xb);
            if (l == -kInf)
                return false;
            value += w * l;
            return true;
        }
        // L and its derivatives in k, xa, xb from P at each end.
        double L = 0, Lk = 0, Lkk = 0, La = 0, Lb = 0, Laa = 0, Lbb = 0, Lka = 0, Lkb = 0;
        double Pa = 0, Pb = 1;
        bool ok = true;
        auto end = [&](double x, double sign, double &P, double &Lx, double &Lxx, double &Lkx) {
            if (!(x > 0) || !std::isfinite(x))
                return;
            const double lnx = std::log(x);
            const double dens = std::exp((k - 1) * lnx - x - lgk);
            PJet j;
            if (!gammaPSeries(table, x, lnx, dens * x / k, j)) {
                ok = false;
                return;
            }
            P = j.P;
            Lk += sign * j.Pk;
            Lkk += sign * j.Pkk;
            Lx = sign * dens;
            Lxx = sign * dens * ((k - 1) / x - 1);
            Lkx = sign * dens * (lnx - psik);
        };
        end(xa, -1, Pa, La, Laa, Lka);
        end(xb, +1, Pb, Lb, Lbb, Lkb);
        // The series' P is exact enough away from the upper tail; there Boost's Q is used.
        double l;
        const double top = std::isfinite(xb) ? Pb : 1.0;
        if (ok && Pa < 0.9 && (top < 0.9 || !std::isfinite(xb)) && top - Pa > 1e-3 * top)
            l = std::log(top - Pa);
        else
            l = gammaCensored(k, xa, xb);
        if (l == -kInf)
            return false;
        L = std::exp(l);
        if (ok && L > 1e-6) {
            const double lk = Lk / L, la = La / L, lb = Lb / L;
            const double lkk = Lkk / L - lk * lk, laa = Laa / L - la * la, lbb = Lbb / L - lb * lb;
            const double lab = -la * lb, lka = Lka / L - lk * la, lkb = Lkb / L - lk * lb;
            const double xa0 = std::isfinite(xa) ? xa : 0, xb0 = std::isfinite(xb) ? xb : 0;
            value += w * l;
            ga += w * k * lk;
            haa += w * (k * k * lkk + k * lk);
            gb += w * -(xa0 * la + xb0 * lb);
            hbb +=
                w * (xa0 * xa0 * laa + xb0 * xb0 * lbb + 2 * xa0 * xb0 * lab + xa0 * la + xb0 * lb);
            hab += w * -k * (xa0 * lka + xb0 * lkb);
            return true;
        }
        // Far in a tail: differences of ln L in (ln k, ln theta), exact values from Boost.
        const double h = 1e-4;
        auto at = [&](double da, double db) {
            const double kk = k * std::exp(da), f = std::exp(-db);
            return gammaCensored(kk, xa * f, xb * f);
        };
        const double lpa = at(h, 0), lma = at(-h, 0), lpb = at(0, h), lmb = at(0, -h);
        const double lpp = at(h, h), lpm = at(h, -h), lmp = at(-h, h), lmm = at(-h, -h);
        value += w * l;
        ga += w * (lpa - lma) / (2 * h);
        gb += w * (lpb - lmb) / (2 * h);
        haa += w * (lpa - 2 * l + lma) / (h * h);
        hbb += w * (lpb - 2 * l + lmb) / (h * h);
        hab += w * (lpp - lpm - lmp + lmm) / (4 * h * h);
        return true;
    };
    for (size_t i = 0; i < p.st.size(); ++i) {
        const double x = p.st[i] / th;
        if (!(x > 0))
            continue;
        if (!row(p.sw[i], x, kInf))
            return GammaDerivs{-kInf, {0, 0}, {{0, 0}, {0, 0}}};
    }
    for (size_t i = 0; i < p.ib.size(); ++i)
        if (!row(p.iw[i], p.ia[i] / th, p.ib[i] / th))
            return GammaDerivs{-kInf, {0, 0}, {{0, 0}, {0, 0}}};
    if (!std::isfinite(value))
        return GammaDerivs{-kInf, {0, 0}, {{0, 0}, {0, 0}}};
    r.value = value;
    r.g[0] = ga, r.g[1] = gb;
    r.h[0][0] = haa, r.h[0][1] = r.h[1][0] = hab, r.h[1][1] = hbb;
    return r;
}

double logLikelihood(Dist dist, const Prepared &p, const std::vector<double> &th)
{
    LsData d;
    switch (dist) {
    case Dist::Weibull2:
        makeLs(p, Family::SEV, true, 0, d);
        return lsPass(d, th[0], th[1], false).value;
    case Dist::Exponential:
        makeLs(p, Family::SEV, true, 0, d);
        return lsPass(d, th[0], 0, false).value;
    case Dist::Lognormal:
        makeLs(p, Family::Normal, true, 0, d);
        return lsPass(d, th[0], th[1], false).value;
    case Dist::Normal:
        makeLs(p, Family::Normal, false, 0, d);
        return lsPass(d, th[0], th[1], false).value;
    case Dist::Weibull3:
        return w3Pass(p, th[0], th[1], th[2], false).value;
    case Dist::Gamma:
        return gammaPass(p, th[0], th[1], false).value;
    }
    return -kInf;
}

Objective numericObjective(std::function<double(const Vec &)> f, Vec h)
{
    return [f = std::move(f), h](const Vec &x, Vec *g, Mat *H) -> double {
        const double f0 = f(x);
        if (!g && !H)
            return f0;
        const int n = int(x.size());
        if (g)
            g->setZero(n);
        if (H)
            H->setZero(n, n);
        if (f0 == -kInf)
            return f0;
        std::vector<double> fp(n), fm(n);
        for (int i = 0; i < n; ++i) {
            Vec xp = x, xm = x;
            xp[i] += h[i];
            xm[i] -= h[i];
            fp[i] = f(xp);
            fm[i] = f(xm);
            if (g)
                (*g)[i] = (fp[i] - fm[i]) / (2 * h[i]);
            if (H)
                (*H)(i, i) = (fp[i] - 2 * f0 + fm[i]) / (h[i] * h[i]);
        }
        if (H)
            for (int i = 0; i < n; ++i)
                for (int j = i + 1; j < n; ++j) {
                    Vec a = x, b = x, c = x, e = x;
                    a[i] += h[i], a[j] += h[j];
                    b[i] += h[i], b[j] -= h[j];
                    c[i] -= h[i], c[j] += h[j];
                    e[i] -= h[i], e[j] -= h[j];
                    const double v = (f(a) - f(b) - f(c) + f(e)) / (4 * h[i] * h[j]);
                    (*H)(i, j) = (*H)(j, i) = v;
                }
        for (int i = 0; i < n && g; ++i)
            if (!std::isfinite((*g)[i]))
                return -kInf;
        return f0;
    };
}

void checkStop(const std::atomic<bool> *stop)
{
    if (stop && stop->load(std::memory_order_relaxed))
        throw Cancelled();
}

MaxResult maximize(const Objective &f, Vec x, const Vec &lo, const Vec &hi, int maxIter, bool cheap,
                   const std::atomic<bool> *stop)
{
    const int n = int(x.size());
    MaxResult r;
    auto inside = [&](const Vec &v) {
        for (int i = 0; i < n; ++i)
            if (!(v[i] >= lo[i] && v[i] <= hi[i]))
                return false;
        return true;
    };
    Vec g(n);
    Mat H(n, n);
    if (n == 0) {
        r.x = x;
        r.value = f(x, nullptr, nullptr);
        r.converged = std::isfinite(r.value);
        r.hessian = Mat(0, 0);
        return r;
    }
    double fx = inside(x) ? f(x, &g, &H) : -kInf;
    if (!std::isfinite(fx)) {
        r.x = x;
        r.value = -kInf;
        return r;
    }
    for (int it = 0; it < maxIter; ++it) {
        checkStop(stop);
        // Newton direction; where -H is not positive definite, shift it until it is.
        Mat A = -H;
        Vec p;
        double lambda = 0;
        const double scale = std::max(1e-12, A.diagonal().cwiseAbs().maxCoeff());
        bool pureNewton = true;
        for (int k = 0; k < 60; ++k) {
            Mat B = A;
            if (lambda > 0)
                B.diagonal().array() += lambda;
            Eigen::LLT<Mat> llt(B);
            if (llt.info() == Eigen::Success) {
                p = llt.solve(g);
                if (p.allFinite())
                    break;
            }
            pureNewton = false;
            lambda = lambda == 0 ? 1e-8 * scale : lambda * 10;
            p.resize(0);
        }
        if (p.size() == 0)
            p = g / scale;
        const double decrement = g.dot(p);
        // Line search.
        double step = 1;
        Vec xn;
        double fn = -kInf;
        bool accepted = false;
        Vec gn(n);
        Mat Hn(n, n);
        for (int k = 0; k < 60; ++k) {
            xn = x + step * p;
            if (inside(xn)) {
                fn = cheap ? f(xn, &gn, &Hn) : f(xn, nullptr, nullptr);
                if (std::isfinite(fn) && fn >= fx - 1e-12 * std::abs(fx)) {
                    accepted = true;
                    break;
                }
            }
            step *= 0.5;
        }
        if (!accepted) {
            // No better point along the direction: a maximum if the gradient is negligible.
            r.converged = pureNewton && std::abs(decrement) < 1e-10 * (1 + std::abs(fx));
            break;
        }
        const double moved = (step * p).cwiseAbs().maxCoeff();
        x = xn;
        if (cheap) {
            fx = fn;
            g = gn;
            H = Hn;
        } else {
            fx = f(x, &g, &H);
        }
        if (!std::isfinite(fx))
            break;
        if (pureNewton && step == 1 && std::abs(decrement) < 1e-13 * (1 + std::abs(fx)) &&
            moved < 1e-7 * (1 + x.cwiseAbs().maxCoeff())) {
            r.converged = true;
            break;
        }
    }
    r.x = x;
    r.value = fx;
    r.hessian = H;
    return r;
}

}   // namespace obr::life
