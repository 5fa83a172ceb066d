// SPDX-License-Identifier: MIT
// Large inputs: load, histogram and spiral fit of about 1,000,000 failures, Smirnov fit of
// about 100,000. Each case runs in its own process so that its peak memory is its own;
// the data file is written first by a separate run:
//   bench_large gen FAILURES FILE        writes a generated failure data file
//   bench_large load|spiral|smirnov FILE
//   bench_large calc FILE                loads the file, then runs «Расчет» (spiral descent)
//                                        as the window does: over a copy of the window's
//                                        state while the window keeps its own
// The peak memory printed is the process's maximum resident set (what `time -v` reports);
// "calc" also prints the peak after the load, before the copy.
#include "calc/driver.h"
#include "fit/fits.h"
#include "io/loaders.h"
#include "io/sample_gen.h"
#include "stats/stat2018.h"

#include <QFile>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

double peakMiB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024.0;
}

template <class F>
double seconds(F &&f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

QByteArray makeFile(int failures)
{
    obr::SampleParams p;
    // about 0.3 documented failures per product with the default law
    p.fleet = int(failures / 0.3);
    p.seed = 77;
    return obr::generateFailureFile(p);
}

}   // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_large gen N FILE | load|spiral|smirnov|calc FILE\n");
        return 2;
    }
    const char *what = argv[1];
    if (std::strcmp(what, "gen") == 0) {
        QFile f(QString::fromLocal8Bit(argv[3]));
        const QByteArray b = makeFile(std::atoi(argv[2]));
        return f.open(QIODevice::WriteOnly) && f.write(b) == b.size() ? 0 : 1;
    }
    QFile f(QString::fromLocal8Bit(argv[2]));
    if (!f.open(QIODevice::ReadOnly))
        return 1;
    obr::State s;
    double tRead = 0, tHist = 0, tFit = 0;
    qint64 size = f.size();
    obr::LoadBoxTexts boxes;
    tRead = seconds([&] {
        obr::FailureFile ff = obr::readFailureFile(f.readAll());
        boxes = obr::loadBoxTexts(ff, u'.');
        obr::applyFailureFile(s, std::move(ff));
    });
    if (std::strcmp(what, "calc") == 0) {
        const double loaded = peakMiB();
        obr::CalcRequest rq;
        rq.path = f.fileName();
        rq.meSred = boxes.meSred;
        rq.meSKO = boxes.meSKO;
        rq.LabeledEdit2 = boxes.LabeledEdit2;
        rq.Edit1 = boxes.Edit1;
        rq.spiral = true;
        obr::CalcProgress progress;
        obr::CalcReport report;
        tFit = seconds([&] {
            obr::State copy = s;   // the worker's copy; the window keeps s meanwhile
            report = obr::runCalculation(copy, rq, obr::nullLog(), progress);
            s = std::move(copy);
        });
        std::printf("calc     failures %d, file %.1f MiB: load %.2f s (peak %.0f MiB), copy + "
                    "calculation %.2f s (%lld evaluations), peak memory %.0f MiB\n",
                    s.Kol_izw, size / 1048576.0, tRead, loaded, tFit,
                    (long long)report.fits[size_t(obr::CalcMethod::Spiral)].stats.evaluations,
                    peakMiB());
        return report.outcome == obr::CalcOutcome::Done ? 0 : 1;
    }
    tHist = seconds([&] { obr::hist(s); });
    std::printf("%-8s failures %d, file %.1f MiB: read+parse+sort+derived %.2f s, histogram %.3f s "
                "(%zu intervals)",
                what, s.Kol_izw, size / 1048576.0, tRead, tHist, s.Hist_Arr.size());
    if (std::strcmp(what, "spiral") == 0) {
        obr::FitStats st;
        tFit = seconds(
            [&] { obr::SpirSp_Execute(s, 1.00025, obr::Criterion::Spec1, obr::nullLog(), &st); });
        std::printf(", spiral fit %.2f s (%lld evaluations)", tFit, (long long)st.evaluations);
    } else if (std::strcmp(what, "smirnov") == 0) {
        obr::FitStats st;
        tFit = seconds([&] {
            obr::Podbor_Weib_Smirnow(s, s.MSmirn.A, s.MSmirn.B, 1.0005, obr::nullLog(), &st);
        });
        std::printf(", Smirnov fit %.2f s (%lld evaluations)", tFit, (long long)st.evaluations);
    }
    std::printf(", peak memory %.0f MiB\n", peakMiB());
    return 0;
}
