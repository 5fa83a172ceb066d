// SPDX-License-Identifier: MIT
#include "csv.h"

#include "model/errors.h"
#include "results/results_texts.h"

#include <cmath>

namespace obr {

QChar csvSeparator(const NumLocale &nl) { return nl.dec == u',' ? u';' : u','; }

QString csvNumber(double v, const NumLocale &nl)
{
    if (!std::isfinite(v))
        return QString();   // never a NaN or an infinity in a cell
    QString t = QString::number(v, 'g', 12);
    if (nl.dec != u'.')
        t.replace(u'.', nl.dec);
    return t;
}

QString csvText(const CellRows &rows, QChar separator)
{
    QString out;
    for (const QStringList &r : rows) {
        for (qsizetype c = 0; c < r.size(); ++c) {
            if (c)
                out += separator;
            QString cell = exportCell(r[c]);
            if (cell.contains(separator) || cell.contains(u'"')) {
                cell.replace(QStringLiteral("\""), QStringLiteral("\"\""));
                cell = u'"' + cell + u'"';
            }
            out += cell;
        }
        out += QStringLiteral("\r\n");
    }
    return out;
}

std::optional<NonparamResult> nonparamOf(State &s, const NumLocale &nl)
{
    if (s.Hist_Arr.empty())
        return std::nullopt;
    // The analysis writes two arrays of the state; they are put back, rather than the
    // whole state (with every failure record) copied.
    const auto sumPrichRow = s.Sum_PrichRow;
    std::vector<double> fOutGar = s.F_OutGar;
    std::optional<NonparamResult> r;
    try {
        r = Histogram_Exp(s, nl);
    } catch (const UserError &) {
    }
    s.Sum_PrichRow = sumPrichRow;
    s.F_OutGar = std::move(fOutGar);
    return r;
}

namespace {

struct ModelColumn {
    const Mod_Weib *model;
    QString caption;
};

//! The fitted models in the order of the results table's columns.
std::vector<ModelColumn> fittedModels(const State &s)
{
    std::vector<ModelColumn> out;
    const ModelColumn all[] = {{&s.MPirsN, rtxt::colPirsN},
                               {&s.MPirsS, rtxt::colPirsS},
                               {&s.MSmirn, rtxt::colSmirn},
                               {&s.MGenet, rtxt::colGenet},
                               {&s.MMaxPr, rtxt::colMaxPr}};
    // Only the models of the loaded data, as the results table shows them.
    for (const ModelColumn &m : all)
        if (m.model->Executed && m.model->dataSet == s.dataSet)
            out.push_back({m.model, m.caption.trimmed()});
    return out;
}

CellRows tableRows(const ResultsTable &t)
{
    CellRows rows;
    for (int r = 0; r < ResultsTable::Rows; ++r) {
        QStringList row;
        // Every column the table holds, the operational data's last.
        for (int c = 0; c <= t.dataColumn && c < ResultsTable::MaxCols; ++c)
            row << t.cell(c, r);
        rows.push_back(row);
    }
    return trimEmptyEdges(rows);
}

CellRows histogramRows(const State &s, const NumLocale &nl)
{
    const std::vector<ModelColumn> models = fittedModels(s);
    QStringList head = {QStringLiteral("Конец интервала, ч"),
                        QStringLiteral("Отказов наблюдаемых")};
    for (const ModelColumn &m : models)
        head << m.caption + QStringLiteral(": ожидаемое число отказов");
    CellRows rows{head};
    for (size_t i = 0; i < s.Hist_Arr.size(); ++i) {
        QStringList row = {csvNumber(s.Hist_Arr[i].time, nl), QString::number(s.Hist_Arr[i].Sum)};
        for (const ModelColumn &m : models)
            row << (i < m.model->Kol_F_priv.size() ? csvNumber(m.model->Kol_F_priv[i], nl)
                                                   : QString());
        rows.push_back(row);
    }
    return rows;
}

CellRows nonparamRows(const NonparamResult &np, const NumLocale &nl)
{
    std::vector<const SeriesData *> series;
    size_t points = 0;
    for (const SeriesData &sd : np.chart.series)
        if (sd.visible && !sd.points.empty()) {
            series.push_back(&sd);
            points = std::max(points, sd.points.size());
        }
    QStringList head = {QStringLiteral("Конец интервала, ч")};
    for (const SeriesData *sd : series)
        head << sd->title;
    CellRows rows{head};
    for (size_t i = 0; i < points; ++i) {
        QStringList row{QString()};
        for (const SeriesData *sd : series) {
            if (i < sd->points.size()) {
                if (row.first().isEmpty())
                    row.first() = sd->points[i].label;
                row << csvNumber(sd->points[i].value, nl);
            } else {
                row << QString();   // a series that stops early (all products out of observation)
            }
        }
        rows.push_back(row);
    }
    return rows;
}

}   // namespace

QByteArray resultsCsv(const State &s, const ResultsTable &table, const NonparamResult *nonparam,
                      const NumLocale &nl)
{
    const QChar sep = csvSeparator(nl);
    QString text;
    auto section = [&](const QString &heading, const CellRows &rows) {
        if (!text.isEmpty())
            text += QStringLiteral("\r\n");
        text += csvText({{heading}}, sep) + csvText(rows, sep);
    };
    section(QStringLiteral("Результаты расчета: ") + label10Text(s), tableRows(table));
    section(QStringLiteral("Гистограмма отказов"), histogramRows(s, nl));
    if (nonparam)
        section(QStringLiteral("Непараметрический анализ"), nonparamRows(*nonparam, nl));
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

}   // namespace obr
