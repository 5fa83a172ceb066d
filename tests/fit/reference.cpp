// SPDX-License-Identifier: MIT
#include "reference.h"
#include "model/errors.h"
#include "stats/stat2018.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace obr::ref {

namespace {

void checkK(double k)
{
    if (!(k > 1))
        throw UserError(fittxt::coefficientTooSmall(QString::number(k), {}));
}

void finalPass(const State &s, Mod_Weib &M)
{
    const size_t m = s.Hist_Arr.size();
    M.F_Weib.assign(m, 0.0);
    M.Kol_F_priv.assign(m, 0.0);
    if (M.F_norm.size() < m)
        M.F_norm.resize(m);
    double t1 = 0;
    for (size_t i = 0; i < m; ++i) {
        const double t2 = s.Hist_Arr[i].time;
        M.F_Weib[i] = weibCDF2(M.A, M.B, t1, t2);
        M.F_norm[i] = CDF_Gauss(s.Sred, s.SKO, (t1 + t2) / 2);
        M.Kol_F_priv[i] = s.Izd_Prived * M.K_powtor * M.F_Weib[i] * (1 - M.F_norm[i]);
        t1 = t2;
    }
}

double seconds(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

} // namespace

double Pirson(const State &s, double A, double B, double k_pwt, double Mu, double Sig,
              Mod_Weib &Mpir, Criterion c)
{
    const size_t m = s.Hist_Arr.size();
    auto tPrev = [&](size_t i) { return i == 0 ? 0.0 : s.Hist_Arr[i - 1].time; };
    for (size_t i = 0; i < m; ++i)
        Mpir.F_norm[i] = CDF_Gauss(Mu, Sig, (tPrev(i) + s.Hist_Arr[i].time) / 2);
    double E = 0, S = 0;
    for (size_t i = 0; i < m; ++i) {
        Mpir.F_Weib[i] = weibCDF2(A, B, tPrev(i), s.Hist_Arr[i].time);
        Mpir.Kol_F_priv[i] = s.Izd_Prived * k_pwt * Mpir.F_Weib[i] * (1 - Mpir.F_norm[i]);
        E += Mpir.Kol_F_priv[i];
        const double O = s.Hist_Arr[i].Sum, Ei = Mpir.Kol_F_priv[i], P = Mpir.F_Weib[i];
        double r;
        if (c == Criterion::Standard)
            r = (O - Ei) / Ei;
        else if (c == Criterion::Spec1)
            r = O - Ei;
        else
            r = (O - Ei) * P;
        S += r * r;
    }
    const double d = s.Kol_izw - E;
    const double f = S + d * d;
    if (!std::isfinite(f))
        throw UserError(c == Criterion::Standard ? fittxt::standardZeroCount()
                                                 : fittxt::notFinite(QString()));
    return f;
}

double Smirnow(const State &s, const std::vector<double> &F_norm, double A, double B, double K)
{
    double E = 0, S = 0;
    const size_t n = s.MasProbl.size();
    for (size_t i = 0; i < n; ++i) {
        const double t1 = i == 0 ? 0.0 : s.MasProbl[i - 1].time;
        E = E + s.Izd_Prived * K * weibCDF2(A, B, t1, s.MasProbl[i].time) * (1 - F_norm[i]);
        const double d = double(i + 1) - E;
        S = S + d * d;
    }
    const double f = std::sqrt(S) / s.Kol_izw;
    if (!std::isfinite(f))
        throw UserError(fittxt::notFinite(QString()));
    return f;
}

namespace {

//! The search vector shared by both Pearson searches (indices 0-based here).
struct Vec {
    int Np = 3;
    double A_s[5]{}, A_min[5]{}, A_max[5]{}, h_s[5]{}, ee[5]{}, A_sr[5]{};
};

void setTable(Vec &v, const State &s, const double rows[6][5])
{
    auto put = [&](int i, const double *r) {
        v.A_s[i] = r[0];
        v.A_min[i] = r[1];
        v.A_max[i] = r[2];
        v.h_s[i] = r[3];
        v.ee[i] = r[4];
    };
    put(0, rows[0]);
    put(1, rows[1]);
    put(2, rows[2]);
    v.Np = 3;
    if (s.Sred_Opt && s.SKO_Opt) {
        put(3, rows[3]);
        put(4, rows[4]);
        v.Np = 5;
    } else if (s.Sred_Opt) {
        put(3, rows[3]);
        v.Np = 4;
    } else if (s.SKO_Opt) {
        put(3, rows[5]);
        v.Np = 4;
    }
}

double zf(const State &s, const Vec &v, Mod_Weib &M, Criterion c, Stats &st)
{
    const double Mu = s.Sred_Opt ? v.A_s[3] : s.Sred;
    const double Sig = s.Sred_Opt && s.SKO_Opt ? v.A_s[4] : (s.SKO_Opt ? v.A_s[3] : s.SKO);
    ++st.evaluations;
    return ref::Pirson(s, v.A_s[1], v.A_s[0], v.A_s[2], Mu, Sig, M, c);
}

bool out(const Vec &v)
{
    for (int k = 0; k < v.Np; ++k)
        if (!(std::fabs(v.h_s[k]) < v.ee[k]))
            return false;
    return true;
}

void publish(State &s, const Vec &v, Mod_Weib &M)
{
    M.A = v.A_s[1];
    M.B = v.A_s[0];
    M.K_powtor = v.A_s[2];
    if (s.Sred_Opt && s.SKO_Opt) {
        s.Sred = v.A_s[3];
        s.SKO = v.A_s[4];
    } else if (s.Sred_Opt) {
        s.Sred = v.A_s[3];
    } else if (s.SKO_Opt) {
        s.SKO = v.A_s[3];
    }
    M.SKO = s.SKO;
    M.Sred = s.Sred;
}

} // namespace

void SpirSp_Execute(State &s, double KdivSpir, Criterion c, Stats *stOut)
{
    checkK(KdivSpir);
    const auto t0 = std::chrono::steady_clock::now();
    Stats st;
    const double rows[6][5] = {{0.001, 0, 7, 0.001, 1e-7},  {0.001, 0, 10, 5e-5, 1e-8},
                               {1.0, 0, 30, 0.001, 1e-6},   {400, 0, 3000, 0.25, 0.01},
                               {100, 0, 900, 0.5, 0.1},     {100, 0, 900, 0.5, 0.1}};
    Vec v;
    setTable(v, s, rows);
    Mod_Weib &M = s.MPirsS;
    const size_t m = s.Hist_Arr.size();
    M.F_Weib.assign(m, 0.0);
    M.F_norm.assign(m, 0.0);
    M.Kol_F_priv.assign(m, 0.0);
    double B_ss = zf(s, v, M, c, st);
    double C_s = B_ss;
    do {
        ++st.passes;
        for (int j = 0; j < v.Np; ++j) {
            for (;;) {
                std::copy(v.A_s, v.A_s + 5, v.A_sr);
                if (v.A_s[j] + v.h_s[j] > 0)
                    v.A_s[j] = v.A_s[j] + v.h_s[j];
                if (v.A_s[j] == v.A_sr[j]) {
                    // A refused step (or one too small to move the parameter) ends the
                    // walk as a rise would.
                    C_s = B_ss;
                    break;
                }
                if (v.A_s[j] > v.A_max[j])
                    break;
                C_s = B_ss;
                B_ss = zf(s, v, M, c, st);
                if (!(B_ss <= C_s))
                    break;
            }
            B_ss = C_s;
            v.A_s[j] = v.A_sr[j] - v.h_s[j];
            v.h_s[j] = -v.h_s[j] / KdivSpir;
        }
    } while (!out(v));
    publish(s, v, M);
    finalPass(s, M);
    M.Executed = true;
    st.seconds = seconds(t0);
    if (stOut)
        *stOut = st;
}

void Podbor_Weib_Pirson(State &s, double &Arez, double &Brez, double Kdiv_Pirs, Criterion c,
                        Stats *stOut)
{
    checkK(Kdiv_Pirs);
    const auto t0 = std::chrono::steady_clock::now();
    Stats st;
    const double rows[6][5] = {{1.0, 0.001, 200, 0.1, 1e-9}, {0.5, 0.001, 5, 0.001, 1e-9},
                               {1.0, 0.1, 30, 0.1, 1e-8},    {500, 150, 3000, 1.0, 0.05},
                               {150, 30, 900, 1.0, 0.005},   {150, 30, 900, 5.0, 0.01}};
    Vec v;
    setTable(v, s, rows);
    Mod_Weib &M = s.MPirsN;
    const size_t m = s.Hist_Arr.size();
    M.F_Weib.assign(m, 0.0);
    M.F_norm.assign(m, 0.0);
    M.Kol_F_priv.assign(m, 0.0);
    double f_cur = zf(s, v, M, c, st);
    do {
        ++st.passes;
        for (int j = 0; j < v.Np; ++j) {
            double f_new, f_prev;
            bool lim = false;
            do {
                std::copy(v.A_s, v.A_s + 5, v.A_sr);
                v.A_s[j] = v.A_s[j] + v.h_s[j];
                f_new = zf(s, v, M, c, st);
                f_prev = f_cur;
                f_cur = f_new;
                if (f_new < f_prev)
                    lim = v.A_s[j] + v.h_s[j] <= v.A_min[j] || v.A_s[j] > v.A_max[j];
            } while (f_new < f_prev && !lim);
            std::copy(v.A_sr, v.A_sr + 5, v.A_s);
            f_cur = f_prev;
            v.h_s[j] = -v.h_s[j] / Kdiv_Pirs;
        }
        publish(s, v, M);
        Arez = M.A;
        Brez = M.B;
        M.Executed = true;
    } while (!out(v));
    finalPass(s, M);
    st.seconds = seconds(t0);
    if (stOut)
        *stOut = st;
}

void Podbor_Weib_Smirnow(State &s, double &Arez, double &Brez, double KdivSm, Stats *stOut)
{
    checkK(KdivSm);
    const auto t0 = std::chrono::steady_clock::now();
    Stats st;
    double A_s[3] = {0.0005, 1.0, 1.0}, A_sr[3];
    const double A_min[3] = {1e-10, 0.3, 0.1}, A_max[3] = {0.01, 5, 30};
    double h_s[3] = {0.0001, 0.001, 0.001};
    const double ee[3] = {1e-8, 1e-7, 1e-7};
    Mod_Weib &M = s.MSmirn;
    const size_t n = s.MasProbl.size(), m = s.Hist_Arr.size();
    M.F_norm.assign(std::max(n, m), 0.0);
    for (size_t i = 0; i < n; ++i)
        M.F_norm[i] = CDF_Gauss(s.Sred, s.SKO, s.MasProbl[i].time);
    M.F_Weib.assign(m, 0.0);
    M.Kol_F_priv.assign(m, 0.0);
    auto smirnow = [&] {
        ++st.evaluations;
        return Smirnow(s, M.F_norm, A_s[0], A_s[1], A_s[2]);
    };
    double f_cur = smirnow();
    for (;;) {
        ++st.passes;
        for (int j = 0; j < 3; ++j) {
            double f_new, f_prev;
            bool limit;
            do {
                std::copy(A_s, A_s + 3, A_sr);
                A_s[j] = A_s[j] + h_s[j];
                limit = A_s[j] + h_s[j] <= A_min[j] || A_s[j] > A_max[j];
                f_new = smirnow();
                f_prev = f_cur;
                f_cur = f_new;
            } while (!(f_new >= f_prev || limit));
            std::copy(A_sr, A_sr + 3, A_s);
            f_cur = f_prev;
            h_s[j] = -h_s[j] / KdivSm;
        }
        if (std::fabs(h_s[0]) < ee[0] && std::fabs(h_s[1]) < ee[1] && std::fabs(h_s[2]) < ee[2])
            break;
    }
    M.A = A_s[0];
    M.B = A_s[1];
    Arez = M.A;
    Brez = M.B;
    M.K_powtor = A_s[2];
    finalPass(s, M);
    M.Executed = true;
    M.Sred = s.Sred;
    M.SKO = s.SKO;
    st.seconds = seconds(t0);
    if (stOut)
        *stOut = st;
}

} // namespace obr::ref
