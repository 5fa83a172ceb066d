// SPDX-License-Identifier: MIT
#include "loaders.h"
#include "model/errors.h"
#include "model/plainnum.h"
#include "model/texts.h"
#include "stats/stat2018.h"
#include "textlines.h"

#include <QHash>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

namespace obr {

namespace {

constexpr double kMaxTime = 1e12;
//! Fewer failure lines than this make any fitted model doubtful.
constexpr int32_t kFewFailures = 5;

bool isBlankChar(QChar c) { return c.unicode() <= 0x20 || c.isSpace(); }

QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlankChar(s.at(b)))
        ++b;
    while (e > b && isBlankChar(s.at(e - 1)))
        --e;
    return s.mid(b, e - b);
}

[[noreturn]] void lineError(int line, const QString &what)
{
    throw UserError(txt::dataErrorInLine + QString::number(line) + QStringLiteral(": ") + what);
}

//! A real written with the period: optional sign, digits, fraction, exponent.
std::optional<double> parsePeriodReal(const QString &tok)
{
    if (tok.isEmpty() || tok.size() > 64)
        return std::nullopt;
    const QByteArray b = tok.toLatin1();
    qsizetype i = 0;
    const qsizetype n = b.size();
    if (b[i] == '+' || b[i] == '-')
        ++i;
    qsizetype digits = 0;
    while (i < n && b[i] >= '0' && b[i] <= '9')
        ++i, ++digits;
    if (i < n && b[i] == '.') {
        ++i;
        while (i < n && b[i] >= '0' && b[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (b[i] == 'e' || b[i] == 'E')) {
        ++i;
        if (i < n && (b[i] == '+' || b[i] == '-'))
            ++i;
        qsizetype ed = 0;
        while (i < n && b[i] >= '0' && b[i] <= '9')
            ++i, ++ed;
        if (ed == 0)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;
    return plainNumber<double>(b);
}

std::optional<int32_t> parsePlainInt(const QString &tok)
{
    if (tok.isEmpty() || tok.size() > 32)
        return std::nullopt;
    return plainNumber<int32_t>(tok.toLatin1());
}

//! The lines of a file, decoded one at a time; a line longer than kMaxLineBytes is an
//! error of that line. Copies share the decoder and read on from the same place.
class Lines {
public:
    Lines(QByteArrayView body, detail::LineDecoder &dec) : m_cur(body), m_dec(&dec) {}

    //! The next line, or false at the end of the file.
    bool next(QString &line)
    {
        QByteArrayView raw;
        if (!m_cur.next(raw))
            return false;
        if (raw.size() > kMaxLineBytes)
            lineError(m_cur.lineNo(), QStringLiteral("строка длиннее %1 байт").arg(kMaxLineBytes));
        line = (*m_dec)(raw);
        return true;
    }
    int lineNo() const { return m_cur.lineNo(); }

private:
    detail::LineCursor m_cur;
    detail::LineDecoder *m_dec;
};

/*! The censoring weight 1 / (1 - G) of a failure grows without bound past the warranty
 *  mean; beyond kHeavyWeight one late failure outweighs all others and the corrected
 *  figures say little. Remembers the first such failure and how many there are. */
class CensoringWeights {
public:
    static constexpr double kHeavyWeight = 1000;

    void note(size_t i, double t, double w)
    {
        if (!(w > kHeavyWeight))
            return;
        if (m_count++ == 0) {
            m_first = i;
            m_t = t;
            m_w = w;
        }
    }

    QString warning(QChar dec) const
    {
        if (m_count == 0)
            return {};
        QString s =
            QStringLiteral("Отказ № %1 (наработка %2 ч): поправка на цензурирование "
                           "1/(1 - Ф) = %3 больше %4, оценки с учетом цензурирования "
                           "здесь ненадежны")
                .arg(m_first + 1)
                .arg(fmtGeneral(m_t, dec), fmtF(m_w, 1, 1, dec), fmtGeneral(kHeavyWeight, dec));
        if (m_count > 1)
            s += QStringLiteral(" (таких отказов: %1)").arg(m_count);
        return s;
    }

private:
    size_t m_count = 0, m_first = 0;
    double m_t = 0, m_w = 0;
};

//! Reads the numbers of the header: blank lines are skipped, the number is the line's
//! first token, a missing number at the end of the file reads as 0.
class HeaderReader {
public:
    explicit HeaderReader(Lines &lines) : m_lines(lines) {}

    QString token(int &lineNo)
    {
        QString l;
        for (;;) {
            if (!m_lines.next(l)) {
                lineNo = m_lines.lineNo() + 1;
                return QStringLiteral("0");
            }
            l = trimBlanks(l);
            if (!l.isEmpty())
                break;
        }
        lineNo = m_lines.lineNo();
        qsizetype e = 0;
        while (e < l.size() && !isBlankChar(l.at(e)))
            ++e;
        return l.left(e);
    }

    double real(const QString &what)
    {
        int line = 0;
        const QString t = token(line);
        if (auto v = parsePeriodReal(t))
            return *v;
        lineError(line,
                  QStringLiteral("«%1» не является числом (%2; дробная часть пишется через точку)")
                      .arg(messageQuote(t), what));
    }

    int32_t integer(const QString &what, int *lineOut = nullptr)
    {
        int line = 0;
        const QString t = token(line);
        if (lineOut)
            *lineOut = line;
        if (auto v = parsePlainInt(t))
            return *v;
        lineError(line,
                  QStringLiteral("«%1» не является целым числом (%2)").arg(messageQuote(t), what));
    }

private:
    Lines &m_lines;
};

//! The time field of a failure line: the text before the first TAB, "," read as ".".
struct TimeField {
    QString text;   //!< as written, trimmed
    std::optional<double> value;
};

TimeField timeField(const QString &line)
{
    const qsizetype tab = line.indexOf(u'\t');
    TimeField f;
    f.text = trimBlanks(tab < 0 ? line : line.left(tab));
    QString t = f.text;
    t.replace(u',', u'.');
    f.value = parsePeriodReal(t);
    return f;
}

//! What one distinct cause text of the failure lines gives: the causes it matches (bit k
//! for cause k in file order) and where its record texts are, each computed once.
struct CauseEntry {
    uint32_t mask = 0;
    uint32_t text = 0;   //!< Problems::text of the records that carry the text
};

/*! Distinct cause texts, so that records with the same text share one CauseText. The
 *  lookup stops growing at kMaxEntries texts (a file whose every line is different gains
 *  nothing from it); texts beyond are handled one by one. */
class CauseTable {
public:
    static constexpr qsizetype kMaxEntries = 1 << 16;

    CauseTable(const std::array<QString, kCauseSlots> &lowerNames, int nPrich)
        : m_names(lowerNames), m_n(nPrich)
    {
    }

    CauseEntry lookup(QString &&cause)
    {
        if (auto it = m_table.constFind(cause); it != m_table.constEnd())
            return *it;
        const bool keep = m_table.size() < kMaxEntries;
        QString key = keep ? cause : QString();
        const CauseEntry e = make(std::move(cause));
        if (keep)
            m_table.insert(std::move(key), e);
        return e;
    }

    //! The texts of the records, in the order Problems::text counts them.
    std::vector<CauseText> takeTexts() { return std::move(m_texts); }

private:
    CauseEntry make(QString &&cause)
    {
        CauseEntry e;
        QString komment;
        if (const qsizetype star = cause.indexOf(u'*'); star >= 0)
            komment = cause.mid(star + 2);
        if (!cause.isEmpty() && m_n > 0) {
            const QString lc = cause.toLower();
            for (int k = 1; k <= m_n; ++k)
                if (!m_names[k].isEmpty() && lc.contains(m_names[k]))
                    e.mask |= 1u << k;
        }
        // Pri holds the text only when it matched a cause; a line with neither keeps none.
        if (e.mask || !komment.isEmpty()) {
            m_texts.push_back({e.mask ? std::move(cause) : QString(), std::move(komment)});
            e.text = uint32_t(m_texts.size());
        }
        return e;
    }

    const std::array<QString, kCauseSlots> &m_names;
    int m_n;
    QHash<QString, CauseEntry> m_table;
    std::vector<CauseText> m_texts;
};

/*! The records are sorted by time with equal times in file order. While sorting, chey
 *  (a cause index below 32) carries the record's file position in its upper bits, so the
 *  sort needs no memory beside the records. */
constexpr int kCauseBits = 5;
constexpr size_t kMaxPackedRecords = size_t(1) << (32 - kCauseBits);

void sortByTime(std::vector<Problems> &recs, std::vector<int32_t> *lines = nullptr)
{
    if (recs.size() >= kMaxPackedRecords) {
        std::stable_sort(recs.begin(), recs.end(),
                         [](const Problems &a, const Problems &b) { return a.time < b.time; });
        if (lines)
            lines->clear();   // file positions are not kept for so many records
        return;
    }
    auto packed = [](const Problems &p) { return uint32_t(p.chey); };
    for (size_t i = 0; i < recs.size(); ++i)
        recs[i].chey = int32_t((uint32_t(i) << kCauseBits) | uint32_t(recs[i].chey));
    std::sort(recs.begin(), recs.end(), [&](const Problems &a, const Problems &b) {
        if (a.time != b.time)
            return a.time < b.time;
        return (packed(a) >> kCauseBits) < (packed(b) >> kCauseBits);
    });
    std::vector<int32_t> sorted;
    if (lines && lines->size() == recs.size())
        sorted.reserve(recs.size());
    for (Problems &p : recs) {
        if (sorted.capacity())
            sorted.push_back((*lines)[packed(p) >> kCauseBits]);
        p.chey = int32_t(packed(p) & ((1u << kCauseBits) - 1));
    }
    if (lines)
        *lines = std::move(sorted);
}

//! The number of lines of \a text as LineCursor splits it, for reserving the records.
size_t lineCount(QByteArrayView text)
{
    const char *d = text.data();
    const qsizetype n = text.size();
    size_t lines = 1;
    for (qsizetype i = 0; i < n; ++i)
        if (d[i] == '\n' || (d[i] == '\r' && (i + 1 == n || d[i + 1] != '\n')))
            ++lines;
    return lines;
}

bool blankBytes(QByteArrayView v)
{
    for (char c : v)
        if (static_cast<unsigned char>(c) > 0x20)
            return false;
    return true;
}

}   // namespace

QString markerText(Marker m)
{
    switch (m) {
    case Marker::T90:
        return QStringLiteral(", отказов 10% от парка");
    case Marker::T80:
        return QStringLiteral(", отказов 20% от парка");
    case Marker::T50:
        return QStringLiteral(", отказов 50% от наблюдаемого парка");
    case Marker::T50z:
        return QStringLiteral(", отказов 50% от парка с учетом цензурирования");
    case Marker::T20:
        return QStringLiteral(", отказов 80% от парка");
    case Marker::T10:
        return QStringLiteral(", отказов 90% от парка");
    case Marker::None:
        break;
    }
    return {};
}

void requireFailureData(const State &s)
{
    if (s.MasProbl.empty() || s.Kol_izw <= 0)
        throw UserError(txt::noFailures);
}

FailureFile readFailureFile(const QByteArray &bytes, QChar dec)
{
    if (blankBytes(bytes))
        throw UserError(QStringLiteral("Файл исходных данных пуст"));
    const detail::TextEncoding enc = detail::detectEncoding(bytes);
    const QByteArrayView body = QByteArrayView(bytes).sliced(enc.start);
    if (const int nul = detail::firstNulLine(body))
        lineError(nul, QStringLiteral("недопустимый символ с кодом 0"));

    FailureFile f;
    detail::LineDecoder decoder(enc);
    Lines lines(body, decoder);
    lines.next(f.Comment);
    HeaderReader h(lines);
    f.Sred = h.real(QStringLiteral("среднее время гарантии"));
    f.SKO = h.real(QStringLiteral("СКО времени гарантии"));
    f.Kol_Izd_All = h.integer(QStringLiteral("количество изделий"));
    f.KolOtk = h.integer(QStringLiteral("количество отказов"));
    int npLine = 0;
    f.NPrich = h.integer(QStringLiteral("количество причин отказов"), &npLine);
    if (f.NPrich < 0 || f.NPrich > kMaxCauses)
        lineError(npLine, QStringLiteral("количество причин отказов %1, допускается от 0 до %2")
                              .arg(f.NPrich)
                              .arg(kMaxCauses));
    if (f.Sred <= 0)
        throw UserError(
            QStringLiteral("Среднее время гарантии в заголовке файла должно быть больше 0"));
    if (f.SKO <= 0)
        throw UserError(
            QStringLiteral("СКО времени гарантии в заголовке файла должно быть больше 0"));
    if (f.KolOtk <= 0)
        throw UserError(
            QStringLiteral("Количество отказов в заголовке файла должно быть больше 0"));
    if (f.Kol_Izd_All < 0)
        throw UserError(
            QStringLiteral("Количество изделий в заголовке файла не может быть отрицательным"));

    for (int k = 1; k <= f.NPrich; ++k) {
        QString name;
        if (!lines.next(name))
            lineError(lines.lineNo() + 1,
                      QStringLiteral("файл закончился раньше списка причин отказов "
                                     "(ожидалось %1 причин)")
                          .arg(f.NPrich));
        f.B_otk[k].Nazv_Prich = trimBlanks(name);
    }
    f.tGar = f.Sred;

    std::array<QString, kCauseSlots> lowerNames;
    for (int k = 1; k <= f.NPrich; ++k)
        lowerNames[k] = f.B_otk[k].Nazv_Prich.toLower();
    CauseTable causes(lowerNames, f.NPrich);

    // Failure lines; blank lines at the very end of the file are the end of the data.
    // While reading, chey holds the mask of the causes matched (bit k: cause k in file
    // order); it becomes the index in the sorted cause table below.
    const Lines failureStart = lines;
    std::vector<Problems> recs;
    recs.reserve(lineCount(body));
    std::vector<int32_t> fileLines;   // each record's line, for the messages of later steps
    QString raw;
    while (lines.next(raw)) {
        const int lineNo = lines.lineNo();
        if (trimBlanks(raw).isEmpty()) {
            Lines rest = lines;
            QString more;
            bool onlyBlank = true;
            while (onlyBlank && rest.next(more))
                onlyBlank = trimBlanks(more).isEmpty();
            if (onlyBlank)
                break;
        }
        const qsizetype tabRaw = raw.indexOf(u'\t');
        if (tabRaw < 0) {
            if (trimBlanks(raw).isEmpty())
                lineError(lineNo, QStringLiteral("пустая строка среди строк отказов"));
            lineError(lineNo,
                      QStringLiteral("нет символа табуляции между наработкой и причиной отказа"));
        }
        const QString line = trimBlanks(raw);
        const qsizetype tab = line.indexOf(u'\t');
        const TimeField tf = timeField(line);
        const auto &v = tf.value;
        if (!v)
            lineError(
                lineNo,
                QStringLiteral("наработка «%1» не является числом").arg(messageQuote(tf.text)));
        if (*v < 0)
            lineError(lineNo,
                      QStringLiteral("отрицательная наработка %1").arg(messageQuote(tf.text)));
        if (*v > kMaxTime)
            lineError(lineNo,
                      QStringLiteral("наработка %1 больше 1E12 ч").arg(messageQuote(tf.text)));

        Problems p;
        p.time = *v;
        const CauseEntry e = causes.lookup(tab < 0 ? QString() : trimBlanks(line.mid(tab + 1)));
        p.text = e.text;
        for (int k = 1; k <= f.NPrich; ++k)
            if (e.mask & (1u << k))
                f.B_otk[k].Dolya += 1;
        p.chey = int32_t(e.mask);
        recs.push_back(p);
        fileLines.push_back(int32_t(lineNo));
    }

    // A data set without failures has nothing to analyse; refusing it keeps the data
    // already loaded.
    if (recs.empty())
        throw UserError(QStringLiteral("В файле нет ни одной строки отказа: после списка причин "
                                       "должны идти строки «наработка<TAB>причина»"));

    // Causes sorted by count, largest first; equal counts keep their file order.
    std::array<int, kCauseSlots> order{};   // sorted position -> file index
    {
        std::vector<int> idx(kMaxCauses);
        std::iota(idx.begin(), idx.end(), 1);
        std::stable_sort(idx.begin(), idx.end(),
                         [&](int a, int b) { return f.B_otk[a].Dolya > f.B_otk[b].Dolya; });
        for (int k = 1; k <= kMaxCauses; ++k) {
            order[k] = idx[k - 1];
            f.Vidy_otkazov[k] = f.B_otk[idx[k - 1]];
        }
    }
    f.Vidy_otkazov[0].Nazv_Prich = txt::unknownCause;
    // Every record to the sorted table: the last sorted cause that matched, 0 for none.
    for (Problems &p : recs) {
        const uint32_t mask = uint32_t(p.chey);
        p.chey = 0;
        if (!mask)
            continue;
        for (int k = 1; k <= f.NPrich; ++k)
            if (mask & (1u << order[k]))
                p.chey = k;
    }

    // Sort by time; records with equal times keep their file order.
    sortByTime(recs, &fileLines);
    f.MasProbl = FailureRecords(std::move(recs), causes.takeTexts(), std::move(fileLines));

    f.Kol_izw = int32_t(f.MasProbl.size());
    f.Popravka_Unknow = double(f.Kol_izw) / double(f.KolOtk);
    f.Izd_Prived = f.Kol_Izd_All * f.Popravka_Unknow;
    if (f.Kol_izw > 0 && !(f.Izd_Prived > 0))
        throw UserError(QStringLiteral("Количество изделий в заголовке файла равно 0: "
                                       "долю отказавших изделий вычислить нельзя"));

    // Derived times and the grid markers.
    f.markers.assign(f.MasProbl.size(), Marker::None);
    const double N = f.Izd_Prived;
    double S = 0, tprev = 0;
    double *figure[6] = {&f.T90expl, &f.T80expl, &f.T50expl, &f.t50zen, &f.T20expl, &f.T10expl};
    const double level[6] = {0.1, 0.2, 0.5, 0.5, 0.8, 0.9};
    CensoringWeights heavy;
    for (size_t i = 0; i < f.MasProbl.size(); ++i) {
        const double t = f.MasProbl[i].time;
        const double G = CDF_Gauss(f.Sred, f.SKO, t);
        if (!(G < 1)) {
            // The first such record in time order is the first line with its time.
            Lines again = failureStart;
            int line = 0;
            QString l;
            while (line == 0 && again.next(l)) {
                const TimeField tf = timeField(trimBlanks(l));
                if (tf.value && *tf.value == t)
                    line = again.lineNo();
            }
            lineError(line,
                      QStringLiteral("наработка %1 ч лежит так далеко за средним сроком гарантии, "
                                     "что все изделия уже выбыли из наблюдения")
                          .arg(fmtGeneral(t, u'.')));
        }
        const double w = 1 / (1 - G);
        heavy.note(i, t, w);
        S = S + w;
        if (t >= f.tGar && f.Otk_Izd == 0)
            f.Otk_Izd = S / N;
        for (int m = 0; m < 6; ++m) {
            const bool plain = m == 2;
            const double share = plain ? double(i + 1) / N : S / N;
            if (share >= level[m] && *figure[m] == 0) {
                const double x = plain ? double(i + 1) - level[m] * N : S - level[m] * N;
                f.markers[i] = Marker(m);
                *figure[m] = t - (t - tprev) * Frac(x);
            }
        }
        tprev = t;
    }

    // What was read but deserves a doubt.
    if (const QString w = detail::replacedBytesWarning(enc); !w.isEmpty())
        f.warnings << w;
    if (f.KolOtk < f.Kol_izw)
        f.warnings << QStringLiteral(
                          "В заголовке файла указано отказов: %1, а строк отказов в файле "
                          "больше: %2; доля документированных отказов принята больше 1")
                          .arg(f.KolOtk)
                          .arg(f.Kol_izw);
    if (f.Kol_izw < kFewFailures)
        f.warnings << QStringLiteral("В файле всего %1 строк отказов (меньше %2): оценки модели по "
                                     "таким данным ненадежны")
                          .arg(f.Kol_izw)
                          .arg(kFewFailures);
    if (const QString w = heavy.warning(dec); !w.isEmpty())
        f.warnings << w;
    return f;
}

void applyFailureFile(State &s, FailureFile &&f)
{
    s.uk = true;
    s.MasProbl = std::move(f.MasProbl);
    s.B_otk = f.B_otk;
    s.Vidy_otkazov = f.Vidy_otkazov;
    s.Comment = f.Comment;
    s.Sred = f.Sred;
    s.SKO = f.SKO;
    s.Kol_Izd_All = f.Kol_Izd_All;
    s.KolOtk = f.KolOtk;
    s.Kol_izw = f.Kol_izw;
    s.Popravka_Unknow = f.Popravka_Unknow;
    s.Izd_Prived = f.Izd_Prived;
    s.tGar = f.tGar;
    s.Otk_Izd = f.Otk_Izd;
    s.T90expl = f.T90expl;
    s.T80expl = f.T80expl;
    s.T50expl = f.T50expl;
    s.t50zen = f.t50zen;
    s.T20expl = f.T20expl;
    s.T10expl = f.T10expl;
}

GridRow gridRow(const State &s, const std::vector<Marker> &markers, size_t r, QChar dec)
{
    GridRow g;
    const Problems &p = s.MasProbl[r];
    g.number = QString::number(r + 1);
    g.time = fmtGeneral(p.time, dec);
    const int c = (p.chey >= 0 && p.chey < kCauseSlots) ? p.chey : 0;
    g.cause = s.Vidy_otkazov[c].Nazv_Prich;
    if (r < markers.size())
        g.cause += markerText(markers[r]);
    g.comment = s.MasProbl.komment(r);
    return g;
}

LoadBoxTexts loadBoxTexts(const FailureFile &f, QChar dec)
{
    LoadBoxTexts b;
    b.meSred = fmtGeneral(f.Sred, dec);
    b.meSKO = fmtGeneral(f.SKO, dec);
    b.meKolAll = fmtInt(f.Kol_Izd_All);
    b.meKolOtk = fmtInt(f.KolOtk);
    b.LabeledEdit2 = b.meSred;
    b.Edit1 = QStringLiteral("1") + dec + QStringLiteral("00025");
    b.Edit6 = b.Edit1;
    b.Edit5 = QStringLiteral("1") + dec + QStringLiteral("0005");
    b.Edit2 = QStringLiteral("0") + dec + QStringLiteral("0000002");
    return b;
}

QString generationsFor(int32_t KolOtk, const QString &previous)
{
    if (KolOtk >= 0 && KolOtk <= 500)
        return QStringLiteral("1200");
    if (KolOtk >= 501 && KolOtk <= 999)
        return QStringLiteral("1800");
    if (KolOtk >= 1000 && KolOtk <= 99999)
        return QStringLiteral("2500");
    return previous;
}

}   // namespace obr
