#include "cohort/cohort.h"
#include "cohort/simulate.h"
#include <QJsonDocument>
#include <gtest/gtest.h>
#include <cstdio>
using namespace obr::cohort;
TEST(Smoke, Fit)
{
    SimulationPlan p;
    p.units.assign(24, 1000);
    p.A = 1e-4; p.B = 1.5; p.K = 1.3;
    p.usage.rate = 10;
    p.warrantyPeriods = 24;
    NevadaTable t = simulateHistory(p, 1);
    CohortRequest rq{t, {}};
    rq.settings.usage.rate = 10;
    rq.settings.warrantyPeriods = 24;
    rq.settings.cost = Cost{100, 30};
    rq.settings.backtest = 18;
    CohortResult r = runCohorts(rq);
    QJsonObject o = cohortsJson(r, t);
    o.remove("cells");
    std::printf("%s\n", QJsonDocument(o).toJson().constData());
}
