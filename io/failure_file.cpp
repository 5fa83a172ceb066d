// SPDX-License-Identifier: MIT
#include "loaders.h"
#include "model/errors.h"
#include "model/texts.h"
#include "stats/stat2018.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

namespace obr {

namespace {

constexpr double kMaxTime = 1e12;

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
    const char *p = b.constData();
    if (*p == '+')
        ++p;
    double v = 0;
    auto r = std::from_chars(p, b.constData() + n, v);
    if (r.ec != std::errc() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int32_t> parsePlainInt(const QString &tok)
{
    if (tok.isEmpty() || tok.size() > 32)
        return std::nullopt;
    const QByteArray b = tok.toLatin1();
    const char *p = b.constData();
    const char *e = p + b.size();
    if (*p == '+')
        ++p;
    int32_t v = 0;
    auto r = std::from_chars(p, e, v);
    if (r.ec != std::errc() || r.ptr != e)
        return std::nullopt;
    return v;
}

//! Reads the numbers of the header: blank lines are skipped, the number is the line's
//! first token, a missing number at the end of the file reads as 0.
class HeaderReader {
public:
    HeaderReader(const QStringList &lines, int next) : m_lines(lines), m_next(next) {}

    QString token(int &lineNo)
    {
        while (m_next < m_lines.size() && trimBlanks(m_lines[m_next]).isEmpty())
            ++m_next;
        if (m_next >= m_lines.size()) {
            lineNo = m_next + 1;
            return QStringLiteral("0");
        }
        lineNo = m_next + 1;
        const QString l = trimBlanks(m_lines[m_next++]);
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
        lineError(line, QStringLiteral("«%1» не является числом (%2; дробная часть пишется через точку)")
                            .arg(messageQuote(t), what));
    }

    int32_t integer(const QString &what)
    {
        int line = 0;
        const QString t = token(line);
        if (auto v = parsePlainInt(t))
            return *v;
        lineError(line, QStringLiteral("«%1» не является целым числом (%2)").arg(messageQuote(t), what));
    }

    int next() const { return m_next; }

private:
    const QStringList &m_lines;
    int m_next;
};

} // namespace

QString markerText(Marker m)
{
    switch (m) {
    case Marker::T90: return QStringLiteral(", отказов 10% от парка");
    case Marker::T80: return QStringLiteral(", отказов 20% от парка");
    case Marker::T50: return QStringLiteral(", отказов 50% от наблюдаемого парка");
    case Marker::T50z: return QStringLiteral(", отказов 50% от парка с учетом цензурирования");
    case Marker::T20: return QStringLiteral(", отказов 80% от парка");
    case Marker::T10: return QStringLiteral(", отказов 90% от парка");
    case Marker::None: break;
    }
    return {};
}

void requireFailureData(const State &s)
{
    if (s.MasProbl.empty() || s.Kol_izw <= 0)
        throw UserError(txt::noFailures);
}

FailureFile readFailureFile(const QByteArray &bytes)
{
    if (bytes.trimmed().isEmpty())
        throw UserError(QStringLiteral("Файл исходных данных пуст"));
    const QStringList lines = splitLines(decodeText(bytes));
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].contains(QChar(0)))
            lineError(i + 1, QStringLiteral("недопустимый символ с кодом 0"));

    FailureFile f;
    f.Comment = lines.value(0);
    HeaderReader h(lines, 1);
    f.Sred = h.real(QStringLiteral("среднее время гарантии"));
    f.SKO = h.real(QStringLiteral("СКО времени гарантии"));
    f.Kol_Izd_All = h.integer(QStringLiteral("количество изделий"));
    f.KolOtk = h.integer(QStringLiteral("количество отказов"));
    int npLine = 0;
    {
        HeaderReader probe = h;
        probe.token(npLine);
    }
    f.NPrich = h.integer(QStringLiteral("количество причин отказов"));
    if (f.NPrich < 0 || f.NPrich > kMaxCauses)
        lineError(npLine, QStringLiteral("количество причин отказов %1, допускается от 0 до %2")
                              .arg(f.NPrich)
                              .arg(kMaxCauses));
    if (f.Sred <= 0)
        throw UserError(QStringLiteral("Среднее время гарантии в заголовке файла должно быть больше 0"));
    if (f.SKO <= 0)
        throw UserError(QStringLiteral("СКО времени гарантии в заголовке файла должно быть больше 0"));
    if (f.KolOtk <= 0)
        throw UserError(QStringLiteral("Количество отказов в заголовке файла должно быть больше 0"));
    if (f.Kol_Izd_All < 0)
        throw UserError(QStringLiteral("Количество изделий в заголовке файла не может быть отрицательным"));

    int next = h.next();
    for (int k = 1; k <= f.NPrich; ++k, ++next) {
        if (next >= lines.size())
            lineError(next + 1, QStringLiteral("файл закончился раньше списка причин отказов "
                                               "(ожидалось %1 причин)").arg(f.NPrich));
        f.B_otk[k].Nazv_Prich = trimBlanks(lines[next]);
    }
    f.tGar = f.Sred;

    // Failure lines; blank lines at the very end of the file are the end of the data.
    int last = int(lines.size());
    while (last > next && trimBlanks(lines[last - 1]).isEmpty())
        --last;
    std::array<QString, kCauseSlots> lowerNames;
    for (int k = 1; k <= f.NPrich; ++k)
        lowerNames[k] = f.B_otk[k].Nazv_Prich.toLower();

    std::vector<Problems> recs;
    std::vector<uint32_t> matched;   // per record: bit k set when cause k (file order) matched
    std::vector<int> lineOf;
    recs.reserve(size_t(std::max(0, last - next)));
    for (int li = next; li < last; ++li) {
        const QString &raw = lines[li];
        const int lineNo = li + 1;
        const qsizetype tabRaw = raw.indexOf(u'\t');
        if (tabRaw < 0) {
            if (trimBlanks(raw).isEmpty())
                lineError(lineNo, QStringLiteral("пустая строка среди строк отказов"));
            lineError(lineNo, QStringLiteral("нет символа табуляции между наработкой и причиной отказа"));
        }
        const QString line = trimBlanks(raw);
        const qsizetype tab = line.indexOf(u'\t');
        QString timeText = tab < 0 ? line : line.left(tab);
        QString cause = tab < 0 ? QString() : trimBlanks(line.mid(tab + 1));
        timeText = trimBlanks(timeText);
        QString t = timeText;
        t.replace(u',', u'.');
        const auto v = parsePeriodReal(t);
        if (!v)
            lineError(lineNo, QStringLiteral("наработка «%1» не является числом").arg(messageQuote(timeText)));
        if (*v < 0)
            lineError(lineNo, QStringLiteral("отрицательная наработка %1").arg(messageQuote(timeText)));
        if (*v > kMaxTime)
            lineError(lineNo, QStringLiteral("наработка %1 больше 1E12 ч").arg(messageQuote(timeText)));

        Problems p;
        p.time = *v;
        if (const qsizetype star = cause.indexOf(u'*'); star >= 0)
            p.komment = cause.mid(star + 2);
        uint32_t mask = 0;
        if (!cause.isEmpty() && f.NPrich > 0) {
            const QString lc = cause.toLower();
            for (int k = 1; k <= f.NPrich; ++k) {
                if (!lowerNames[k].isEmpty() && lc.contains(lowerNames[k])) {
                    mask |= 1u << k;
                    p.chey = k;
                    f.B_otk[k].Dolya += 1;
                }
            }
            if (mask)
                p.Pri = cause;
        }
        recs.push_back(std::move(p));
        matched.push_back(mask);
        lineOf.push_back(lineNo);
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
        std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) {
            return f.B_otk[a].Dolya > f.B_otk[b].Dolya;
        });
        for (int k = 1; k <= kMaxCauses; ++k) {
            order[k] = idx[k - 1];
            f.Vidy_otkazov[k] = f.B_otk[idx[k - 1]];
        }
    }
    f.Vidy_otkazov[0].Nazv_Prich = txt::unknownCause;
    // Re-map every record to the sorted table: the last sorted cause that matched.
    for (size_t r = 0; r < recs.size(); ++r) {
        if (!matched[r])
            continue;
        for (int k = 1; k <= f.NPrich; ++k)
            if (matched[r] & (1u << order[k]))
                recs[r].chey = k;
    }

    // Sort by time; records with equal times keep their file order.
    std::vector<size_t> perm(recs.size());
    std::iota(perm.begin(), perm.end(), size_t(0));
    std::stable_sort(perm.begin(), perm.end(),
                     [&](size_t a, size_t b) { return recs[a].time < recs[b].time; });
    f.MasProbl.reserve(recs.size());
    std::vector<int> sortedLine(recs.size());
    for (size_t i = 0; i < perm.size(); ++i) {
        f.MasProbl.push_back(std::move(recs[perm[i]]));
        sortedLine[i] = lineOf[perm[i]];
    }

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
    for (size_t i = 0; i < f.MasProbl.size(); ++i) {
        const double t = f.MasProbl[i].time;
        const double G = CDF_Gauss(f.Sred, f.SKO, t);
        if (!(G < 1))
            lineError(sortedLine[i],
                      QStringLiteral("наработка %1 ч лежит так далеко за средним сроком гарантии, "
                                     "что все изделия уже выбыли из наблюдения")
                          .arg(fmtGeneral(t, u'.')));
        S = S + 1 / (1 - G);
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
    g.comment = p.komment;
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

} // namespace obr
