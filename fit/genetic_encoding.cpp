// SPDX-License-Identifier: MIT
#include "genetic_encoding.h"

#include "model/numfmt.h"
#include "model/state.h"

#include <cmath>

namespace obr {

// ---------------------------------------------------------------------------------
// Encoding

int32_t iGetBits(int32_t iVal)
{
    int32_t n = 0;
    while (iVal >= 1) {
        iVal /= 2;
        ++n;
    }
    return n;
}

std::string IntToBin(int64_t Value, int Size)
{
    if (Size <= 0)
        return {};
    std::string s(size_t(Size), '0');
    const uint64_t v = uint64_t(Value);
    for (int k = 0; k < Size && k < 64; ++k)
        if ((v >> k) & 1u)
            s[size_t(Size - 1 - k)] = '1';
    return s;
}

int64_t BinToInt(std::string_view Value)
{
    uint64_t n = 0;
    for (char c : Value)
        n = (n << 1) | (c == '1' ? 1u : 0u);
    return int64_t(n);
}

int32_t geneLength(double Precision)
{
    if (!(Precision > 0) || !std::isfinite(Precision))
        return 0;
    const double r = roundEven(1 / Precision);
    if (!(r >= 1) || r > double(INT32_MAX))
        return 0;
    return iGetBits(int32_t(r));
}

std::vector<PosGen> makeListGens(int32_t iop, int32_t L)
{
    std::vector<PosGen> g;
    int32_t start = 1;
    for (int32_t k = 0; k < iop; ++k) {
        g.push_back({start, L});
        start += L;
    }
    return g;
}

void XromeToA(std::string_view sXrome, const std::vector<PosGen> &ListGens,
              const std::array<double, 5> &NormA, std::array<double, 5> &Ao)
{
    for (size_t k = 0; k < ListGens.size() && k < 5; ++k) {
        const size_t start = size_t(ListGens[k].gStart - 1);
        const std::string_view gene = start < sXrome.size()
                                          ? sXrome.substr(start, size_t(ListGens[k].gLength))
                                          : std::string_view{};
        Ao[k] = double(BinToInt(gene)) * NormA[k];
    }
}

int32_t genesFor(bool Sred_Opt, bool SKO_Opt) { return 3 + (Sred_Opt ? 1 : 0) + (SKO_Opt ? 1 : 0); }

std::array<double, 5> geneSteps(double Precision)
{
    std::array<double, 5> n{};
    for (size_t k = 0; k < 5; ++k)
        n[k] = (Alim[0][k] + Alim[1][k]) * Precision;
    return n;
}

}   // namespace obr
