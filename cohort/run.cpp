// SPDX-License-Identifier: MIT
#include "cohort.h"
#include "cohort_texts.h"

#include "model/errors.h"

namespace obr::cohort {

const Figure *Fit::figure(const QString &key) const
{
    for (const Figure &f : figures)
        if (f.key == key)
            return &f;
    return nullptr;
}

int maxHorizon(Period p) { return p == Period::Month ? 120 : p == Period::Quarter ? 40 : 522; }
void checkSettings(const NevadaTable &, const Settings &) {}
CohortResult runCohorts(const CohortRequest &, const std::atomic<bool> *, const Progress &)
{
    throw UserError(QStringLiteral("не готово"));
}
QJsonObject cohortsJson(const CohortResult &, const NevadaTable &) { return {}; }
QString modelKey(ModelKind m)
{
    return m == ModelKind::Repeat ? QStringLiteral("repeat") : QStringLiteral("first");
}
QString agesKey(AgeConvention a)
{
    return a == AgeConvention::Interval ? QStringLiteral("interval") : QStringLiteral("end");
}
QString periodKey(Period p)
{
    return p == Period::Month  ? QStringLiteral("month")
           : p == Period::Week ? QStringLiteral("week")
                               : QStringLiteral("quarter");
}
QString flagKey(Flag f)
{
    return f == Flag::None      ? QString()
           : f == Flag::Caution ? QStringLiteral("caution")
                                : QStringLiteral("critical");
}

namespace txt {
QString figureTitle(const QString &key) { return key; }
}   // namespace txt

}   // namespace obr::cohort
