// SPDX-License-Identifier: MIT
#include "cohort.h"
#include "cohort_texts.h"

#include "model/errors.h"

namespace obr::cohort {

double NevadaTable::cell(int r, int a) const
{
    double s = 0;
    for (const auto &c : claims)
        if (r >= 0 && r < int(c.size()) && a >= 1 && a <= int(c[size_t(r)].size()))
            s += c[size_t(r)][size_t(a - 1)];
    return s;
}

NevadaTable readNevada(const QByteArray &, bool) { throw UserError(QStringLiteral("не готово")); }
NevadaTable parseNevadaText(const QString &, bool) { throw UserError(QStringLiteral("не готово")); }
NevadaTable buildFromClaims(const QByteArray &, const QByteArray &, Period, const QString &)
{
    throw UserError(QStringLiteral("не готово"));
}
QString periodLabel(const NevadaTable &, int index, Period) { return QString::number(index + 1); }
std::optional<int> periodIndex(const NevadaTable &, const QString &, Period) { return {}; }

}   // namespace obr::cohort
