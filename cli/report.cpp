// SPDX-License-Identifier: MIT
#include "report.h"

#include <QJsonDocument>

#include <charconv>
#include <cmath>

namespace obr::cli {

std::vector<QStringList> tableCells(const ResultsTable &t)
{
    std::vector<QStringList> rows;
    for (int r = 0; r < ResultsTable::Rows; ++r) {
        QStringList row;
        for (int c = 0; c <= t.dataColumn && c < ResultsTable::MaxCols; ++c)
            row << t.cell(c, r).trimmed();
        rows.push_back(row);
    }
    return rows;
}

QString tableText(const ResultsView &v)
{
    const std::vector<QStringList> rows = tableCells(v.table);
    std::vector<qsizetype> widths;
    for (const QStringList &row : rows)
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (qsizetype(widths.size()) <= c)
                widths.push_back(0);
            widths[size_t(c)] = std::max(widths[size_t(c)], row[c].size());
        }
    QString out = v.label10 + u'\n';
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0)
                line += QStringLiteral("  ");
            line += row[c].leftJustified(widths[size_t(c)]);
        }
        while (line.endsWith(u' '))
            line.chop(1);
        out += line + u'\n';
    }
    return out;
}

QString nonparamText(const NonparamResult &r)
{
    return QStringLiteral("Средняя наработка на отказ по гарантийным изделиям\n") +
           r.texts.Label2 + u'\n' + r.texts.Label3 + u'\n';
}

QByteArray jsonNumber(double v)
{
    if (!std::isfinite(v))
        return "null";
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return QByteArray(buf, int(res.ptr - buf));
}

QByteArray jsonString(const QString &s)
{
    QString out = QStringLiteral("\"");
    for (const QChar ch : s) {
        const char16_t c = ch.unicode();
        switch (c) {
        case u'"': out += QStringLiteral("\\\""); break;
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        case u'\t': out += QStringLiteral("\\t"); break;
        default:
            if (c < 0x20)
                out += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
            else
                out += ch;
        }
    }
    out += u'"';
    return out.toUtf8();
}

namespace {

using Members = std::vector<std::pair<QByteArray, QByteArray>>;

QByteArray pad(int indent) { return QByteArray(indent * 2, ' '); }

//! An object with one member per line, nested values indented.
QByteArray object(const Members &m, int indent)
{
    if (m.empty())
        return "{}";
    QByteArray out = "{\n";
    for (size_t i = 0; i < m.size(); ++i) {
        out += pad(indent + 1) + '"' + m[i].first + "\": " + m[i].second;
        out += i + 1 < m.size() ? ",\n" : "\n";
    }
    return out + pad(indent) + '}';
}

//! An object on one line.
QByteArray inlineObject(const Members &m)
{
    QByteArray out = "{";
    for (size_t i = 0; i < m.size(); ++i) {
        if (i)
            out += ", ";
        out += '"' + m[i].first + "\": " + m[i].second;
    }
    return out + '}';
}

//! An array with one item per line.
QByteArray array(const std::vector<QByteArray> &items, int indent)
{
    if (items.empty())
        return "[]";
    QByteArray out = "[\n";
    for (size_t i = 0; i < items.size(); ++i) {
        out += pad(indent + 1) + items[i];
        out += i + 1 < items.size() ? ",\n" : "\n";
    }
    return out + pad(indent) + ']';
}

QByteArray inlineArray(const std::vector<QByteArray> &items)
{
    QByteArray out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += ", ";
        out += items[i];
    }
    return out + ']';
}

QByteArray num(double v) { return jsonNumber(v); }
QByteArray num(int64_t v) { return QByteArray::number(qlonglong(v)); }
QByteArray num(int32_t v) { return QByteArray::number(v); }

QByteArray modelJson(const Analysis &a, ModelId id, int indent)
{
    const Mod_Weib &M = a.models[size_t(id)];
    const ModelRun &r = a.runs[size_t(id)];
    // Parameters that ended at a bound of their search range: the fit was stopped there.
    std::vector<QByteArray> bounds;
    for (const BoundHit &h : r.atBound)
        bounds.push_back(inlineObject({{"parameter", jsonString(h.parameter)},
                                       {"bound", num(h.bound)},
                                       {"side", h.upper ? QByteArray("\"upper\"") : QByteArray("\"lower\"")}}));
    return object({{"A", num(M.A)},
                   {"B", num(M.B)},
                   {"K_powtor", num(M.K_powtor)},
                   {"Sred", num(M.Sred)},
                   {"SKO", num(M.SKO)},
                   {"SKO_out", num(M.SKO_out)},
                   {"Kol_Nakopl", num(M.Kol_Nakopl)},
                   {"Unsens", num(M.Unsens)},
                   {"KolmCrt", num(a.kolmogorov[size_t(id)])},
                   {"objective", r.objective ? num(*r.objective) : QByteArray("null")},
                   {"passes", num(r.passes)},
                   {"evaluations", num(r.evaluations)},
                   {"seconds", num(r.seconds)},
                   {"atBound", inlineArray(bounds)}},
                  indent);
}

} // namespace

QByteArray analysisJson(const Analysis &a, const QString &file)
{
    const State &s = a.s;
    std::vector<QByteArray> causes;
    for (int k = 1; k <= a.header.NPrich && k < kCauseSlots; ++k)
        causes.push_back(inlineObject({{"index", num(int32_t(k))},
                                       {"name", jsonString(s.Vidy_otkazov[size_t(k)].Nazv_Prich)},
                                       {"count", num(int64_t(std::llround(s.Vidy_otkazov[size_t(k)].Dolya)))}}));
    std::vector<QByteArray> hist;
    for (const Hist_Rec &h : a.histogram) {
        std::vector<QByteArray> npr;
        for (int32_t n : h.Npr)
            npr.push_back(num(n));
        hist.push_back(inlineObject({{"time", num(h.time)},
                                     {"Sum", num(h.Sum)},
                                     {"Nund", num(h.Nund)},
                                     {"Npr", inlineArray(npr)}}));
    }
    Members models;
    for (ModelId id : kModelOrder)
        if (a.runs[size_t(id)].ran)
            models.push_back({modelName(id).toLatin1(), modelJson(a, id, 2)});
    std::vector<QByteArray> table;
    for (const QStringList &row : tableCells(a.results.table)) {
        std::vector<QByteArray> cells;
        for (const QString &c : row)
            cells.push_back(jsonString(c));
        table.push_back(inlineArray(cells));
    }
    std::vector<QByteArray> log;
    for (const QString &line : a.log)
        log.push_back(jsonString(line));

    Members top = {
        {"file", jsonString(file)},
        {"comment", jsonString(s.Comment)},
        {"header", inlineObject({{"Sred", num(a.header.Sred)},
                                 {"SKO", num(a.header.SKO)},
                                 {"Kol_Izd_All", num(a.header.Kol_Izd_All)},
                                 {"KolOtk", num(a.header.KolOtk)},
                                 {"NPrich", num(a.header.NPrich)}})},
        {"Kol_izw", num(s.Kol_izw)},
        {"Popravka_Unknow", num(s.Popravka_Unknow)},
        {"Izd_Prived", num(s.Izd_Prived)},
        {"derived", object({{"T90expl", num(s.T90expl)},
                            {"T80expl", num(s.T80expl)},
                            {"T50expl", num(s.T50expl)},
                            {"t50zen", num(s.t50zen)},
                            {"T20expl", num(s.T20expl)},
                            {"T10expl", num(s.T10expl)},
                            {"Otk_Izd", num(s.Otk_Izd)},
                            {"tGar", num(a.usedTGar)}},
                           1)},
        {"causes", array(causes, 1)},
        {"unknown_cause_count", num(a.unknownCauseCount)},
        {"warranty", inlineObject({{"Sred", num(a.usedSred)}, {"SKO", num(a.usedSKO)}})},
        {"histogram", array(hist, 1)},
        {"models", object(models, 1)},
        {"Pot08", num(a.Pot08)},
        {"table", array(table, 1)},
    };
    if (a.mle) {
        QJsonObject o = mle::mleJson(*a.mle);
        std::vector<QString> names;
        for (const Vid_otkaza &v : s.Vidy_otkazov)
            names.push_back(v.Nazv_Prich);
        o.insert(QStringLiteral("causes"), mle::causesJson(a.mleCauses, names));
        QByteArray m = QJsonDocument(o).toJson(QJsonDocument::Indented);
        while (m.endsWith('\n'))
            m.chop(1);
        top.push_back({"mle", m});
    }
    if (a.nonparam)
        top.push_back({"nonparam", inlineObject({{"t50", num(a.nonparam->times.t50)},
                                                 {"tz50", num(a.nonparam->times.tz50)}})});
    top.push_back({"log", array(log, 1)});
    return object(top, 0) + '\n';
}

} // namespace obr::cli
