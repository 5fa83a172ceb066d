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
#include <optional>
#include <vector>

namespace obr {

//! Decodes a text file: UTF-8 when the bytes are valid UTF-8 with non-ASCII text, or
//! valid UTF-8 but for a few stray bytes (replaced by U+FFFD; a byte-order mark is
//! dropped), Windows-1251 otherwise.
QString decodeText(const QByteArray &bytes);
//! The largest input file read, by the window and the command line alike: some ten
//! million failure lines.
constexpr qint64 kMaxInputBytes = qint64(256) << 20;
//! The longest line of an input file, in bytes (4 MiB); no line of a data file comes near it.
constexpr qsizetype kMaxLineBytes = qsizetype(4) << 20;

/*! \brief Reads a whole input file. Empty when the path is empty or names nothing (the
 *  caller says "Указанный файл не существует"). Throws UserError naming the file when it
 *  is a folder, not a regular file (a device, a pipe, a socket), larger than \a maxBytes,
 *  or cannot be read. */
std::optional<QByteArray> readInputFile(const QString &path, qint64 maxBytes = kMaxInputBytes);

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
    FailureRecords MasProbl;       //!< sorted by time, file order kept for equal times
    std::vector<Marker> markers;   //!< per record: the marker shown on its grid row
    int32_t Kol_izw = 0;
    double Popravka_Unknow = 0;
    double Izd_Prived = 0;
    double tGar = 0;
    double Otk_Izd = 0;
    double T90expl = 0, T80expl = 0, T50expl = 0, t50zen = 0, T20expl = 0, T10expl = 0;
    //! Lines for the progress log: what was read but deserves a doubt (bytes replaced,
    //! fewer failures declared than listed, very few failures, huge censoring weights).
    QStringList warnings;
};

/*! \brief Refuses an action that needs failure records when none are loaded (before any
 *  load, or after only a warranty-times file): throws UserError with the message that no
 *  failure data are loaded. Actions call it before they read any box, so the user is
 *  told what is missing rather than that a still empty box holds no number. */
void requireFailureData(const State &s);

/*! \brief Parses a failure data file. Throws UserError naming the problem and the line.
 *  Numbers in the warnings are written with \a dec. Texts that many failure lines share
 *  (causes, comments) are held once. */
FailureFile readFailureFile(const QByteArray &bytes, QChar dec = u'.');
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
    QStringList warnings;   //!< for the progress log (bytes replaced)
};
//! Parses a warranty-times file. Throws UserError (line number included), also for a
//! negative time.
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

}   // namespace obr
