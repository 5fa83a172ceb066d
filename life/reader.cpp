// SPDX-License-Identifier: MIT
#include "reader.h"

#include <algorithm>

#include "io/loaders.h"
#include "life_texts.h"
#include "model/errors.h"
#include "model/plainnum.h"

#include <cmath>
#include <optional>

namespace obr::life {
namespace {

enum class Col { Ignore, Time, Start, End, State, Count };

QString normalizedName(QString s)
{
    s = s.trimmed();
    if (s.size() >= 2 && s.startsWith(u'"') && s.endsWith(u'"'))
        s = s.mid(1, s.size() - 2);
    s = s.toLower().replace(u'ё', u'е');
    // Units after the name: "Наработка (ч)", "Наработка, ч", "time [h]".
    for (QChar stop : {u'(', u'[', u','}) {
        const qsizetype at = s.indexOf(stop);
        if (at > 0)
            s = s.left(at);
    }
    return s.trimmed();
}

bool anyOf(const QString &s, std::initializer_list<const char16_t *> names)
{
    for (const char16_t *n : names)
        if (s == QStringView(n))
            return true;
    return false;
}

bool startsAny(const QString &s, std::initializer_list<const char16_t *> prefixes)
{
    for (const char16_t *p : prefixes)
        if (s.startsWith(QStringView(p)))
            return true;
    return false;
}

bool containsAny(const QString &s, std::initializer_list<const char16_t *> parts)
{
    for (const char16_t *p : parts)
        if (s.contains(QStringView(p)))
            return true;
    return false;
}

Col columnOf(const QString &raw)
{
    const QString s = normalizedName(raw);
    if (s.isEmpty())
        return Col::Ignore;
    if (anyOf(s, {u"count", u"qty", u"quantity", u"number", u"n", u"units", u"кол-во", u"кол.",
                  u"кол", u"количество", u"число", u"шт", u"шт."}) ||
        startsAny(s, {u"кол-во", u"количеств", u"число ", u"count", u"qty"}))
        return Col::Count;
    if (anyOf(s, {u"state", u"status", u"event", u"type", u"censor", u"censored", u"состояние",
                  u"статус", u"тип", u"событие", u"признак", u"вид"}) ||
        startsAny(s, {u"состоян", u"state", u"status"}))
        return Col::State;
    if (anyOf(s, {u"start", u"from", u"begin", u"low", u"lower", u"left", u"t1", u"time1",
                  u"начало", u"от", u"с"}) ||
        containsAny(s, {u"начал", u"start", u"нижн", u"lower", u"from"}))
        return Col::Start;
    if (anyOf(s, {u"end", u"to", u"stop", u"high", u"upper", u"right", u"t2", u"time2", u"конец",
                  u"до", u"по"}) ||
        containsAny(s, {u"конец", u"конц", u"окончан", u"верхн", u"upper", u"end"}))
        return Col::End;
    if (anyOf(s, {u"time", u"t", u"время", u"наработка", u"hours", u"часы", u"ч", u"life", u"age",
                  u"cycles", u"циклы"}) ||
        startsAny(s, {u"наработк", u"время", u"time", u"ресурс"}))
        return Col::Time;
    return Col::Ignore;
}

QChar detectDelimiter(const QString &header)
{
    if (header.contains(u'\t'))
        return u'\t';
    if (header.contains(u';'))
        return u';';
    if (header.contains(u','))
        return u',';
    return QChar();
}

//! Splits one line; a field in double quotes may hold the delimiter ("" is a quote).
QStringList splitFields(const QString &line, QChar delim)
{
    QStringList out;
    if (delim.isNull()) {
        out.append(line);
        return out;
    }
    QString cur;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < line.size() && line.at(i + 1) == u'"') {
                    cur += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cur += c;
            }
        } else if (c == u'"' && cur.trimmed().isEmpty()) {
            cur.clear();
            quoted = true;
        } else if (c == delim) {
            out.append(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.append(cur);
    return out;
}

QString cleaned(const QString &field)
{
    QString s = field.trimmed();
    s.remove(QChar(0x00A0));
    return s;
}

//! A number with a decimal point, or a comma where the comma is not the delimiter.
std::optional<double> parseNumber(const QString &text, bool commaDecimal)
{
    QString s = text;
    s.remove(u' ');
    if (commaDecimal)
        s.replace(u',', u'.');
    const QByteArray b = s.toLatin1();
    if (b.isEmpty() || s.size() != b.size())
        return std::nullopt;
    return plainNumber<double>(b);
}

enum class State { Failure, Suspension, Interval, Unknown };

State stateOf(const QString &raw)
{
    QString s = raw.trimmed().toLower().replace(u'ё', u'е');
    while (s.endsWith(u'.'))
        s.chop(1);
    if (anyOf(s, {u"f", u"1", u"failure", u"failed", u"fail", u"отказ", u"отк", u"о", u"x", u"ф"}))
        return State::Failure;
    if (anyOf(s, {u"s", u"0", u"suspension", u"suspended", u"susp", u"censored", u"c", u"приост",
                  u"приостановка", u"приостановлен", u"приостановлено", u"исправен", u"п", u"ц",
                  u"цензур", u"снят"}))
        return State::Suspension;
    if (anyOf(s, {u"i", u"interval", u"интервал", u"инт"}))
        return State::Interval;
    return State::Unknown;
}

QString numberText(double v) { return QString::number(v, 'g', 10); }

}   // namespace

LifeData parseLifeText(const QString &text, int lineOffset)
{
    const QStringList lines = splitLines(text);
    int headerAt = -1;
    for (int i = 0; i < lines.size(); ++i)
        if (!lines[i].trimmed().isEmpty()) {
            headerAt = i;
            break;
        }
    if (headerAt < 0)
        throw UserError(txt::noRows);

    const QChar delim = detectDelimiter(lines[headerAt]);
    // In a comma-separated file a comma left inside a field was quoted: a decimal comma.
    const bool commaDecimal = true;
    const QStringList names = splitFields(lines[headerAt], delim);
    int cTime = -1, cStart = -1, cEnd = -1, cState = -1, cCount = -1;
    for (int i = 0; i < names.size(); ++i) {
        int *slot = nullptr;
        switch (columnOf(names[i])) {
        case Col::Time:
            slot = &cTime;
            break;
        case Col::Start:
            slot = &cStart;
            break;
        case Col::End:
            slot = &cEnd;
            break;
        case Col::State:
            slot = &cState;
            break;
        case Col::Count:
            slot = &cCount;
            break;
        case Col::Ignore:
            break;
        }
        if (slot && *slot < 0)
            *slot = i;
    }
    if (cTime < 0 && cStart < 0 && cEnd < 0)
        throw UserError(txt::noHeader);

    LifeData data;
    QStringList errors;
    int errorCount = 0;
    auto fail = [&](int line, const QString &why) {
        ++errorCount;
        if (errors.size() < 20)
            errors.append(txt::dataErrorInLine.arg(line).arg(why));
    };

    for (int i = headerAt + 1; i < lines.size(); ++i) {
        const int lineNo = i + 1 + lineOffset;
        const QString &line = lines[i];
        if (line.trimmed().isEmpty())
            continue;
        const QStringList f = splitFields(line, delim);
        bool allEmpty = true;
        for (const QString &x : f)
            if (!cleaned(x).isEmpty())
                allEmpty = false;
        if (allEmpty)
            continue;
        auto field = [&](int c) { return c >= 0 && c < f.size() ? cleaned(f[c]) : QString(); };

        // Numbers first, each checked.
        bool bad = false;
        auto number = [&](int c) -> std::optional<double> {
            const QString s = field(c);
            if (s.isEmpty())
                return std::nullopt;
            auto v = parseNumber(s, commaDecimal);
            if (!v) {
                fail(lineNo, txt::notANumber.arg(s));
                bad = true;
                return std::nullopt;
            }
            if (*v < 0) {
                fail(lineNo, txt::negativeTime.arg(s));
                bad = true;
                return std::nullopt;
            }
            return v;
        };
        const auto t = number(cTime);
        const auto a = bad ? std::nullopt : number(cStart);
        const auto b = bad ? std::nullopt : number(cEnd);
        if (bad)
            continue;

        double count = 1;
        if (const QString cs = field(cCount); !cs.isEmpty()) {
            auto v = parseNumber(cs, commaDecimal);
            if (!v || *v < 1 || *v != std::floor(*v) || *v > 1e12) {
                fail(lineNo, txt::badCount.arg(cs));
                continue;
            }
            count = *v;
        }

        State st = State::Failure;
        if (cState >= 0) {
            const QString ss = field(cState);
            if (ss.isEmpty()) {
                st = (a || b) && !t && a.value_or(0) != b.value_or(-1) ? State::Interval
                                                                       : State::Unknown;
                if (st == State::Unknown) {
                    fail(lineNo, txt::noState);
                    continue;
                }
            } else {
                st = stateOf(ss);
                if (st == State::Unknown) {
                    fail(lineNo, txt::badState.arg(ss));
                    continue;
                }
            }
        }

        Unit u;
        u.count = count;
        u.line = lineNo;
        if (t) {
            u.low = u.high = *t;
            u.kind = st == State::Suspension ? Obs::Suspension : Obs::Failure;
            if (st == State::Interval) {
                // An interval state with one time: failed somewhere before it.
                u.low = 0;
                u.kind = *t > 0 ? Obs::Interval : Obs::Failure;
            }
        } else if (a || b) {
            const double lo = a.value_or(0);
            if (!b) {
                if (st == State::Interval) {
                    fail(lineNo, txt::noTime);
                    continue;
                }
                u.low = u.high = lo;
                u.kind = st == State::Suspension ? Obs::Suspension : Obs::Failure;
            } else {
                const double hi = *b;
                if (lo > hi) {
                    fail(lineNo, txt::startAfterEnd.arg(numberText(lo), numberText(hi)));
                    continue;
                }
                if (st == State::Suspension) {
                    if (a && lo != hi) {
                        fail(lineNo, txt::suspensionInterval);
                        continue;
                    }
                    u.low = u.high = hi;
                    u.kind = Obs::Suspension;
                } else if (lo == hi) {
                    u.low = u.high = hi;
                    u.kind = Obs::Failure;
                } else {
                    u.low = lo;
                    u.high = hi;
                    u.kind = Obs::Interval;
                }
            }
        } else {
            fail(lineNo, txt::noTime);
            continue;
        }
        data.units.push_back(u);
    }

    if (errorCount > 0) {
        QString msg = txt::badRowsHead + QStringLiteral(":\n") + errors.join(u'\n');
        if (errorCount > errors.size())
            msg += u'\n' + txt::moreBadRows.arg(errorCount - errors.size());
        throw UserError(msg);
    }
    if (data.units.empty())
        throw UserError(txt::noRows);
    return data;
}

LifeData readLifeTable(const QByteArray &bytes)
{
    // A table saved as UTF-16 (with its mark, or without it but with a zero byte beside
    // every Latin letter) is named as such, rather than read as a table with no header.
    const bool mark = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    const qsizetype probe = std::min<qsizetype>(bytes.size(), 4096);
    const qsizetype zeros = std::count(bytes.constData(), bytes.constData() + probe, '\0');
    if (mark || (probe >= 4 && zeros * 4 >= probe))
        throw UserError(txt::utf16File);
    return parseLifeText(decodeText(bytes));
}

}   // namespace obr::life
