// SPDX-License-Identifier: MIT
#include "gen.h"
#include "stats/stat2018.h"

#include <algorithm>
#include <cmath>

namespace obr::gen {

namespace {

//! splitmix64: small, fast and the same on every platform.
struct Rng {
    uint64_t s;
    uint64_t next()
    {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }   // [0, 1)
    double normal()
    {
        const double u1 = 1 - uniform(), u2 = uniform();
        return std::sqrt(-2 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }
    int poisson(double mean)
    {
        const double L = std::exp(-mean);
        int k = 0;
        double p = uniform();
        while (p > L) {
            ++k;
            p *= uniform();
        }
        return k;
    }
};

//! Expected recorded failures per product: K * integral of f(t) (1 - Phi(t)).
double recordedPerProduct(const Params &p)
{
    const double tmax = p.Sred + 8 * p.SKO;
    const int n = 20000;
    double sum = 0, Fprev = 0;
    for (int i = 1; i <= n; ++i) {
        const double t = tmax * i / n;
        const double F = 1 - std::exp(-p.A * std::pow(t, p.B));
        sum += (F - Fprev) * (1 - CDF_Gauss(p.Sred, p.SKO, t - tmax / n / 2));
        Fprev = F;
    }
    return p.K * sum;
}

}   // namespace

Params defaults()
{
    Params p;
    p.A = std::pow(4000.0, -p.B);
    return p;
}

std::vector<Fleet> fleets()
{
    // B, scale (A = scale^-B), K, warranty mean and deviation, undocumented share, header
    // mean and deviation (0: the truth).
    auto shape = [](double B, double scale, double K, double sred, double sko, double undoc = 0,
                    double hSred = 0, double hSko = 0) {
        Params p;
        p.B = B;
        p.A = std::pow(scale, -B);
        p.K = K;
        p.Sred = sred;
        p.SKO = sko;
        p.undocumented = undoc;
        p.headerSred = hSred;
        p.headerSko = hSko;
        return p;
    };
    return {
        {"early-wear", 155, shape(0.7, 340, 1.0, 600, 150)},
        {"wear-out", 2138, shape(2.5, 1039, 1.3, 1000, 250)},
        {"repeats-undoc", 9862, shape(1.5, 845, 3.0, 800, 200, 0.05)},
        {"few-steep", 30, shape(4.0, 3000, 1.0, 1000, 300)},
        {"infant-rare", 1000, shape(0.5, 1e5, 0.15, 1000, 300)},
        {"steep-header", 3000, shape(3.0, 2000, 1.2, 1000, 300, 0, 900, 450)},
        {"repeats-header", 300, shape(2.0, 1500, 3.0, 700, 150, 0.1, 0, 100)},
        {"infant-big", 10000, shape(0.5, 2e4, 0.15, 1200, 300, 0.05, 0, 240)},
        {"steep-big", 10000, shape(4.0, 1800, 3.0, 1000, 250)},
    };
}

State makeState(int failures, uint64_t seed, const Params &p)
{
    Rng rng{seed * 0x2545F4914F6CDD1Dull + 12345};
    const int fleet = std::max(1, int(std::lround(failures / recordedPerProduct(p))));
    State s;
    std::vector<Problems> recs;
    for (int prod = 0; prod < fleet; ++prod) {
        const double w = p.Sred + p.SKO * rng.normal();
        const int nf = rng.poisson(p.K);
        for (int f = 0; f < nf; ++f) {
            const double u = rng.uniform();
            double t = std::pow(-std::log(1 - u) / p.A, 1 / p.B);
            t = std::max(p.step, std::round(t / p.step) * p.step);
            if (t < w) {
                Problems r;
                r.time = t;
                r.chey = int32_t(rng.next() % 4);
                recs.push_back(r);
            }
        }
    }
    if (recs.empty()) {
        Problems r;
        r.time = p.Sred / 2;
        recs.push_back(r);
    }
    // The failures the file leaves out: the header's failure count keeps them, and the
    // fleet is reduced in the same proportion, as the loader does.
    const int recorded = int(recs.size());
    if (p.undocumented > 0 && recs.size() > 1) {
        std::vector<Problems> kept;
        kept.reserve(recs.size());
        for (const Problems &r : recs)
            if (!(rng.uniform() < p.undocumented))
                kept.push_back(r);
        if (!kept.empty())
            recs = std::move(kept);
    }
    std::stable_sort(recs.begin(), recs.end(),
                     [](const Problems &a, const Problems &b) { return a.time < b.time; });
    s.MasProbl = std::move(recs);
    const int n = int(s.MasProbl.size());
    s.Kol_Izd_All = fleet;
    s.KolOtk = std::max(n, recorded);
    s.Kol_izw = n;
    s.Izd_Prived = fleet;
    if (s.KolOtk > n) {
        s.Popravka_Unknow = double(n) / double(s.KolOtk);
        s.Izd_Prived = fleet * s.Popravka_Unknow;
    }
    s.Sred = p.headerSred > 0 ? p.headerSred : p.Sred;
    s.SKO = p.headerSko > 0 ? p.headerSko : p.SKO;
    s.uk = true;
    hist(s);
    return s;
}

}   // namespace obr::gen
