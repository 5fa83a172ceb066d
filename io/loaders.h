// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Reading the failure data file and the warranty-times file.
 *
 * Readers take the file's bytes and return a fresh result; nothing of the working
 * state changes until the caller applies a complete result, so a failed load never
 * leaves half-updated data. Errors are thrown as UserError with the line number.
 */
#include "model/numfmt.h"
#include "model/state.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace obr {

//! Decodes a text file: UTF-8 when the bytes are valid UTF-8 with non-ASCII text (a
//! byte-order mark is dropped), Windows-1251 otherwise.
QString decodeText(const QByteArray &bytes);
//! Splits decoded text into lines at CR LF, LF or CR.
QStringList splitLines(const QString &text);
//! Encodes log lines for saving: Windows-1251, each line followed by CR LF.
QByteArray encodeLines(const QStringList &lines);
//! A text quoted from a file inside a message: long texts are cut to their start and an
//! ellipsis, so a message box never holds a whole runaway line.
QString messageQuote(const QString &text);

//! The threshold markers of the failure grid, in the order they are tested.
enum class Marker : int8_t { None = -1, T90 = 0, T80, T50, T50z, T20, T10 };
QString markerText(Marker m);

//! Everything a successful load of a failure data file replaces.
struct FailureFile {
    QString Comment;
    double Sred = 0;
    double SKO = 0;
    int32_t Kol_Izd_All = 0;
    int32_t KolOtk = 0;
    int32_t NPrich = 0;
    std::array<Vid_otkaza, kCauseSlots> B_otk{};
    std::array<Vid_otkaza, kCauseSlots> Vidy_otkazov{};
    std::vector<Problems> MasProbl;      //!< sorted by time, file order kept for equal times
    std::vector<Marker> markers;         //!< per record: the marker shown on its grid row
    int32_t Kol_izw = 0;
    double Popravka_Unknow = 0;
    double Izd_Prived = 0;
    double tGar = 0;
    double Otk_Izd = 0;
    double T90expl = 0, T80expl = 0, T50expl = 0, t50zen = 0, T20expl = 0, T10expl = 0;
};

/*! \brief Refuses an action that needs failure records when none are loaded (before any
 *  load, or after only a warranty-times file): throws UserError with the message that no
 *  failure data are loaded. Actions call it before they read any box, so the user is
 *  told what is missing rather than that a still empty box holds no number. */
void requireFailureData(const State &s);

//! Parses a failure data file. Throws UserError naming the problem and the line.
FailureFile readFailureFile(const QByteArray &bytes);
//! Replaces the loaded-data part of the state with \a f and sets uk.
void applyFailureFile(State &s, FailureFile &&f);

//! The grid texts of record r (0-based): number, time, cause name with marker, comment.
struct GridRow {
    QString number, time, cause, comment;
};
GridRow gridRow(const State &s, const std::vector<Marker> &markers, size_t r, QChar dec);

//! The box defaults that a load writes (with the locale's decimal separator).
struct LoadBoxTexts {
    QString meSred, meSKO, meKolAll, meKolOtk, LabeledEdit2;
    QString Edit1, Edit6, Edit5, Edit2;
};
LoadBoxTexts loadBoxTexts(const FailureFile &f, QChar dec);
//! The generation count the load puts into NPokoleny, or \a previous when it keeps it.
QString generationsFor(int32_t KolOtk, const QString &previous);

//! The warranty-times file and the figures computed from it.
struct WarrantyFile {
    QString Comment;
    std::vector<double> MasTGarant;
    double Sred = 0;
    double SKO = 0;
};
//! Parses a warranty-times file. Throws UserError (line number included).
WarrantyFile readWarrantyFile(const QByteArray &bytes);

//! The control texts a warranty load writes.
struct WarrantyTexts {
    QString Edit4, Label15, MaskEdit1, meSred, meSKO, MaskEditSrednee, MaskEditSKO;
};
/*! \brief Puts a warranty-times file into the working state: the warranty times, the
 *  mean, the deviation and the comment; sets uk. */
void applyWarrantyFile(State &s, WarrantyFile &&w);
WarrantyTexts warrantyTexts(const WarrantyFile &w, const QString &filePath, QChar dec);
//! "D:\..gar2018.txt" for D:\data\gar2018.txt; without a drive letter "..\name".
QString driveAndName(const QString &filePath);

} // namespace obr
