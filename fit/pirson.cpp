// SPDX-License-Identifier: MIT
// The Pearson-type objective, the texts of the fits and the step-coefficient box.
#include "fits.h"
#include "pearson_term.h"
#include "model/errors.h"
#include "model/numfmt.h"
#include "stats/stat2018.h"

#include <cmath>
#include <limits>

namespace obr {

Criterion criterionFromIndex(int index)
{
    switch (index) {
    case 0:
        return Criterion::Standard;
    case 1:
        return Criterion::Spec1;
    default:
        return Criterion::Spec2;
    }
}

namespace fittxt {

static QString elapsedTail(int64_t seconds)
{
    return fmtLongTime(seconds) + QStringLiteral("ч/мин/с");
}

QString spiralDone(int64_t seconds)
{
    return QStringLiteral("Расчёт модели по Пирсону методом спирального спуска выполнен за ") +
           elapsedTail(seconds);
}

QString newtonDone(int64_t seconds)
{
    return QStringLiteral("Расчёт модели по Пирсону методом Ньютона выполнен за ") +
           elapsedTail(seconds);
}

QString smirnovDone(int64_t seconds)
{
    return QStringLiteral("Расчёт модели по Смирнову выполнен за ") + elapsedTail(seconds);
}

QString coefficientTooSmall(const QString &text, const QString &boxCaption)
{
    QString s = QStringLiteral("Коэффициент уменьшения шага должен быть числом больше 1, "
                               "а задано «%1»")
                    .arg(text);
    if (!boxCaption.isEmpty())
        s += QStringLiteral(" (поле «%1»)").arg(boxCaption);
    return s + QStringLiteral(": с таким коэффициентом подбор модели не закончится.");
}

QString coefficientTooManyPasses(const QString &text, const QString &boxCaption, double passes,
                                 const QString &smallest)
{
    QString s = QStringLiteral("Коэффициент уменьшения шага «%1»").arg(text);
    if (!boxCaption.isEmpty())
        s += QStringLiteral(" (поле «%1»)").arg(boxCaption);
    return s + QStringLiteral(" слишком близок к 1: подбор потребовал бы около %1 проходов. "
                              "Наименьший допустимый коэффициент: %2.")
                   .arg(QString::number(passes, 'g', 3).replace(QStringLiteral("e+"), QStringLiteral("E")),
                        smallest);
}

QString atBound(const QString &method, const BoundHit &hit, QChar dec)
{
    return QStringLiteral("Модель %1: %2 остановился на %3 границе диапазона подбора (%4); "
                          "модель, вероятно, плохо описывает данные")
        .arg(method, hit.parameter,
             hit.upper ? QStringLiteral("верхней") : QStringLiteral("нижней"),
             fmtGeneral(hit.bound, dec));
}

QString standardZeroCount()
{
    return QStringLiteral(
        "Критерий «Стандарт» не вычисляется: в одном из интервалов гистограммы модельное "
        "число отказов равно нулю или слишком мало (при начальных параметрах метода Ньютона "
        "так бывает почти всегда). Выберите критерий «Спец 1» или «Спец 2» либо другой метод "
        "подбора.");
}

QString notFinite(const QString &method)
{
    return QStringLiteral("Расчёт модели %1 прерван: значение критерия не является конечным "
                          "числом. Проверьте среднее и СКО гарантийного срока.")
        .arg(method);
}

} // namespace fittxt

namespace {

//! The widest ratio of a first step to its tolerance in each fit (the shape's step in
//! all three: 0.001 / 1e-7, 0.1 / 1e-9 and, for A, 1e-4 / 1e-8).
double widestStepRatio(FitKind kind)
{
    switch (kind) {
    case FitKind::Spiral: return 0.001 / 1e-7;
    case FitKind::Newton: return 0.1 / 1e-9;
    case FitKind::Smirnov: return 1e-4 / 1e-8;
    }
    return 1;
}

} // namespace

double fitPassesNeeded(FitKind kind, double k)
{
    if (!(k > 1))
        return std::numeric_limits<double>::infinity();
    return std::ceil(std::log(widestStepRatio(kind)) / std::log(k));
}

double smallestStepCoefficient(FitKind kind)
{
    const double exact = std::exp(std::log(widestStepRatio(kind)) / double(kMaxFitPasses));
    double k = 1 + std::ceil((exact - 1) * 1e9) / 1e9;
    while (fitPassesNeeded(kind, k) > double(kMaxFitPasses))
        k += 1e-9;
    return k;
}

void checkStepPasses(FitKind kind, double k, const QString &boxCaption, QChar dec)
{
    const double passes = fitPassesNeeded(kind, k);
    if (passes <= double(kMaxFitPasses))
        return;
    QString text = QString::number(k, 'f', 12);
    while (text.endsWith(u'0'))
        text.chop(1);
    QString smallest = QString::number(smallestStepCoefficient(kind), 'f', 9);
    while (smallest.endsWith(u'0'))
        smallest.chop(1);
    text.replace(u'.', dec);
    smallest.replace(u'.', dec);
    throw UserError(fittxt::coefficientTooManyPasses(text, boxCaption, passes, smallest));
}

double readStepCoefficient(const QString &text, QChar dec, const QString &boxCaption)
{
    const double v = boxReal(text, dec, boxCaption);
    if (!(v > 1))
        throw UserError(fittxt::coefficientTooSmall(text.trimmed(), boxCaption));
    return v;
}

double Pirson(const State &s, double A, double B, double k_pwt, double Mu, double Sig,
              Mod_Weib &Mpir, Criterion c)
{
    const size_t m = s.Hist_Arr.size();
    if (Mpir.F_norm.size() < m)
        Mpir.F_norm.resize(m);
    if (Mpir.F_Weib.size() < m)
        Mpir.F_Weib.resize(m);
    if (Mpir.Kol_F_priv.size() < m)
        Mpir.Kol_F_priv.resize(m);
    double t1 = 0;
    for (size_t i = 0; i < m; ++i) {
        const double t2 = s.Hist_Arr[i].time;
        Mpir.F_norm[i] = CDF_Gauss(Mu, Sig, (t1 + t2) / 2);
        t1 = t2;
    }
    double E = 0, S = 0;
    t1 = 0;
    for (size_t i = 0; i < m; ++i) {
        const double t2 = s.Hist_Arr[i].time;
        const double P = weibCDF2(A, B, t1, t2);
        Mpir.F_Weib[i] = P;
        const double Ei = s.Izd_Prived * k_pwt * P * (1 - Mpir.F_norm[i]);
        Mpir.Kol_F_priv[i] = Ei;
        E += Ei;
        const double O = s.Hist_Arr[i].Sum;
        S += detail::pearsonTerm(c, O, Ei, P);
        t1 = t2;
    }
    const double f = detail::pearsonTotal(S, s.Kol_izw, E);
    if (!std::isfinite(f))
        throw UserError(c == Criterion::Standard
                            ? fittxt::standardZeroCount()
                            : fittxt::notFinite(QStringLiteral("по Пирсону")));
    return f;
}

} // namespace obr
