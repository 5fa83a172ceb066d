// SPDX-License-Identifier: MIT
#include "genetic_settings.h"
#include "genetic_encoding.h"
#include "genetic_texts.h"

#include "model/errors.h"
#include "model/numfmt.h"
#include "model/texts.h"
#include "stats/stat2018.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#if __has_include(<unistd.h>)
#include <unistd.h>
#endif

namespace obr {

// ---------------------------------------------------------------------------------
// Settings

namespace {

//! The precision box's range, as its message states it.
constexpr double kMinPrecision = 1e-9;

}   // namespace

std::optional<QString> genSettingsProblem(bool haveFailures, bool needSko, double SKO,
                                          const GenSettings &st, QChar dec)
{
    if (!haveFailures)
        return txt::noFailures;
    if (geneLength(st.Precision) < 1 || !(st.Precision >= kMinPrecision && st.Precision <= 1))
        return gentxt::precisionRange(dec);
    if (st.population < 2)
        return gentxt::populationTooSmall;
    if (st.generations < 1)
        return gentxt::generationsTooFew;
    if (needSko && !(SKO > 0))
        return gentxt::skoNotPositive;
    return std::nullopt;
}

GenSettings validateGenStart(const State &s, const QString &precisionText,
                             const QString &populationText, const QString &generationsText,
                             QChar dec)
{
    if (s.MasProbl.empty() || s.Kol_izw <= 0)
        throw UserError(txt::noFailures);
    GenSettings st;
    st.Precision = boxReal(precisionText, dec, gentxt::precisionBox);
    st.L = geneLength(st.Precision);
    if (auto p = genSettingsProblem(true, false, 0, {st.Precision, 2, 1, st.L}, dec))
        throw UserError(*p);
    st.population = boxInt(populationText, gentxt::populationBox);
    st.generations = boxInt(generationsText, gentxt::generationsBox);
    if (auto p = genSettingsProblem(true, !s.SKO_Opt, s.SKO, st, dec))
        throw UserError(*p);
    // The warranty figures the run uses: those it does not fit.
    checkWarrantyFigures(s.MasProbl, s.Sred_Opt ? std::nullopt : std::optional<double>(s.Sred),
                         s.SKO_Opt ? std::nullopt : std::optional<double>(s.SKO), std::nullopt,
                         dec);
    checkGenMemory(st, genesFor(s.Sred_Opt, s.SKO_Opt), availableMemory(), dec);
    return st;
}

GenMemoryCosts genMemoryCosts(int32_t iop, int32_t L)
{
    // An individual: its record and allocation overhead, its chromosome's characters (a
    // heap block rounded to 16 bytes with its header), and the references and flags that
    // the population, the spare list, the batch and the sort keep for it.
    const double chromosome = std::ceil((double(iop) * L + 1) / 16) * 16 + 16;
    const double individual = double(sizeof(Xromosome)) + 16 + chromosome + 4 * sizeof(void *) + 2;
    GenMemoryCosts c;
    c.perIndividual = 3 * individual + sizeof(std::array<double, 5>);
    // A stored best is held by value in a growing array (up to twice its size while it
    // grows) with its chromosome on the heap.
    c.perGeneration = 2 * double(sizeof(Xromosome)) + chromosome;
    return c;
}

uint64_t availableMemory()
{
#ifdef __linux__
    QFile f(QStringLiteral("/proc/meminfo"));
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (line.startsWith("MemAvailable:")) {
                bool ok = false;
                const qulonglong kb = line.mid(13).trimmed().split(' ').value(0).toULongLong(&ok);
                if (ok)
                    return uint64_t(kb) * 1024;
            }
        }
    }
#endif
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    if (pages > 0 && size > 0)
        return uint64_t(pages) * uint64_t(size);
#endif
    return 0;
}

void checkGenMemory(const GenSettings &st, int32_t iop, uint64_t available, QChar dec)
{
    if (available == 0)
        return;
    const GenMemoryCosts c = genMemoryCosts(iop, st.L);
    const double budget = double(available) / 2;
    const double pop = c.perIndividual * st.population;
    const double gens = c.perGeneration * st.generations;
    if (pop + gens <= budget)
        return;
    auto mib = [dec](double bytes) { return fmtF(bytes / 1048576.0, 1, 0, dec); };
    const QString need = QStringLiteral("Генетическому алгоритму с такими настройками нужно около "
                                        "%1 МБ памяти, а можно занять не больше %2 МБ. ")
                             .arg(mib(pop + gens), mib(budget));
    if (pop >= gens) {
        const double most = std::floor((budget - std::min(gens, budget)) / c.perIndividual);
        throw UserError(need + QStringLiteral("Наибольший допустимый размер популяции при %1 "
                                              "поколениях: %2")
                                   .arg(st.generations)
                                   .arg(fmtInt(int64_t(std::max(0.0, most)))));
    }
    const double most = std::floor((budget - std::min(pop, budget)) / c.perGeneration);
    throw UserError(need + QStringLiteral("Наибольшее допустимое число поколений при популяции "
                                          "%1: %2")
                               .arg(st.population)
                               .arg(fmtInt(int64_t(std::max(0.0, most)))));
}

GenInput snapshotGenInput(const State &s, int32_t population, int32_t generations, QChar dec,
                          int threads)
{
    GenInput in;
    in.Hist_Arr = s.Hist_Arr;
    in.Izd_Prived = s.Izd_Prived;
    in.Kol_izw = s.Kol_izw;
    in.Sred = s.Sred;
    in.SKO = s.SKO;
    in.Sred_Opt = s.Sred_Opt;
    in.SKO_Opt = s.SKO_Opt;
    in.Precision = s.Precision;
    in.SizePopulation = population;
    in.generations = generations;
    in.threads = threads;
    in.dec = dec;
    return in;
}

GenInput prepareGenRun(State &s, const GenSettings &st, QChar dec, int threads)
{
    s.iop = genesFor(s.Sred_Opt, s.SKO_Opt);
    s.Precision = st.Precision;
    s.NormA = geneSteps(st.Precision);
    hist(s);
    return snapshotGenInput(s, st.population, st.generations, dec, threads);
}

}   // namespace obr
