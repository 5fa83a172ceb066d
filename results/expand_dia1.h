// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The enlarged failure-flow chart as data: the flow by cause (up to 18 causes),
 * the model curves, the withdrawal from warranty, the accumulated failures in percent of
 * the fleet, and the times by which half of the fleet has failed.
 */
#include "model/chartdata.h"
#include "model/numfmt.h"
#include "model/state.h"
#include "stats/stat2018.h"

#include <QString>

namespace obr {

/*! \brief What one filling of the enlarged chart leaves for the next: titles changed at
 *  run time keep their text, and Label3 keeps its text when a later filling has too few
 *  failures. The window keeps one and hands it to every filling. */
struct ExpandMemory {
    bool pearsonRetitled = false;
    bool genetRetitled = false;
    bool accumRetitled = false;
    QString label3;
};

//! Everything the enlarged-chart window shows.
struct ExpandView {
    ChartData chart;
    QString label1;   //!< data-set caption
    QString label2;   //!< 50% time without correction, or the text of insufficient data
    QString label3;   //!< 50% time with correction
    QString label4;   //!< fixed caption of the two times
};

//! The half-fleet times of the loaded failures for the reduced fleet Izd_Prived; 0 when
//! the documented failures do not reach half the fleet.
inline HalfFleetTimes halfFleetTimes(const State &s)
{
    return halfFleetTimes(s.MasProbl, s.Izd_Prived, s.Sred, s.SKO);
}

/*! \brief Fills the enlarged chart from the state. Writes SumNund, Sum_PrichRow,
 *  Sum_PrichCol (0..18), F_OutGar and the model totals. */
ExpandView computeExpand(State &s, const NumLocale &nl, ExpandMemory &memory);
//! As above for a first filling.
ExpandView computeExpand(State &s, const NumLocale &nl);

}   // namespace obr
