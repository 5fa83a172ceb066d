// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Plausible synthetic data: a fleet in warranty operation whose products leave
 * observation at normally distributed times and fail by a censored Weibull law with a
 * repeat coefficient. Used for the bundled sample files, tests and benchmarks. The
 * random stream is the program's own, so the same seed gives the same bytes everywhere.
 */
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace obr {

struct SampleParams {
    QString comment = QStringLiteral("Изделие К-120, гарантийная эксплуатация 2018-2019 гг.");
    int32_t fleet = 2000;         //!< products in warranty operation
    double sred = 1000;           //!< mean warranty end time, hours
    double sko = 250;             //!< its standard deviation, hours
    double eta = 5000;            //!< Weibull scale, hours (A = 1/eta^B)
    double beta = 0.7;            //!< Weibull shape B (below 1: early failures dominate)
    double kpowtor = 1.2;         //!< mean failures per product over its whole life
    double documented = 0.92;     //!< share of the recorded failures that are in the file
    double unknownShare = 0.08;   //!< share of lines whose cause text matches no cause
    double commaShare = 0.05;     //!< share of times written with a comma
    double commentShare = 0.3;    //!< share of lines with a "*" comment
    uint32_t seed = 20181;
    //! Cause names of the header; a cause with weight 0 gets no failures.
    QStringList causes = {QStringLiteral("Насос"),
                          QStringLiteral("Генератор"),
                          QStringLiteral("Стартер"),
                          QStringLiteral("Топливная аппаратура"),
                          QStringLiteral("Электрооборудование"),
                          QStringLiteral("Тормоза"),
                          QStringLiteral("Радиатор")};
    std::vector<double> weights = {30, 18, 14, 12, 10, 6, 0};
};

//! The failure data file (Windows-1251, CR LF) of a simulated fleet.
QByteArray generateFailureFile(const SampleParams &p);
//! A warranty-times file of \a count products (Windows-1251, CR LF).
QByteArray generateWarrantyFile(const QString &comment, int count, double sred, double sko,
                                uint32_t seed);

}   // namespace obr
