// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The genetic optimiser's chromosomes: genes as '0'/'1' strings, their layout and
 * decoding.
 */
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace obr {

// ---------------------------------------------------------------------------------
// Encoding

//! \brief Number of binary digits of iVal (times it can be halved while >= 1); 0 for <= 0.
int32_t iGetBits(int32_t iVal);
//! \brief The Size low bits of Value as '0'/'1' characters, most significant first.
std::string IntToBin(int64_t Value, int Size);
//! \brief The integer a '0'/'1' string writes, most significant first; "" gives 0.
int64_t BinToInt(std::string_view Value);

/*! \brief Gene length L = iGetBits(Round(1/Precision)) with half-to-even rounding.
 *  Returns 0 when Round(1/Precision) is not in 1..2^31-1 (no usable gene length). */
int32_t geneLength(double Precision);

//! One gene's place in the chromosome (1-based start, length in characters).
struct PosGen {
    int32_t gStart = 1;
    int32_t gLength = 0;
};

//! \brief The gene layout ListGens: \a iop genes of \a L characters, end to end.
std::vector<PosGen> makeListGens(int32_t iop, int32_t L);

//! One individual: chromosome, objective (smaller is better), generation of birth.
struct Xromosome {
    std::string sX;
    double Celev_F = 0;
    int32_t Pokolenie = 0;
};

/*! \brief Decodes a chromosome into Ao[0..iop-1] (gene k value = BinToInt(gene) * NormA[k]);
 *  the entries beyond the genes stay as they are. */
void XromeToA(std::string_view sXrome, const std::vector<PosGen> &ListGens,
              const std::array<double, 5> &NormA, std::array<double, 5> &Ao);

//! Number of genes: 3, plus one for each of the two warranty flags.
int32_t genesFor(bool Sred_Opt, bool SKO_Opt);
//! NormA[k] = (Alim lower + width) * Precision for the five genes.
std::array<double, 5> geneSteps(double Precision);

}   // namespace obr
