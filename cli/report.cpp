// SPDX-License-Identifier: MIT
#include "report.h"
#include "mleview/mleview.h"
#include "mleview/mleview_texts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

QString mleText(const mle::MleResult &r, QChar dec)
{
    const mleview::BoundsView v = mleview::bothBoundsView(r, dec);
    std::vector<std::vector<QString>> rows = {v.table.header};
    rows.insert(rows.end(), v.table.rows.begin(), v.table.rows.end());
    std::vector<qsizetype> widths(v.table.header.size(), 0);
    for (const auto &row : rows)
        for (size_t c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    QString out = mtv::caption + u'\n' + v.heading + u'\n';
    if (!v.message.isEmpty())
        out += v.message + u'\n';
    for (const auto &row : rows) {
        QString line;
        for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                line += QStringLiteral("  ");
            line += c == 0 ? row[c].leftJustified(widths[c]) : row[c].rightJustified(widths[c]);
        }
        while (line.endsWith(u' '))
            line.chop(1);
        out += line + u'\n';
    }
    return out;
}

QString nonparamText(const NonparamResult &r)
{
    return QStringLiteral("Средняя наработка на отказ по гарантийным изделиям\n") + r.texts.Label2 +
           u'\n' + r.texts.Label3 + u'\n';
}

QJsonValue jsonNumber(double v)
{
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null);
}

namespace {

QJsonValue num(double v) { return jsonNumber(v); }
QJsonValue num(int64_t v) { return QJsonValue(qint64(v)); }
QJsonValue num(int32_t v) { return QJsonValue(v); }

QJsonObject modelJson(const Analysis &a, ModelId id)
{
    const Mod_Weib &M = a.models[size_t(id)];
    const ModelTotals &totals = a.results.totals[size_t(id)];
    const ModelRun &r = a.runs[size_t(id)];
    // Parameters that ended at a bound of their search range: the fit was stopped there.
    QJsonArray bounds;
    for (const BoundHit &h : r.atBound)
        bounds.append(QJsonObject{
            {QStringLiteral("parameter"), h.parameter},
            {QStringLiteral("bound"), num(h.bound)},
            {QStringLiteral("side"), h.upper ? QStringLiteral("upper") : QStringLiteral("lower")}});
    return QJsonObject{{QStringLiteral("A"), num(M.A)},
                       {QStringLiteral("B"), num(M.B)},
                       {QStringLiteral("K_powtor"), num(M.K_powtor)},
                       {QStringLiteral("Sred"), num(M.Sred)},
                       {QStringLiteral("SKO"), num(M.SKO)},
                       {QStringLiteral("SKO_out"), num(M.SKO_out)},
                       {QStringLiteral("Kol_Nakopl"), num(totals.Kol_Nakopl)},
                       {QStringLiteral("Unsens"), num(totals.Unsens)},
                       {QStringLiteral("KolmCrt"), num(a.results.kolmogorov[size_t(id)].value)},
                       {QStringLiteral("objective"),
                        r.objective ? num(*r.objective) : QJsonValue(QJsonValue::Null)},
                       {QStringLiteral("passes"), num(r.passes)},
                       {QStringLiteral("evaluations"), num(r.evaluations)},
                       {QStringLiteral("seconds"), num(r.seconds)},
                       {QStringLiteral("atBound"), bounds}};
}

}   // namespace

QJsonObject analysisObject(const Analysis &a, const QString &file)
{
    const State &s = a.s;
    QJsonArray causes;
    for (int k = 1; k <= a.header.NPrich && k < kCauseSlots; ++k)
        causes.append(QJsonObject{{QStringLiteral("index"), num(int32_t(k))},
                                  {QStringLiteral("name"), s.Vidy_otkazov[size_t(k)].Nazv_Prich},
                                  {QStringLiteral("count"),
                                   num(int64_t(std::llround(s.Vidy_otkazov[size_t(k)].Dolya)))}});
    QJsonArray hist;
    for (const Hist_Rec &h : a.histogram) {
        QJsonArray npr;
        for (int32_t n : h.Npr)
            npr.append(num(n));
        hist.append(QJsonObject{{QStringLiteral("time"), num(h.time)},
                                {QStringLiteral("Sum"), num(h.Sum)},
                                {QStringLiteral("Nund"), num(h.Nund)},
                                {QStringLiteral("Npr"), npr}});
    }
    QJsonObject models;
    for (ModelId id : kModelOrder)
        if (a.runs[size_t(id)].ran)
            models.insert(modelName(id), modelJson(a, id));
    QJsonArray table;
    for (const QStringList &row : tableCells(a.results.table))
        table.append(QJsonArray::fromStringList(row));

    QJsonObject top{
        {QStringLiteral("file"), file},
        {QStringLiteral("comment"), s.Comment},
        {QStringLiteral("header"),
         QJsonObject{{QStringLiteral("Sred"), num(a.header.Sred)},
                     {QStringLiteral("SKO"), num(a.header.SKO)},
                     {QStringLiteral("Kol_Izd_All"), num(a.header.Kol_Izd_All)},
                     {QStringLiteral("KolOtk"), num(a.header.KolOtk)},
                     {QStringLiteral("NPrich"), num(a.header.NPrich)}}},
        {QStringLiteral("Kol_izw"), num(s.Kol_izw)},
        {QStringLiteral("Popravka_Unknow"), num(s.Popravka_Unknow)},
        {QStringLiteral("Izd_Prived"), num(s.Izd_Prived)},
        {QStringLiteral("derived"), QJsonObject{{QStringLiteral("T90expl"), num(s.T90expl)},
                                                {QStringLiteral("T80expl"), num(s.T80expl)},
                                                {QStringLiteral("T50expl"), num(s.T50expl)},
                                                {QStringLiteral("t50zen"), num(s.t50zen)},
                                                {QStringLiteral("T20expl"), num(s.T20expl)},
                                                {QStringLiteral("T10expl"), num(s.T10expl)},
                                                {QStringLiteral("Otk_Izd"), num(s.Otk_Izd)},
                                                {QStringLiteral("tGar"), num(a.usedTGar)}}},
        {QStringLiteral("causes"), causes},
        {QStringLiteral("unknown_cause_count"), num(a.unknownCauseCount)},
        {QStringLiteral("warranty"), QJsonObject{{QStringLiteral("Sred"), num(a.usedSred)},
                                                 {QStringLiteral("SKO"), num(a.usedSKO)}}},
        {QStringLiteral("histogram"), hist},
        {QStringLiteral("models"), models},
        {QStringLiteral("Pot08"), num(a.Pot08)},
        {QStringLiteral("table"), table},
        {QStringLiteral("log"), QJsonArray::fromStringList(a.log)},
    };
    if (a.mle) {
        QJsonObject o = mle::mleJson(*a.mle);
        std::vector<QString> names;
        for (const Vid_otkaza &v : s.Vidy_otkazov)
            names.push_back(v.Nazv_Prich);
        o.insert(QStringLiteral("causes"), mle::causesJson(a.mleCauses, names));
        top.insert(QStringLiteral("mle"), o);
    }
    if (a.nonparam)
        top.insert(QStringLiteral("nonparam"),
                   QJsonObject{{QStringLiteral("t50"), num(a.nonparam->times.t50)},
                               {QStringLiteral("tz50"), num(a.nonparam->times.tz50)}});
    return top;
}

QByteArray analysisJson(const Analysis &a, const QString &file)
{
    // Qt writes the shortest text that reads back to the same double, as the program did
    // when it wrote its JSON by hand; whole numbers come out without an exponent (100000,
    // not 1e+05) and a negative zero as 0, which reads back equal. The members come out in
    // the order of their names: a JSON object has no order, and readers look members up
    // by name (the models' order is that of the table's columns, row 0 of "table").
    return QJsonDocument(analysisObject(a, file)).toJson(QJsonDocument::Indented);
}

}   // namespace obr::cli
