// SPDX-License-Identifier: MIT
// Times the three fits (spiral descent, Newton search, Smirnov) on generated data sets,
// the fast fits against the step-by-step reference, and checks that both publish the
// same model.
//
//   bench_fits [--sizes 30,300,3000,10000] [--fits spiral,newton,smirnov]
//              [--criterion 0|1|2] [--ref-limit SECONDS] [--seed N]
//              [--k-spiral X] [--k-newton X] [--k-smirnov X] [--fit-sred 0|1] [--fit-sko 0|1]
//              [--fleets all|none|name,...]
//
// A reference run whose estimated time (its evaluation count, known from the fast run,
// times the measured cost of one plain evaluation) exceeds --ref-limit (default 180 s)
// is skipped; the table then shows the estimate.
//
// The second table fits the generated fleets of users' shapes (gen::fleets(); --sizes none
// leaves out the first table): evaluations, passes, CPU seconds and the nanoseconds per
// failure (Smirnov) or per histogram interval (the Pearson fits) per evaluation, so a
// walk that takes a slow path shows as an outlier in that column; the published point is
// printed to the last digit for comparison between builds. "sat %" is the share of the
// evaluations' Weibull terms that lay past the exponent where the value is exactly 1.
#include "fit/fits.h"
#include "gen.h"
#include "reference.h"
#include "stats/stat2018.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

using namespace obr;

namespace {

struct Options {
    std::vector<int> sizes{30, 300, 3000, 10000};
    std::vector<std::string> fits{"spiral", "newton", "smirnov"};
    Criterion crit = Criterion::Spec1;
    double refLimit = 180;
    uint64_t seed = 1;
    double kSpiral = 1.00025, kNewton = 1.00025, kSmirnov = 1.0005;
    bool sredOpt = false, skoOpt = false;
    std::vector<std::string> fleets{"all"};
};

std::vector<std::string> split(const std::string &s)
{
    std::vector<std::string> out;
    size_t p = 0;
    while (p <= s.size()) {
        const size_t q = s.find(',', p);
        out.push_back(s.substr(p, q == std::string::npos ? std::string::npos : q - p));
        if (q == std::string::npos)
            break;
        p = q + 1;
    }
    return out;
}

//! CPU seconds of this process: the machine may be shared, and the fits use one thread.
double now() { return double(std::clock()) / CLOCKS_PER_SEC; }

//! Seconds of one plain (reference) evaluation of the fit's objective on \a s.
double plainEvalCost(const State &s, const std::string &fit, Criterion c)
{
    Mod_Weib M;
    const size_t m = s.Hist_Arr.size();
    M.F_norm.assign(std::max(m, s.MasProbl.size()), 0.0);
    M.F_Weib.assign(m, 0.0);
    M.Kol_F_priv.assign(m, 0.0);
    const int reps = fit == "smirnov" ? std::max(20, int(2000000 / (s.MasProbl.size() + 1)))
                                      : std::max(200, int(4000000 / (m + 1)));
    volatile double sink = 0;
    const Criterion cc = c == Criterion::Standard ? Criterion::Spec1 : c;
    const double t0 = now();
    for (int r = 0; r < reps; ++r) {
        const double B = 1.0 + 1e-6 * r;
        if (fit == "smirnov")
            sink = sink + ref::Smirnow(s, M.F_norm, 1e-5, B, 1.1);
        else
            sink = sink + ref::Pirson(s, 1e-5, B, 1.1, s.Sred, s.SKO, M, cc);
    }
    return (now() - t0) / reps;
}

struct Outcome {
    double A = 0, B = 0, K = 0, Sred = 0, SKO = 0;
};

Outcome outcomeOf(const State &s, const std::string &fit)
{
    const Mod_Weib &M = fit == "spiral" ? s.MPirsS : fit == "newton" ? s.MPirsN : s.MSmirn;
    return {M.A, M.B, M.K_powtor, s.Sred, s.SKO};
}

double relDiff(const Outcome &a, const Outcome &b)
{
    auto r = [](double x, double y) {
        const double d = std::fabs(x - y);
        const double m = std::max(std::fabs(x), std::fabs(y));
        return m > 0 ? d / m : d;
    };
    return std::max({r(a.A, b.A), r(a.B, b.B), r(a.K, b.K), r(a.Sred, b.Sred), r(a.SKO, b.SKO)});
}

bool wanted(const std::vector<std::string> &names, const char *name)
{
    for (const auto &n : names)
        if (n == "all" || n == name)
            return true;
    return false;
}

//! One fast fit of \a fit on a copy of \a base; CPU seconds.
double runFit(State &fs, const std::string &fit, const Options &o, FitStats &st)
{
    const double t0 = now();
    if (fit == "spiral")
        SpirSp_Execute(fs, o.kSpiral, o.crit, nullLog(), &st);
    else if (fit == "newton")
        Podbor_Weib_Pirson(fs, fs.MPirsN.A, fs.MPirsN.B, o.kNewton, o.crit, nullLog(), &st);
    else
        Podbor_Weib_Smirnow(fs, fs.MSmirn.A, fs.MSmirn.B, o.kSmirnov, nullLog(), &st);
    return now() - t0;
}

void fleetTable(const Options &o)
{
    std::printf("\n%-15s %6s %6s %4s %-8s %10s %7s %8s %9s %6s   %s\n", "fleet", "fails", "fleet",
                "bins", "fit", "evals", "passes", "CPU s", "ns/unit", "sat %", "point A B K");
    std::fflush(stdout);
    for (const gen::Fleet &f : gen::fleets()) {
        if (!wanted(o.fleets, f.name))
            continue;
        State base = gen::makeState(f.failures, o.seed + uint64_t(f.failures), f.p);
        base.Sred_Opt = o.sredOpt;
        base.SKO_Opt = o.skoOpt;
        for (const auto &fit : o.fits) {
            State fs = base;
            FitStats st;
            double sec = 0;
            const char *error = nullptr;
            try {
                sec = runFit(fs, fit, o, st);
            } catch (const std::exception &) {
                error = "refused";
            }
            const Outcome r = outcomeOf(fs, fit);
            // A Smirnov evaluation goes over the failures, a Pearson one over the intervals.
            const double units =
                double(fit == "smirnov" ? base.MasProbl.size() : base.Hist_Arr.size());
            const double ns = st.evaluations > 0 ? sec * 1e9 / (double(st.evaluations) * units) : 0;
            // The share of the evaluations' Weibull terms past the saturation cut-off.
            const double sat = st.evaluations > 0 ? 100 * double(st.saturatedTerms) /
                                                        (double(st.evaluations) * units)
                                                  : 0;
            std::printf("%-15s %6zu %6d %4zu %-8s %10lld %7lld %8.3f %9.2f %6.2f   ", f.name,
                        base.MasProbl.size(), base.Kol_Izd_All, base.Hist_Arr.size(), fit.c_str(),
                        (long long)st.evaluations, (long long)st.passes, sec, ns, sat);
            if (error)
                std::printf("%s\n", error);
            else
                std::printf("%.17g %.17g %.17g\n", r.A, r.B, r.K);
            std::fflush(stdout);
        }
    }
}

}   // namespace

int main(int argc, char **argv)
{
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i], v = argv[i + 1];
        if (k == "--sizes") {
            o.sizes.clear();
            if (v != "none")
                for (auto &x : split(v))
                    o.sizes.push_back(std::stoi(x));
        } else if (k == "--fleets") {
            o.fleets = split(v);
        } else if (k == "--fits") {
            o.fits = split(v);
        } else if (k == "--criterion") {
            o.crit = criterionFromIndex(std::stoi(v));
        } else if (k == "--ref-limit") {
            o.refLimit = std::stod(v);
        } else if (k == "--seed") {
            o.seed = std::stoull(v);
        } else if (k == "--k-spiral") {
            o.kSpiral = std::stod(v);
        } else if (k == "--k-newton") {
            o.kNewton = std::stod(v);
        } else if (k == "--fit-sred") {
            o.sredOpt = v == "1";
        } else if (k == "--fit-sko") {
            o.skoOpt = v == "1";
        } else if (k == "--k-smirnov") {
            o.kSmirnov = std::stod(v);
        } else {
            std::fprintf(stderr, "unknown option %s\n", k.c_str());
            return 2;
        }
    }
    std::printf("criterion %d, coefficients spiral %g, Newton %g, Smirnov %g, warranty mean "
                "%s, deviation %s, reference limit %g s; times are CPU seconds of this "
                "process (one thread)\n\n",
                int(o.crit), o.kSpiral, o.kNewton, o.kSmirnov, o.sredOpt ? "fitted" : "fixed",
                o.skoOpt ? "fitted" : "fixed", o.refLimit);
    if (o.sizes.empty()) {
        fleetTable(o);
        return 0;
    }
    std::printf("%-8s %-5s %-8s %12s %8s %9s | %13s %10s %9s | %8s %s\n", "failures", "bins", "fit",
                "evaluations", "passes", "fast s", "ref evals", "ref s", "speed-up", "max diff",
                "note");
    std::fflush(stdout);
    for (int size : o.sizes) {
        State base = gen::makeState(size, o.seed + uint64_t(size));
        base.Sred_Opt = o.sredOpt;
        base.SKO_Opt = o.skoOpt;
        for (const auto &fit : o.fits) {
            State fs = base;
            FitStats st;
            const double t0 = now();
            if (fit == "spiral")
                SpirSp_Execute(fs, o.kSpiral, o.crit, nullLog(), &st);
            else if (fit == "newton")
                Podbor_Weib_Pirson(fs, fs.MPirsN.A, fs.MPirsN.B, o.kNewton, o.crit, nullLog(), &st);
            else
                Podbor_Weib_Smirnow(fs, fs.MSmirn.A, fs.MSmirn.B, o.kSmirnov, nullLog(), &st);
            const double fastSec = now() - t0;

            const double est = double(st.stepEvaluations) * plainEvalCost(base, fit, o.crit);
            double refSec = 0, diff = -1;
            std::string note;
            if (est <= o.refLimit) {
                State rs = base;
                ref::Stats rst;
                const double r0 = now();
                if (fit == "spiral")
                    ref::SpirSp_Execute(rs, o.kSpiral, o.crit, &rst);
                else if (fit == "newton")
                    ref::Podbor_Weib_Pirson(rs, rs.MPirsN.A, rs.MPirsN.B, o.kNewton, o.crit, &rst);
                else
                    ref::Podbor_Weib_Smirnow(rs, rs.MSmirn.A, rs.MSmirn.B, o.kSmirnov, &rst);
                refSec = now() - r0;
                diff = relDiff(outcomeOf(fs, fit), outcomeOf(rs, fit));
                if (rst.evaluations != st.stepEvaluations)
                    note = "evaluation counts differ";
            } else {
                refSec = est;
                char buf[96];
                std::snprintf(buf, sizeof buf, "reference skipped, estimated %.0f s", est);
                note = buf;
            }
            char diffText[32];
            if (diff < 0)
                std::snprintf(diffText, sizeof diffText, "-");
            else
                std::snprintf(diffText, sizeof diffText, "%.1e", diff);
            std::printf("%-8d %-5zu %-8s %12lld %8lld %9.3f | %13lld %10.2f %8.0fx | %8s %s\n",
                        int(base.MasProbl.size()), base.Hist_Arr.size(), fit.c_str(),
                        (long long)st.evaluations, (long long)st.passes, fastSec,
                        (long long)st.stepEvaluations, refSec, refSec / fastSec, diffText,
                        note.c_str());
            std::fflush(stdout);
        }
    }
    if (!(o.fleets.size() == 1 && o.fleets[0] == "none"))
        fleetTable(o);
    return 0;
}
