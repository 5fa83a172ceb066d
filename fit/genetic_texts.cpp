// SPDX-License-Identifier: MIT
#include "genetic_texts.h"

#include "model/numfmt.h"

namespace obr {

// ---------------------------------------------------------------------------------
// Log lines

namespace {

//! "%-W.Pf": P decimals, padded on the right to at least W characters.
QString leftF(double v, int W, int P, QChar dec) { return fmtF(v, 0, P, dec).leftJustified(W); }

}   // namespace

QString genBestLine(double x, const std::array<double, 5> &Aopt, QChar dec)
{
    return QStringLiteral(" ЦФ=") + leftF(x, 9, 5, dec) + QStringLiteral("  Beta=") +
           leftF(Aopt[0], 7, 6, dec) + QStringLiteral("  A=") + leftF(1 / Aopt[1], 9, 3, dec) +
           QStringLiteral("   Кповт=") + leftF(Aopt[2], 9, 6, dec);
}

QString genChildLine(double f, QChar dec)
{
    return QStringLiteral("F= ") + leftF(f, 8, 3, dec) + QStringLiteral(" S2");
}

QString genUpdMainLine(int genes) { return gentxt::genesCreated + fmtInt(genes); }

}   // namespace obr
