// SPDX-License-Identifier: MIT
// Reading the Nevada table, building it from a claims list and a sales table, and the
// labels of calendar periods.
#include "cohort.h"
#include "cohort_texts.h"

#include "io/loaders.h"
#include "model/errors.h"
#include "model/plainnum.h"

#include <QDate>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <map>

namespace obr::cohort {

double NevadaTable::cell(int r, int a) const
{
    double s = 0;
    for (const auto &c : claims)
        if (r >= 0 && r < int(c.size()) && a >= 1 && a <= int(c[size_t(r)].size()))
            s += c[size_t(r)][size_t(a - 1)];
    return s;
}

namespace {

// ---------------------------------------------------------------------------------------
// Cells and numbers

QChar separatorOf(const QString &line)
{
    if (line.contains(u'\t'))
        return u'\t';
    if (line.contains(u';'))
        return u';';
    return u',';
}

QStringList splitCells(const QString &line, QChar sep)
{
    QStringList cells = line.split(sep);
    for (QString &c : cells) {
        c = c.trimmed();
        if (c.size() >= 2 && c.startsWith(u'"') && c.endsWith(u'"'))
            c = c.mid(1, c.size() - 2).trimmed();
    }
    return cells;
}

//! A number as a spreadsheet writes it: group spaces, the decimal comma or point.
std::optional<double> numberOf(QString s)
{
    s.remove(u' ');
    s.remove(QChar(0x00A0));
    s.remove(QChar(0x202F));
    s.replace(u',', u'.');
    if (s.isEmpty())
        return std::nullopt;
    return plainNumber<double>(s.toLatin1());
}

QString normalizedName(QString s) { return s.trimmed().toLower().replace(u'ё', u'е'); }

bool isCauseHeader(const QString &raw)
{
    const QString s = normalizedName(raw);
    return s.startsWith(QStringLiteral("причин")) || s == u"cause" || s == u"вид отказа" ||
           s == u"failure mode" || s == u"mode";
}

// ---------------------------------------------------------------------------------------
// Period labels

//! A label read as a period: its kind and its absolute number (months, quarters or weeks).
struct LabelPeriod {
    enum Kind { None, Month, Quarter, Week, Number } kind = None;
    long long index = 0;
};

LabelPeriod labelPeriod(const QString &label)
{
    static const QRegularExpression ym(QStringLiteral("^(\\d{4})-(\\d{1,2})$"));
    static const QRegularExpression my(QStringLiteral("^(\\d{1,2})[./](\\d{4})$"));
    static const QRegularExpression yq(QStringLiteral("^(\\d{4})-[QqКк](\\d)$"));
    static const QRegularExpression yw(QStringLiteral("^(\\d{4})-[Ww](\\d{1,2})$"));
    static const QRegularExpression n(QStringLiteral("^\\d{1,6}$"));
    const QString s = label.trimmed();
    QRegularExpressionMatch m;
    if ((m = ym.match(s)).hasMatch()) {
        const int mo = m.captured(2).toInt();
        if (mo >= 1 && mo <= 12)
            return {LabelPeriod::Month, m.captured(1).toLongLong() * 12 + mo - 1};
    } else if ((m = my.match(s)).hasMatch()) {
        const int mo = m.captured(1).toInt();
        if (mo >= 1 && mo <= 12)
            return {LabelPeriod::Month, m.captured(2).toLongLong() * 12 + mo - 1};
    } else if ((m = yq.match(s)).hasMatch()) {
        const int q = m.captured(2).toInt();
        if (q >= 1 && q <= 4)
            return {LabelPeriod::Quarter, m.captured(1).toLongLong() * 4 + q - 1};
    } else if ((m = yw.match(s)).hasMatch()) {
        const int w = m.captured(2).toInt();
        if (w >= 1 && w <= 53)
            return {LabelPeriod::Week, m.captured(1).toLongLong() * 53 + w - 1};
    } else if (n.match(s).hasMatch()) {
        return {LabelPeriod::Number, s.toLongLong()};
    }
    return {};
}

//! The ISO week's Monday of week number w (1 …) of year y.
QDate isoWeekMonday(int y, int w)
{
    const QDate jan4(y, 1, 4);
    return jan4.addDays(1 - jan4.dayOfWeek()).addDays(7 * (w - 1));
}

//! The label \a steps periods after \a label, in its own format; empty when not a period.
QString continued(const QString &label, int steps)
{
    const LabelPeriod p = labelPeriod(label);
    switch (p.kind) {
    case LabelPeriod::None:
        return QString();
    case LabelPeriod::Number:
        return QString::number(p.index + steps);
    case LabelPeriod::Month: {
        const long long i = p.index + steps;
        if (label.contains(u'.') || label.contains(u'/'))
            return QStringLiteral("%1.%2")
                .arg(int(i % 12) + 1, 2, 10, QLatin1Char('0'))
                .arg(i / 12);
        return QStringLiteral("%1-%2").arg(i / 12).arg(int(i % 12) + 1, 2, 10, QLatin1Char('0'));
    }
    case LabelPeriod::Quarter: {
        const long long i = p.index + steps;
        return QStringLiteral("%1-Q%2").arg(i / 4).arg(int(i % 4) + 1);
    }
    case LabelPeriod::Week: {
        const int y = int(p.index / 53), w = int(p.index % 53) + 1;
        const QDate d = isoWeekMonday(y, w).addDays(7 * steps);
        int wy = 0;
        const int wn = d.weekNumber(&wy);
        return QStringLiteral("%1-W%2").arg(wy).arg(wn, 2, 10, QLatin1Char('0'));
    }
    }
    return QString();
}

// ---------------------------------------------------------------------------------------
// Dates of the claims list

std::optional<QDate> dateOf(const QString &raw)
{
    const QString s = raw.trimmed();
    for (const char *f : {"yyyy-MM-dd", "dd.MM.yyyy", "d.M.yyyy", "yyyy-M-d", "dd/MM/yyyy"}) {
        const QDate d = QDate::fromString(s, QString::fromLatin1(f));
        if (d.isValid())
            return d;
    }
    return std::nullopt;
}

//! The absolute number of the period holding \a d.
long long periodOfDate(const QDate &d, Period p)
{
    switch (p) {
    case Period::Month:
        return d.year() * 12LL + d.month() - 1;
    case Period::Quarter:
        return d.year() * 4LL + (d.month() - 1) / 3;
    case Period::Week:
        // Weeks from Monday 1970-01-05.
        return (QDate(1970, 1, 5).daysTo(d) - (d.dayOfWeek() - 1)) / 7;
    }
    return 0;
}

QString labelOfPeriod(long long i, Period p)
{
    switch (p) {
    case Period::Month:
        return QStringLiteral("%1-%2").arg(i / 12).arg(int(i % 12) + 1, 2, 10, QLatin1Char('0'));
    case Period::Quarter:
        return QStringLiteral("%1-Q%2").arg(i / 4).arg(int(i % 4) + 1);
    case Period::Week: {
        const QDate d = QDate(1970, 1, 5).addDays(7 * i);
        int wy = 0;
        const int wn = d.weekNumber(&wy);
        return QStringLiteral("%1-W%2").arg(wy).arg(wn, 2, 10, QLatin1Char('0'));
    }
    }
    return QString();
}

//! A period given as a date inside it or as its label.
std::optional<long long> periodOfText(const QString &text, Period p)
{
    if (const auto d = dateOf(text))
        return periodOfDate(*d, p);
    const LabelPeriod lp = labelPeriod(text);
    if (p == Period::Month && lp.kind == LabelPeriod::Month)
        return lp.index;
    if (p == Period::Quarter && lp.kind == LabelPeriod::Quarter)
        return lp.index;
    if (p == Period::Week && lp.kind == LabelPeriod::Week) {
        const int y = int(lp.index / 53), w = int(lp.index % 53) + 1;
        return periodOfDate(isoWeekMonday(y, w), p);
    }
    return std::nullopt;
}

double daysPerPeriod(Period p)
{
    return p == Period::Month ? 365.25 / 12 : p == Period::Quarter ? 365.25 / 4 : 7.0;
}

}   // namespace

// ---------------------------------------------------------------------------------------
// The Nevada table

NevadaTable parseNevadaText(const QString &text, bool firstFailures)
{
    const QStringList all = splitLines(text);
    // Lines with their numbers; blank lines (or lines of empty cells) are skipped.
    std::vector<std::pair<int, QString>> lines;
    for (int i = 0; i < all.size(); ++i) {
        QString l = all[i];
        if (i == 0 && l.startsWith(QChar(0xFEFF)))
            l.remove(0, 1);
        QString probe = l;
        probe.remove(u';').remove(u'\t').remove(u',').remove(u'"');
        if (!probe.trimmed().isEmpty())
            lines.emplace_back(i + 1, l);
    }
    if (lines.empty())
        throw UserError(txt::noHeader);
    const QChar sep = separatorOf(lines.front().second);
    const QStringList head = splitCells(lines.front().second, sep);
    if (head.size() < 3 || numberOf(head[1]))
        throw UserError(txt::noHeader);
    const bool hasCause = isCauseHeader(head[2]);
    const int first = hasCause ? 3 : 2;   // the first claim column
    QStringList claimHead = head.mid(first);
    while (!claimHead.isEmpty() && claimHead.back().isEmpty())
        claimHead.removeLast();
    if (claimHead.isEmpty())
        throw UserError(txt::noHeader);
    // Ages 1, 2, … (or 0, 1, …) across, or the claim periods.
    bool ages = true;
    int ageBase = 1;
    for (int j = 0; j < claimHead.size(); ++j) {
        bool ok = false;
        const int v = claimHead[j].toInt(&ok);
        if (j == 0 && ok && (v == 0 || v == 1))
            ageBase = v;
        if (!ok || v != ageBase + j) {
            ages = false;
            break;
        }
    }

    NevadaTable t;
    t.layout = ages ? Layout::Age : Layout::Calendar;
    const int ncol = int(claimHead.size());
    struct RawRow {
        int line = 0;
        QString label;
        QString cause;
        QStringList cells;
    };
    std::vector<RawRow> raw;
    for (size_t i = 1; i < lines.size(); ++i) {
        RawRow r;
        r.line = lines[i].first;
        const QStringList c = splitCells(lines[i].second, sep);
        r.label = c.value(0);
        r.cause = hasCause ? c.value(2) : QString();
        r.cells = c.mid(first);
        const QString units = c.value(1);
        const int row = r.line;
        if (units.isEmpty())
            throw UserError(txt::rowError.arg(row).arg(r.label, txt::noUnits));
        const auto u = numberOf(units);
        if (!u || !(*u > 0) || *u != std::floor(*u))
            throw UserError(txt::rowError.arg(row).arg(r.label, txt::badUnits.arg(units)));
        raw.push_back(r);
        // Units kept by the first row of each sales period.
        const auto it = std::find(t.rows.begin(), t.rows.end(), r.label);
        if (it == t.rows.end()) {
            t.lines.push_back(r.line);
            t.rows.push_back(r.label);
            t.units.push_back(*u);
        } else {
            const double before = t.units[size_t(it - t.rows.begin())];
            if (before != *u)
                throw UserError(
                    txt::rowError.arg(row).arg(r.label, txt::causeUnitsDiffer.arg(before).arg(*u)));
            if (it != t.rows.end() - 1)
                throw UserError(txt::rowError.arg(row).arg(
                    r.label, txt::periodsOutOfOrder.arg(r.label, t.rows.back())));
        }
    }
    if (t.rows.empty())
        throw UserError(txt::noRows);
    // Causes in order of appearance.
    if (hasCause) {
        for (const RawRow &r : raw)
            if (std::find(t.causes.begin(), t.causes.end(), r.cause) == t.causes.end())
                t.causes.push_back(r.cause);
    }
    const int nRows = t.rowCount();
    const int nCauses = hasCause ? int(t.causes.size()) : 1;

    // Sale periods: by the header's labels in the calendar layout when all are found there,
    // by row order otherwise.
    t.start.resize(size_t(nRows));
    bool byHeader = !ages;
    if (byHeader)
        for (const QString &l : t.rows)
            byHeader = byHeader && claimHead.contains(l);
    for (int r = 0; r < nRows; ++r)
        t.start[size_t(r)] = byHeader ? int(claimHead.indexOf(t.rows[size_t(r)])) : r;
    for (int r = 1; r < nRows; ++r)
        if (t.start[size_t(r)] <= t.start[size_t(r - 1)]) {
            int line = 0;
            for (const RawRow &x : raw)
                if (x.label == t.rows[size_t(r)]) {
                    line = x.line;
                    break;
                }
            throw UserError(txt::rowError.arg(line).arg(
                t.rows[size_t(r)],
                txt::periodsOutOfOrder.arg(t.rows[size_t(r)], t.rows[size_t(r - 1)])));
        }
    auto rowOf = [&](const QString &label) {
        return int(std::find(t.rows.begin(), t.rows.end(), label) - t.rows.begin());
    };

    // The data end: the calendar layout's last column; in the age layout the last filled
    // cell of the last sales period (the last row has one filled cell).
    int dataEnd = 0;
    if (!ages) {
        dataEnd = ncol - 1;
    } else {
        int lastFilled = -1;
        for (const RawRow &x : raw) {
            if (rowOf(x.label) != nRows - 1)
                continue;
            for (int j = 0; j < std::min(ncol, int(x.cells.size())); ++j)
                if (!x.cells[j].isEmpty())
                    lastFilled = std::max(lastFilled, j);
        }
        if (lastFilled >= 0) {
            dataEnd = t.start.back() + lastFilled;
        } else {
            // The last period sold but has no data yet: the data end is the latest filled.
            dataEnd = t.start.back() - 1;
            for (const RawRow &x : raw)
                for (int j = 0; j < std::min(ncol, int(x.cells.size())); ++j)
                    if (!x.cells[j].isEmpty())
                        dataEnd = std::max(dataEnd, t.start[size_t(rowOf(x.label))] + j);
        }
    }
    t.dataEnd = dataEnd;

    t.claims.assign(size_t(nCauses), std::vector<std::vector<double>>(size_t(nRows)));
    for (int c = 0; c < nCauses; ++c)
        for (int r = 0; r < nRows; ++r)
            t.claims[size_t(c)][size_t(r)].assign(
                size_t(std::max(0, dataEnd - t.start[size_t(r)] + 1)), 0.0);
    std::vector<double> rowSum(size_t(nRows), 0.0);
    for (const RawRow &x : raw) {
        const int r = rowOf(x.label);
        const int c =
            hasCause ? int(std::find(t.causes.begin(), t.causes.end(), x.cause) - t.causes.begin())
                     : 0;
        for (int j = 0; j < int(x.cells.size()); ++j) {
            const QString &cell = x.cells[j];
            if (cell.isEmpty())
                continue;
            const int column = first + j + 1;
            const QString colName = j < ncol ? claimHead[j] : QString::number(j + 1);
            auto refuse = [&](const QString &why) {
                throw UserError(
                    txt::cellError.arg(x.line).arg(x.label).arg(column).arg(colName, why));
            };
            const auto v = numberOf(cell);
            if (!v)
                refuse(txt::notACount.arg(cell));
            if (*v < 0)
                refuse(txt::negativeCount.arg(cell));
            if (*v != std::floor(*v))
                refuse(txt::fractionCount.arg(cell));
            if (j >= ncol) {
                if (*v != 0)
                    refuse(txt::afterDataEnd.arg(cell));
                continue;
            }
            // The calendar period of the cell.
            const int k = ages ? t.start[size_t(r)] + j : j;
            const int a = k - t.start[size_t(r)] + 1;
            if (a < 1) {
                if (*v != 0)
                    refuse(txt::beforeSale.arg(cell));
                continue;
            }
            if (k > dataEnd) {
                if (*v != 0)
                    refuse(txt::afterDataEnd.arg(cell));
                continue;
            }
            t.claims[size_t(c)][size_t(r)][size_t(a - 1)] += *v;
            rowSum[size_t(r)] += *v;
        }
    }
    if (firstFailures)
        for (const RawRow &x : raw) {
            const int r = rowOf(x.label);
            if (rowSum[size_t(r)] > t.units[size_t(r)])
                throw UserError(txt::rowError.arg(x.line).arg(
                    x.label, txt::overUnits.arg(rowSum[size_t(r)]).arg(t.units[size_t(r)])));
        }

    // Labels of calendar periods 0 … data end.
    for (int k = 0; k <= dataEnd; ++k) {
        if (!ages) {
            t.periods.push_back(claimHead[k]);
            continue;
        }
        const auto it = std::find(t.start.begin(), t.start.end(), k);
        if (it != t.start.end()) {
            t.periods.push_back(t.rows[size_t(it - t.start.begin())]);
        } else {
            const QString c = continued(t.rows.back(), k - t.start.back());
            t.periods.push_back(c.isEmpty() ? QStringLiteral("%1").arg(k + 1) : c);
        }
    }
    return t;
}

NevadaTable readNevada(const QByteArray &bytes, bool firstFailures)
{
    return parseNevadaText(decodeText(bytes), firstFailures);
}

// ---------------------------------------------------------------------------------------
// The claims list and the sales table

NevadaTable buildFromClaims(const QByteArray &claimBytes, const QByteArray &salesBytes,
                            Period period, const QString &dataEndText)
{
    // The sales table.
    std::vector<long long> salePeriods;
    std::vector<double> saleUnits;
    {
        const QStringList lines = splitLines(decodeText(salesBytes));
        for (int i = 0; i < lines.size(); ++i) {
            QString l = lines[i];
            if (i == 0 && l.startsWith(QChar(0xFEFF)))
                l.remove(0, 1);
            if (l.trimmed().isEmpty())
                continue;
            const QStringList c = splitCells(l, separatorOf(l));
            auto refuse = [&](int col, const QString &why) {
                throw UserError(
                    txt::listLineError.arg(txt::salesFile).arg(i + 1).arg(col).arg(why));
            };
            const auto p = periodOfText(c.value(0), period);
            const auto u = numberOf(c.value(1));
            if (!p && salePeriods.empty() && !u)
                continue;   // the header
            if (!p)
                refuse(1, txt::badDate.arg(c.value(0)));
            if (!u || !(*u > 0) || *u != std::floor(*u))
                refuse(2, txt::badUnits.arg(c.value(1)));
            if (!salePeriods.empty() && *p <= salePeriods.back())
                refuse(1, txt::salesOutOfOrder.arg(labelOfPeriod(*p, period),
                                                   labelOfPeriod(salePeriods.back(), period)));
            salePeriods.push_back(*p);
            saleUnits.push_back(*u);
        }
        if (salePeriods.empty())
            throw UserError(txt::noRows);
    }
    const long long p0 = salePeriods.front();

    // The claims.
    struct Claim {
        int row;
        long long period;
        QString cause;
        std::optional<double> rate;
        int line;
    };
    std::vector<Claim> list;
    std::vector<QString> causes;
    bool anyCause = false;
    {
        const QStringList lines = splitLines(decodeText(claimBytes));
        bool seen = false;
        for (int i = 0; i < lines.size(); ++i) {
            QString l = lines[i];
            if (i == 0 && l.startsWith(QChar(0xFEFF)))
                l.remove(0, 1);
            if (l.trimmed().isEmpty())
                continue;
            const QStringList c = splitCells(l, separatorOf(l));
            auto refuse = [&](int col, const QString &why) {
                throw UserError(
                    txt::listLineError.arg(txt::claimsFile).arg(i + 1).arg(col).arg(why));
            };
            const auto sale = dateOf(c.value(0));
            if (!sale && !seen)
                continue;   // the header
            seen = true;
            if (!sale)
                refuse(1, txt::badDate.arg(c.value(0)));
            const auto claim = dateOf(c.value(1));
            if (!claim)
                refuse(2, txt::badDate.arg(c.value(1)));
            if (*claim < *sale)
                refuse(2, txt::claimBeforeSale.arg(c.value(1), c.value(0)));
            // Third and fourth columns: the cause and the hours, either may be missing.
            QString cause;
            QString hoursText;
            int hoursCol = 0;
            if (c.size() >= 4) {
                cause = c.value(2);
                hoursText = c.value(3);
                hoursCol = 4;
            } else if (c.size() == 3) {
                if (numberOf(c.value(2))) {
                    hoursText = c.value(2);
                    hoursCol = 3;
                } else {
                    cause = c.value(2);
                }
            }
            std::optional<double> rate;
            if (!hoursText.isEmpty()) {
                const auto h = numberOf(hoursText);
                if (!h || !(*h > 0))
                    refuse(hoursCol, txt::badHours.arg(hoursText));
                const double age = double(sale->daysTo(*claim)) / daysPerPeriod(period);
                if (age > 0)
                    rate = *h / age;
            }
            const long long sp = periodOfDate(*sale, period);
            const auto it = std::find(salePeriods.begin(), salePeriods.end(), sp);
            if (it == salePeriods.end())
                refuse(1, txt::saleNotInSales.arg(labelOfPeriod(sp, period)));
            if (!cause.isEmpty())
                anyCause = true;
            if (std::find(causes.begin(), causes.end(), cause) == causes.end())
                causes.push_back(cause);
            list.push_back(
                {int(it - salePeriods.begin()), periodOfDate(*claim, period), cause, rate, i + 1});
        }
    }
    if (list.empty())
        throw UserError(txt::noClaimsList);

    long long end = 0;
    if (!dataEndText.trimmed().isEmpty()) {
        const auto e = periodOfText(dataEndText, period);
        if (!e)
            throw UserError(txt::unknownDataEnd.arg(dataEndText));
        end = *e;
        for (const Claim &c : list)
            if (c.period > end)
                throw UserError(txt::listLineError.arg(txt::claimsFile)
                                    .arg(c.line)
                                    .arg(2)
                                    .arg(txt::claimAfterDataEnd.arg(labelOfPeriod(c.period, period),
                                                                    labelOfPeriod(end, period))));
    } else {
        end = p0;
        for (const Claim &c : list)
            end = std::max(end, c.period);
    }

    NevadaTable t;
    t.layout = Layout::Age;
    t.dataEnd = int(end - p0);
    for (size_t r = 0; r < salePeriods.size(); ++r) {
        t.rows.push_back(labelOfPeriod(salePeriods[r], period));
        t.units.push_back(saleUnits[r]);
        t.start.push_back(int(salePeriods[r] - p0));
    }
    if (anyCause) {
        for (const QString &c : causes)
            t.causes.push_back(c.isEmpty() ? QStringLiteral("не указана") : c);
    }
    const int nCauses = anyCause ? int(causes.size()) : 1;
    t.claims.assign(size_t(nCauses), std::vector<std::vector<double>>(t.rows.size()));
    for (int c = 0; c < nCauses; ++c)
        for (int r = 0; r < t.rowCount(); ++r)
            t.claims[size_t(c)][size_t(r)].assign(
                size_t(std::max(0, t.dataEnd - t.start[size_t(r)] + 1)), 0.0);
    for (const Claim &c : list) {
        const int a = int(c.period - salePeriods[size_t(c.row)]) + 1;
        const int ci =
            anyCause ? int(std::find(causes.begin(), causes.end(), c.cause) - causes.begin()) : 0;
        t.claims[size_t(ci)][size_t(c.row)][size_t(a - 1)] += 1;
        if (c.rate)
            t.claimRates.push_back(*c.rate);
    }
    for (int k = 0; k <= t.dataEnd; ++k)
        t.periods.push_back(labelOfPeriod(p0 + k, period));
    return t;
}

// ---------------------------------------------------------------------------------------

QString periodLabel(const NevadaTable &t, int index, Period)
{
    if (index >= 0 && index < int(t.periods.size()))
        return t.periods[size_t(index)];
    if (!t.periods.empty()) {
        const int last = int(t.periods.size()) - 1;
        const QString c = continued(t.periods.back(), index - last);
        if (!c.isEmpty())
            return c;
        return QStringLiteral("+%1").arg(index - last);
    }
    return QString::number(index + 1);
}

std::optional<int> periodIndex(const NevadaTable &t, const QString &text, Period period)
{
    const QString s = text.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    for (int k = 0; k < int(t.periods.size()); ++k)
        if (t.periods[size_t(k)] == s)
            return k;
    // A label of the continued periods, or a date inside one.
    if (!t.periods.empty()) {
        const LabelPeriod base = labelPeriod(t.periods.front());
        LabelPeriod want = labelPeriod(s);
        if (base.kind != LabelPeriod::None && base.kind != LabelPeriod::Number &&
            want.kind == LabelPeriod::None) {
            if (const auto d = dateOf(s)) {
                const LabelPeriod::Kind k = base.kind;
                const Period p = k == LabelPeriod::Month     ? Period::Month
                                 : k == LabelPeriod::Quarter ? Period::Quarter
                                                             : Period::Week;
                want = labelPeriod(labelOfPeriod(periodOfDate(*d, p), p));
            }
        }
        if (base.kind == want.kind && base.kind != LabelPeriod::None &&
            base.kind != LabelPeriod::Number) {
            for (int k = 0; k < 100000; ++k) {
                if (labelPeriod(periodLabel(t, k, period)).index == want.index)
                    return k;
                if (k > int(t.periods.size()) + 1000)
                    break;
            }
        }
    }
    bool ok = false;
    const int n = s.toInt(&ok);
    if (ok && n >= 1)
        return n - 1;
    return std::nullopt;
}

}   // namespace obr::cohort
