// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Number texts: the formats that windows, the log and reports show, and the
 * parsing of numbers typed into boxes. Every function takes the decimal separator
 * (and group separator where one is written) explicitly, so results do not depend on
 * the C library's locale.
 */
#include <QChar>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

namespace obr {

//! The separators of the user's locale that number texts use.
struct NumLocale {
    QChar dec = u'.';
    QChar group = u',';
    static NumLocale from(const QLocale &l);
    static NumLocale period() { return {u'.', u','}; }
    static NumLocale comma() { return {u',', QChar(0x00A0)}; }
};

//! Rounding to the nearest integer with halves to the even neighbour.
double roundEven(double x);
//! x minus x truncated toward zero (keeps the sign of x).
double Frac(double x);

//! "%W.Pf": fixed point with P decimals, right-aligned in at least W characters.
QString fmtF(double v, int W, int P, QChar dec);
//! A whole number as plain decimal text without group separators.
QString fmtInt(int64_t v);
//! R(x) as text: x rounded half-to-even, written as a plain integer.
QString fmtRound(double x);
/*! General number format: up to 15 significant digits, no trailing zeros, scientific
 *  ("1,5E-5", "1E16") only below 0.0001 or with more than 15 integer digits. */
QString fmtGeneral(double v, QChar dec);
/*! Fixed-point with at most P significant digits and D decimals; scientific when the
 *  integer part needs more than P digits (8760.25, P 3, D 1 -> "8.76E3"). */
QString fmtFixedSig(double v, int P, int D, QChar dec);
/*! Picture formats of chart marks: "#,##0.#" (group = true, leadingZero = true),
 *  "#.#" (group = false, leadingZero = false); up to maxDec decimals, no trailing zeros. */
QString fmtPicture(double v, bool group, bool leadingZero, int maxDec, const NumLocale &nl);
//! Elapsed seconds as the long time format "H:MM:SS".
QString fmtLongTime(int64_t seconds);

/*! Parses a number typed into a box with the user's decimal separator. Surrounding
 *  blanks are allowed. Returns nothing when the text is not a finite number. */
std::optional<double> parseBoxReal(const QString &text, QChar dec);
//! Parses a plain decimal integer typed into a box (32-bit). Nothing when invalid.
std::optional<int32_t> parseBoxInt(const QString &text);
/*! Like parseBoxReal, but throws UserError with a message naming the text and, when
 *  given, the box caption; a text with the other decimal separator is told which one the
 *  box expects. */
double boxReal(const QString &text, QChar dec, const QString &boxCaption = {});
int32_t boxInt(const QString &text, const QString &boxCaption = {});

}   // namespace obr
