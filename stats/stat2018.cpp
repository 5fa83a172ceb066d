// SPDX-License-Identifier: MIT
#include "stat2018.h"
#include "model/errors.h"
#include "model/numfmt.h"
#include "model/texts.h"

#include <climits>
#include <cmath>

namespace obr {

double ErfC(double X)
{
    if (X < 0)
        return 2 - ErfC(-X);
    if (X < 0.5)
        return 1 - Erf(X);
    if (X >= 10)
        return 0;
    const double p =
        ((((((0.56418778255 * X + 9.675807882987) * X + 77.08161730368) * X + 368.519615471) * X +
           1143.262070703) *
              X +
          2320.439590251) *
             X +
         2898.029329216) *
            X +
        1826.334884229;
    const double q =
        (((((((X + 17.14980943627) * X + 137.12559605) * X + 661.7361207107) * X + 2094.384367789) *
               X +
           4429.612803883) *
              X +
          6089.542423272) *
             X +
         4958.827564721) *
            X +
        1826.334884229;
    return std::exp(-X * X) * p / q;
}

double Erf(double X)
{
    const double s = X > 0 ? 1.0 : (X < 0 ? -1.0 : 0.0);
    const double x = std::fabs(X);
    if (x < 0.5) {
        const double z = x * x;
        const double p =
            (((((0.007547728033418632 * z - 0.2888051372075941) * z + 14.33838421917482) * z +
               38.0140318123903) *
                  z +
              3017.827885365076) *
                 z +
             7404.071427101515) *
                z +
            80437.36309608402;
        const double q =
            ((((z + 38.01907139519394) * z + 658.0701554592405) * z + 6379.600173244283) * z +
             34216.52579246285) *
                z +
            80437.36309608402;
        return s * 1.1283791670955126 * x * p / q;
    }
    if (x > 10)
        return s;
    return s * (1 - ErfC(x));
}

double NormalDistribution(double X) { return (Erf(X / 1.4142135623730951) + 1) * 0.5; }

double CDF_Gauss(double Sred, double SKO, double X) { return NormalDistribution((X - Sred) / SKO); }

double weibCDF(double A, double B, double X) { return weibFromPow(A, std::pow(X, B)); }

double weibCDF2(double A, double B, double X1, double X2)
{
    if (X1 > X2) {
        if (Notifier *n = coreNotifier())
            n->error(txt::appCaption, txt::x2x1);
        return 0;
    }
    return weibDiff(weibCDF(A, B, X2), weibCDF(A, B, X1));
}

double weibinv(double A, double B, double P)
{
    if (P < 1)
        return std::pow((1 / A) * std::log(1 / (1 - P)), 1 / B);
    return 1e10;
}

void Kolmogor(const State &s, double Kpwt, double A, double B, double Mu, double Sig,
              double &KolmCrt, QString &S)
{
    const size_t n = s.MasProbl.size();
    double D = 0, e = 0, fprev = 0, m = 0;
    for (size_t i = 0; i < n; ++i) {
        e = e + 1.0 / double(n);
        const double t = s.MasProbl[i].time;
        const double f = weibCDF(A, B, t);
        const double g = CDF_Gauss(Mu, Sig, t);
        m = m + (f - fprev) * (1 - g);
        fprev = f;
        const double Fm = m * s.Izd_Prived * Kpwt / s.Kol_izw;
        const double d = std::fabs(e - Fm);
        if (d > D)
            D = d;
    }
    KolmCrt = D * std::sqrt(double(n));
    // 1.3581: critical value of the Kolmogorov distribution at the 5% level.
    S = KolmCrt < 1.3581 ? QStringLiteral(" <1.3581(0.05)") : QStringLiteral(" >1.3581(0.05)");
}

namespace {

/*! One construction of the histogram with the given widths. Returns false, with the
 *  histogram left incomplete, as soon as it has more than \a abortAbove entries (the
 *  caller then doubles the second width and rebuilds); 0 disables the early stop. */
bool buildHistogram(std::span<const Problems> P, double T, int32_t d1, int32_t d2,
                    size_t abortAbove, std::vector<Hist_Rec> &out)
{
    out.clear();
    double g = 0;
    int Ngis = 1;
    size_t j = 0, start = 0;
    const size_t n = P.size();
    for (;;) {
        out.emplace_back();
        Hist_Rec &h = out.back();
        for (;;) {
            const double w = Ngis < 9 ? d1 : d2;
            g += w;
            while (j < n && P[j].time < g + 0.1) {
                if (P[j].chey == 0)
                    ++h.Nund;
                else
                    ++h.Npr[P[j].chey];
                ++j;
            }
            h.Sum = int32_t(j - start);
            if (h.Sum != 0 || !(g < T))
                break;
            // An empty stretch: jump over the widenings that cannot reach the next
            // failure or T. The bounds are the same sums of whole widths, so the jump
            // lands where repeated widening would.
            const double target = std::min(j < n ? P[j].time - 0.1 : T, T);
            if (target - g > 2 * w) {
                const double k = std::floor((target - g) / w) - 1;
                if (k > 0)
                    g += k * w;
            }
        }
        h.time = g;
        ++Ngis;
        start = j;
        if (abortAbove && out.size() > abortAbove)
            return false;
        if (!(g < T))
            return true;
    }
}

}   // namespace

void hist(State &s)
{
    const auto &P = s.MasProbl;
    if (P.empty())
        throw UserError(txt::noFailures);
    s.D_Hist1 = 100;
    const double T = P.back().time;
    const double R = roundEven(T);
    if (R >= 1 && R <= 2300)
        s.D_Hist2 = 100;
    else if (R >= 2301 && R <= 90000)
        s.D_Hist2 = 200;
    // A second width that was never set cannot advance the construction: start from
    // the width that the largest time calls for.
    if (s.D_Hist2 < 1)
        s.D_Hist2 = R > 2300 ? 200 : 100;

    const size_t n = P.size();
    for (;;) {
        const bool canDouble = s.D_Hist2 <= INT32_MAX / 2;
        // More than 31 entries can only end in a doubling (the halving rule needs at most
        // 10), so a construction that passes 31 entries is stopped early.
        const bool complete =
            buildHistogram(P, T, s.D_Hist1, s.D_Hist2, canDouble ? 31 : 0, s.Hist_Arr);
        if (complete && n > 70 && s.Hist_Arr.size() <= 10 && s.D_Hist1 > 1) {
            s.D_Hist1 = s.D_Hist1 / 2;
            continue;
        }
        if (s.Hist_Arr.size() > 31 && canDouble) {
            s.D_Hist2 = s.D_Hist2 * 2;
            continue;
        }
        break;
    }
}

HalfFleetTimes halfFleetTimes(std::span<const Problems> P, double N, double Sred, double SKO)
{
    HalfFleetTimes h;
    double S = 0;
    double tprev = 0;
    for (size_t k = 0; k < P.size(); ++k) {
        const double t = P[k].time;
        const double G = CDF_Gauss(Sred, SKO, t);
        // Where every product has left observation the weight 1 / (1 - G) is infinite:
        // such a failure does not enter the corrected count.
        const bool finite = G < 1;
        if (finite)
            S = S + 1 / (1 - G);
        if (h.t50 == 0 && double(k + 1) / N >= 0.5)
            h.t50 = t - (t - tprev) * Frac(double(k + 1) - 0.5 * N);
        if (finite && h.tz50 == 0 && S / N >= 0.5)
            h.tz50 = t - (t - tprev) * Frac(S - 0.5 * N);
        tprev = t;
    }
    return h;
}

void checkWarrantyFigures(std::span<const Problems> P, std::optional<double> Sred,
                          std::optional<double> SKO, std::optional<double> tGar, QChar dec)
{
    if (Sred && !(*Sred > 0))
        throw UserError(QStringLiteral("Среднее время гарантии должно быть больше 0, а задано %1")
                            .arg(fmtGeneral(*Sred, dec)));
    if (SKO && !(*SKO > 0))
        throw UserError(QStringLiteral("СКО времени гарантии должно быть больше 0, а задано %1 "
                                       "(число в поле могло округлиться до 0)")
                            .arg(fmtGeneral(*SKO, dec)));
    if (tGar && !(*tGar >= 0))
        throw UserError(QStringLiteral("Гарантийный срок для расчета не может быть "
                                       "отрицательным, а задано %1")
                            .arg(fmtGeneral(*tGar, dec)));
    if (!Sred || !SKO || P.empty())
        return;
    // The distribution function grows with the time: only the last failures can fail the
    // test, and the first of them is found by bisection.
    auto out = [&](size_t i) { return !(CDF_Gauss(*Sred, *SKO, P[i].time) < 1); };
    if (!out(P.size() - 1))
        return;
    size_t lo = 0, hi = P.size() - 1;   // out(hi) holds
    if (out(0))
        hi = 0;
    while (hi - lo > 1) {
        const size_t mid = lo + (hi - lo) / 2;
        (out(mid) ? hi : lo) = mid;
    }
    throw UserError(
        QStringLiteral("Отказ № %1: наработка %2 ч лежит так далеко за средним сроком "
                       "гарантии %3 ч (СКО %4 ч), что все изделия уже выбыли из "
                       "наблюдения. Проверьте среднее и СКО гарантийного срока.")
            .arg(hi + 1)
            .arg(fmtGeneral(P[hi].time, dec), fmtGeneral(*Sred, dec), fmtGeneral(*SKO, dec)));
}

QString histMadeLine(double sko, QChar dec)
{
    return QStringLiteral("Доверительный 95% интервал модели ") + QStringLiteral("= ") +
           fmtF(1.96 * sko, 6, 4, dec) + QStringLiteral(",  СКО= ") + fmtF(sko, 6, 4, dec);
}

void Hist_Made(const State &s, double A, double B, double Kpowt,
               std::vector<double> &Mas_Model_Hist, double &N_Nakopl, double &SKO_,
               const LogSink &log, QChar dec)
{
    const size_t m = s.Hist_Arr.size();
    Mas_Model_Hist.assign(m, 0.0);
    N_Nakopl = 0;
    SKO_ = 0;
    double x1 = 0;
    for (size_t i = 0; i < m; ++i) {
        const double x2 = s.Hist_Arr[i].time;
        Mas_Model_Hist[i] =
            s.Izd_Prived * Kpowt * weibCDF2(A, B, x1, x2) * (1 - CDF_Gauss(s.Sred, s.SKO, x2));
        N_Nakopl += Mas_Model_Hist[i];
        const double d = s.Hist_Arr[i].Sum - Mas_Model_Hist[i];
        SKO_ += d * d;
        x1 = x2;
    }
    SKO_ = m ? std::sqrt(SKO_ / double(m)) : 0.0;
    if (log)
        log(histMadeLine(SKO_, dec));
}

}   // namespace obr
