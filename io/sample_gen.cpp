// SPDX-License-Identifier: MIT
#include "sample_gen.h"
#include "loaders.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace obr {

namespace {

//! The program's 32-bit linear congruential generator.
class Lcg {
public:
    explicit Lcg(uint32_t seed) : m_seed(seed) {}
    double uniform()
    {
        m_seed = m_seed * 134775813u + 1u;
        return m_seed / 4294967296.0;
    }
    double normal(double mean, double sd)
    {
        double u1 = uniform();
        while (u1 <= 0)
            u1 = uniform();
        const double u2 = uniform();
        return mean + sd * std::sqrt(-2 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }
    int poisson(double lambda)
    {
        const double L = std::exp(-lambda);
        int k = 0;
        double p = 1;
        do {
            ++k;
            p *= uniform();
        } while (p > L);
        return k - 1;
    }

private:
    uint32_t m_seed;
};

QString timeText(double t, bool comma)
{
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, t, std::chars_format::fixed, 1);
    QString s = QString::fromLatin1(buf, int(r.ptr - buf));
    if (comma)
        s.replace(u'.', u',');
    return s;
}

const char *const kRepairs[] = {"заменен",     "отремонтирован",    "заменена прокладка",
                                "регулировка", "замена подшипника", "перемотка обмотки"};
const char *const kUnknown[] = {"Течь масла", "Стук при работе", "прочее", "Не выяснено"};

}   // namespace

QByteArray generateFailureFile(const SampleParams &p)
{
    Lcg rng(p.seed);
    const double A = 1.0 / std::pow(p.eta, p.beta);
    double wsum = 0;
    for (double w : p.weights)
        wsum += w;

    struct Line {
        double t;
        QString text;
    };
    std::vector<Line> recorded;
    for (int i = 0; i < p.fleet; ++i) {
        double w = rng.normal(p.sred, p.sko);
        if (w < 1)
            w = 1;
        const int n = rng.poisson(p.kpowtor);
        for (int k = 0; k < n; ++k) {
            // Weibull time by inversion: t = (ln(1/(1-u)) / A)^(1/B)
            const double u = rng.uniform();
            const double t = std::pow(std::log(1 / (1 - u)) / A, 1 / p.beta);
            if (t >= w)
                continue;
            QString cause;
            if (rng.uniform() < p.unknownShare || wsum <= 0) {
                cause = QString::fromUtf8(kUnknown[int(rng.uniform() * 4)]);
            } else {
                double x = rng.uniform() * wsum;
                size_t c = 0;
                while (c + 1 < p.weights.size() && x >= p.weights[c]) {
                    x -= p.weights[c];
                    ++c;
                }
                cause = p.causes.value(int(c));
            }
            if (rng.uniform() < p.commentShare)
                cause +=
                    QStringLiteral(" * ") + QString::fromUtf8(kRepairs[int(rng.uniform() * 6)]);
            recorded.push_back({std::round(t * 10) / 10, cause});
        }
    }
    // Only part of the recorded failures are documented in the file.
    std::vector<Line> lines;
    for (const auto &l : recorded)
        if (rng.uniform() < p.documented)
            lines.push_back(l);
    const int32_t kolOtk = int32_t(recorded.size());

    QStringList out;
    out << p.comment << QString::number(p.sred, 'f', 1) << QString::number(p.sko, 'f', 1)
        << QString::number(p.fleet) << QString::number(std::max<int32_t>(kolOtk, 1))
        << QString::number(p.causes.size());
    for (const QString &c : p.causes)
        out << c;
    for (const auto &l : lines)
        out << timeText(l.t, rng.uniform() < p.commaShare) + u'\t' + l.text;
    return encodeLines(out);
}

QByteArray generateWarrantyFile(const QString &comment, int count, double sred, double sko,
                                uint32_t seed)
{
    Lcg rng(seed);
    QStringList out;
    out << comment;
    for (int i = 0; i < count; ++i)
        out << timeText(std::max(1.0, rng.normal(sred, sko)), false);
    return encodeLines(out);
}

}   // namespace obr
