// SPDX-License-Identifier: MIT
// Any bytes either load into a consistent result or are refused with a UserError.
#include "io/loaders.h"
#include "model/errors.h"
#include "stats/stat2018.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        obr::FailureFile f = obr::readFailureFile(bytes);
        if (f.markers.size() != f.MasProbl.size() || f.Kol_izw != int32_t(f.MasProbl.size()))
            std::abort();
        for (size_t i = 0; i < f.MasProbl.size(); ++i) {
            const auto &p = f.MasProbl[i];
            if (!std::isfinite(p.time) || p.time < 0 || p.chey < 0 || p.chey > f.NPrich)
                std::abort();
            if (i && f.MasProbl[i - 1].time > p.time)
                std::abort();
            // A record names a cause exactly when its cause text matched one.
            if ((p.chey != 0) == f.MasProbl.Pri(i).isEmpty())
                std::abort();
        }
        obr::State s;
        obr::applyFailureFile(s, std::move(f));
        if (!s.MasProbl.empty()) {
            obr::hist(s);
            int total = 0;
            for (const auto &h : s.Hist_Arr)
                total += h.Sum;
            if (total != s.Kol_izw)
                std::abort();
        }
    } catch (const obr::UserError &) {
    }
    return 0;
}
