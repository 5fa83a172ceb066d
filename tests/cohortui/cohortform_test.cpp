// SPDX-License-Identifier: MIT
// The warranty cohorts window offscreen: the fifth tab of the main window opens it, a file
// or a paste fills its grid, «Расчет» runs the core on a worker thread and the window shows
// exactly what the core's JSON holds; «Стоп» drops a run; export and printing.
#include "app/buttontabs.h"
#include "app/obrotk2015.h"
#include "chart/chartwidget.h"
#include "chart/export.h"
#include "cohort/cohort.h"
#include "cohort/cohort_texts.h"
#include "cohort/ui/cohortform.h"
#include "model/seams.h"
#include "model/state.h"
#include "support/print_dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace obr;
using namespace obr::cohortui;

namespace {

class Recorder : public Notifier {
public:
    QStringList errors;
    void error(const QString &, const QString &text) override { errors << text; }
};

class FakeExport : public ExportDialogs {
public:
    QString answer;
    QStringList failures;
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &,
                         QString *) override
    {
        return answer;
    }
    void failed(QWidget *, const QString &m) override { failures << m; }
};

QString samplePath() { return QStringLiteral(OBROTK_COHORT_SAMPLE); }

QByteArray sampleBytes()
{
    QFile f(samplePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString cell(const QTableWidget *t, int r, int c)
{
    const QTableWidgetItem *it = t->item(r, c);
    return it ? it->text() : QString();
}

//! A number as the window shows it, read back in the user's locale ("—" is none).
double shownValue(const QString &text)
{
    bool ok = false;
    const double v = QLocale().toDouble(text, &ok);
    return ok ? v : std::numeric_limits<double>::quiet_NaN();
}

//! "a – b" read back.
std::pair<double, double> shownInterval(const QString &text)
{
    const QStringList p = text.split(QStringLiteral(" – "));
    return {shownValue(p.value(0)), shownValue(p.value(1))};
}

//! Equal to the shown digits (five significant ones).
void expectShown(const QString &text, double value, const char *what)
{
    const double v = shownValue(text);
    EXPECT_NEAR(v, value, 1e-4 * std::max(1.0, std::abs(value)))
        << what << ": shown " << text.toStdString() << ", the core " << value;
}

bool runAndWait(CohortForm &w)
{
    QSignalSpy done(&w, &CohortForm::calculationFinished);
    QTest::mouseClick(w.btnCalc, Qt::LeftButton);
    if (!w.isRunning() && done.count() == 0)   // refused before it started
        return false;
    return done.count() > 0 || done.wait(120000);
}

struct Fixture : ::testing::Test {
    Recorder rec;
    void SetUp() override { setCoreNotifier(&rec); }
    void TearDown() override
    {
        setCoreNotifier(nullptr);
        QLocale::setDefault(QLocale::c());
    }
    QString errors() const { return rec.errors.join(u'\n'); }
};

}   // namespace

TEST_F(Fixture, FifthTabOpensTheWindow)
{
    State state;
    TForm1 form1(&state);
    form1.show();
    auto *tabs = form1.findChild<ButtonTabs *>(QStringLiteral("PageControl"));
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 5);
    EXPECT_EQ(tabs->tabButton(4)->text(), QStringLiteral("5. Гарантийные когорты"));
    // The fifth tab shares the fourth's row, so the pages keep the height they had with four
    // tabs; both texts are whole.
    EXPECT_EQ(tabs->tabButton(4)->y(), tabs->tabButton(3)->y());
    EXPECT_EQ(tabs->tabsHeight(), tabs->tabButton(3)->geometry().bottom() + 1 + 3);
    EXPECT_LE(tabs->tabButton(4)->geometry().right(), tabs->width());
    for (int i : {3, 4}) {
        QPushButton *b = tabs->tabButton(i);
        EXPECT_LT(b->fontMetrics().horizontalAdvance(b->text()), b->width()) << i;
    }
    QTest::mouseClick(tabs->tabButton(4), Qt::LeftButton);
    EXPECT_EQ(tabs->currentIndex(), 4);
    auto *open = form1.findChild<QPushButton *>(QStringLiteral("btnCohorts"));
    ASSERT_NE(open, nullptr);
    QTest::mouseClick(open, Qt::LeftButton);
    auto *w = form1.findChild<CohortForm *>(QStringLiteral("CohortForm"));
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    QTest::mouseClick(open, Qt::LeftButton);   // the same window again, not a second one
    EXPECT_EQ(form1.findChildren<CohortForm *>().size(), 1);
}

// The window's tables and charts hold what the core's JSON holds for the same table and
// settings, typed into the boxes in the user's locale.
TEST_F(Fixture, ShowsWhatTheCoreComputes)
{
    for (const QLocale &loc : {QLocale(QLocale::Russian, QLocale::Russia),
                               QLocale(QLocale::English, QLocale::UnitedStates)}) {
        QLocale::setDefault(loc);
        SCOPED_TRACE(loc.name().toStdString());
        CohortForm w;
        w.show();
        w.chooseFile = [](QWidget *, const QString &) { return samplePath(); };
        QTest::mouseClick(w.btnOpen, Qt::LeftButton);
        ASSERT_TRUE(rec.errors.isEmpty()) << errors().toStdString();
        w.edWarrantyPeriods->setText(QStringLiteral("24"));
        w.edCost->setText(loc.toString(150.5));
        w.edCostSd->setText(loc.toString(20.0));
        w.edBacktest->setText(QStringLiteral("2024-12"));
        w.cbFuture->setCurrentIndex(1);   // as the last period
        ASSERT_TRUE(runAndWait(w));
        ASSERT_TRUE(rec.errors.isEmpty()) << errors().toStdString();
        ASSERT_TRUE(w.result().has_value());

        // The core on its own, with the settings written out.
        cohort::CohortRequest req;
        req.table = cohort::readNevada(sampleBytes());
        req.settings.warrantyPeriods = 24;
        req.settings.cost = cohort::Cost{150.5, 20};
        req.settings.backtest =
            cohort::periodIndex(req.table, QStringLiteral("2024-12"), cohort::Period::Month);
        req.settings.futureSales = cohort::FutureSalesKind::AsLast;
        const QJsonObject json = cohort::cohortsJson(cohort::runCohorts(req), req.table);

        // Estimates: one row per figure, in the JSON's order, with both kinds of bounds.
        const QJsonObject est = json[QStringLiteral("estimates")].toObject();
        const QJsonObject fisher = json[QStringLiteral("fisher")].toObject();
        const QJsonObject lr = json[QStringLiteral("lr")].toObject();
        ASSERT_FALSE(est.isEmpty());
        int checked = 0;
        for (int r = 0; r < w.Estimates->rowCount(); ++r) {
            for (const QString &key : est.keys()) {
                if (cell(w.Estimates, r, 0) != cohort::txt::figureTitle(key) || est[key].isNull())
                    continue;
                expectShown(cell(w.Estimates, r, 1), est[key].toDouble(), qPrintable(key));
                for (auto [col, obj] : {std::pair{2, fisher}, std::pair{3, lr}}) {
                    const QJsonValue b = obj[key];
                    QString text = cell(w.Estimates, r, col);
                    if (!b.isObject() && !b.isArray())
                        continue;
                    const QJsonValue low = b.isArray() ? b.toArray()[0] : b[QStringLiteral("low")];
                    text.remove(u'[').remove(u']');
                    const QStringList sides = text.split(QStringLiteral("; "));
                    if (low.isDouble())
                        expectShown(sides.value(0), low.toDouble(), qPrintable(key + "_low"));
                }
                ++checked;
            }
        }
        EXPECT_GE(checked, 5);

        // The forecast table, row by row, then the total and the reserve.
        const QJsonArray fc = json[QStringLiteral("forecast")].toArray();
        ASSERT_GT(fc.size(), 0);
        ASSERT_GE(w.ForecastTable->rowCount(), fc.size() + 2);
        for (int j = 0; j < fc.size(); ++j) {
            const QJsonObject x = fc[j].toObject();
            EXPECT_EQ(cell(w.ForecastTable, j, 0), x[QStringLiteral("label")].toString());
            expectShown(cell(w.ForecastTable, j, 1), x[QStringLiteral("expected")].toDouble(),
                        "expected");
            const auto [lo, hi] = shownInterval(cell(w.ForecastTable, j, 5));
            const QJsonValue pred = x[QStringLiteral("predictive")];
            const double plo =
                pred.isArray() ? pred[0].toDouble() : pred[QStringLiteral("low")].toDouble();
            const double phi =
                pred.isArray() ? pred[1].toDouble() : pred[QStringLiteral("high")].toDouble();
            EXPECT_DOUBLE_EQ(lo, plo) << j;
            EXPECT_DOUBLE_EQ(hi, phi) << j;
            expectShown(cell(w.ForecastTable, j, 9), x[QStringLiteral("cum_cost")].toDouble(),
                        "cum_cost");
        }
        const int total = int(fc.size());
        EXPECT_EQ(cell(w.ForecastTable, total, 0), QStringLiteral("Всего"));
        expectShown(cell(w.ForecastTable, total, 1),
                    json[QStringLiteral("total")][QStringLiteral("expected")].toDouble(), "total");
        ASSERT_TRUE(json[QStringLiteral("reserve")].isDouble());
        expectShown(cell(w.ForecastTable, total + 1, 8), json[QStringLiteral("reserve")].toDouble(),
                    "reserve");

        // The claims chart: the band is the predictive interval of the forecast periods,
        // the bars what came.
        const ChartData &chart = w.ClaimsChart->chartData();
        const SeriesData *high = chart.find(QStringLiteral("BandHigh"));
        const SeriesData *bars = chart.find(QStringLiteral("Observed"));
        ASSERT_TRUE(high && bars);
        const int first = fc[0].toObject()[QStringLiteral("period")].toInt();
        const QJsonValue p0 = fc[0].toObject()[QStringLiteral("predictive")];
        EXPECT_DOUBLE_EQ(high->points[size_t(first)].value,
                         p0.isArray() ? p0[1].toDouble() : p0[QStringLiteral("high")].toDouble());
        const QJsonArray cols =
            json[QStringLiteral("monitor")][QStringLiteral("columns")].toArray();
        for (const QJsonValue &c : cols) {
            const int i = c[QStringLiteral("index")].toInt();
            EXPECT_DOUBLE_EQ(bars->points[size_t(i)].value,
                             c[QStringLiteral("observed")].toDouble());
        }
        const SeriesData *plug = chart.find(QStringLiteral("PluginLow"));
        ASSERT_TRUE(plug);
        EXPECT_EQ(plug->style, LineStyle::Dash);
        EXPECT_FALSE(w.CostChart->chartData().series.empty());
        EXPECT_TRUE(w.CostChart->chartData().find(QStringLiteral("Reserve")));

        // Flags: every flagged line of the JSON is in the monitoring table with its mark.
        int flagged = 0;
        for (const char *side : {"rows", "columns"})
            for (const QJsonValue &m :
                 json[QStringLiteral("monitor")][QLatin1String(side)].toArray()) {
                const QString flag = m[QStringLiteral("flag")].toString();
                if (flag.isEmpty())
                    continue;
                ++flagged;
                bool found = false;
                for (int r = 0; r < w.MonitorTable->rowCount(); ++r)
                    found = found ||
                            (cell(w.MonitorTable, r, 1) == m[QStringLiteral("label")].toString() &&
                             cell(w.MonitorTable, r, 7) == (flag == u"critical"
                                                                ? cohort::txt::flagCritical
                                                                : cohort::txt::flagCaution));
                EXPECT_TRUE(found) << m[QStringLiteral("label")].toString().toStdString();
            }
        EXPECT_EQ(w.MonitorTable->rowCount(),
                  json[QStringLiteral("monitor")][QStringLiteral("rows")].toArray().size() +
                      cols.size());

        // The grid coloured by the residual: a cell well above its expected count is red.
        for (const QJsonValue &c : json[QStringLiteral("cells")].toArray()) {
            const double res = c[QStringLiteral("residual")].toDouble();
            if (std::abs(res) < 2)
                continue;
            const QTableWidgetItem *it = w.Grid->item(c[QStringLiteral("row")].toInt(),
                                                      1 + c[QStringLiteral("age")].toInt());
            ASSERT_NE(it, nullptr);
            const QColor bg = it->background().color();
            if (res > 0)
                EXPECT_GT(bg.red(), bg.blue());
            else
                EXPECT_GT(bg.blue(), bg.red());
        }

        // The backtest: the refit's forecast against what came.
        ASSERT_TRUE(json[QStringLiteral("backtest")].isObject());
        const QJsonObject bt = json[QStringLiteral("backtest")].toObject();
        const QJsonArray btRows = bt[QStringLiteral("forecast")].toArray();
        ASSERT_GT(btRows.size(), 0);
        EXPECT_EQ(w.BacktestTable->rowCount(), btRows.size() + 1);
        expectShown(cell(w.BacktestTable, 0, 1),
                    btRows[0].toObject()[QStringLiteral("observed")].toDouble(), "observed");
        EXPECT_TRUE(
            w.lbBacktest->text().contains(QString::number(bt[QStringLiteral("covered")].toInt())));
        EXPECT_TRUE(w.BacktestChart->chartData().find(QStringLiteral("BandHigh")));
    }
}

TEST_F(Fixture, StopDropsTheRunAndKeepsWhatIsShown)
{
    CohortForm w;
    w.show();
    w.chooseFile = [](QWidget *, const QString &) { return samplePath(); };
    QTest::mouseClick(w.btnOpen, Qt::LeftButton);
    w.edWarrantyPeriods->setText(QStringLiteral("24"));
    ASSERT_TRUE(runAndWait(w));
    ASSERT_TRUE(w.result().has_value());
    const int rows = w.ForecastTable->rowCount();
    const QString first = cell(w.ForecastTable, 0, 5);

    // A second run with another level, stopped at once: nothing of it is shown.
    w.edLevel->setText(QLocale().toString(0.5));
    QSignalSpy done(&w, &CohortForm::calculationFinished);
    QTest::mouseClick(w.btnCalc, Qt::LeftButton);
    EXPECT_TRUE(w.isRunning());
    EXPECT_FALSE(w.btnCalc->isEnabled());
    EXPECT_TRUE(w.btnStop->isEnabled());
    EXPECT_FALSE(w.btnPaste->isEnabled());
    EXPECT_TRUE(w.Progress->isVisible());
    QTest::mouseClick(w.btnCalc, Qt::LeftButton);   // a second click starts nothing
    QTest::mouseClick(w.btnStop, Qt::LeftButton);
    ASSERT_TRUE(done.wait(120000));
    EXPECT_EQ(done.count(), 1);
    EXPECT_FALSE(w.isRunning());
    EXPECT_EQ(w.lbStatus->text(), QStringLiteral("Расчет остановлен"));
    EXPECT_TRUE(rec.errors.isEmpty()) << errors().toStdString();
    EXPECT_DOUBLE_EQ(w.result()->settings.level, 0.9);
    EXPECT_EQ(w.ForecastTable->rowCount(), rows);
    EXPECT_EQ(cell(w.ForecastTable, 0, 5), first);
    EXPECT_TRUE(w.btnCalc->isEnabled());
    EXPECT_FALSE(w.btnStop->isEnabled());
    EXPECT_FALSE(w.Progress->isVisible());

    // Run again to the end: the new level is shown.
    ASSERT_TRUE(runAndWait(w));
    EXPECT_DOUBLE_EQ(w.result()->settings.level, 0.5);

    // A window closed while it calculates ends its thread (no crash, no leak).
    auto *w2 = new CohortForm;
    w2->pasteText(QString::fromUtf8(sampleBytes()).replace(u';', u'\t'));
    QTest::mouseClick(w2->btnCalc, Qt::LeftButton);
    delete w2;
}

// A spreadsheet's paste: tab-separated, a header row, comma decimals and group spaces, as a
// Russian spreadsheet copies it.
TEST_F(Fixture, PasteFromASpreadsheet)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    CohortForm w;
    w.show();
    // The empty grid is ready for typing: period, units, ages.
    EXPECT_EQ(w.Grid->horizontalHeaderItem(0)->text(), QStringLiteral("Период"));
    EXPECT_EQ(w.Grid->horizontalHeaderItem(1)->text(), QStringLiteral("Продано"));
    EXPECT_EQ(w.Grid->horizontalHeaderItem(2)->text(), QStringLiteral("1"));
    const QString clip = QStringLiteral("Период\tПродано\t1\t2\t3\t4\t5\r\n"
                                        "01.2024\t1 200\t7,0\t9\t12\t17\t16\r\n"
                                        "02.2024\t1\u00A0100,00\t12\t8\t17\t10\t\r\n"
                                        "03.2024\t900\t6\t12\t13\t\t\r\n"
                                        "04.2024\t1000\t9\t15\t\t\t\r\n"
                                        "05.2024\t950\t8\t\t\t\t\r\n");
    QGuiApplication::clipboard()->setText(clip);
    w.Grid->setFocus();
    QTest::keyClick(w.Grid, Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(rec.errors.isEmpty()) << errors().toStdString();
    EXPECT_EQ(cell(w.Grid, 0, 0), QStringLiteral("01.2024"));
    EXPECT_EQ(cell(w.Grid, 0, 1), QStringLiteral("1200"));
    EXPECT_EQ(cell(w.Grid, 1, 1), QStringLiteral("1100"));
    EXPECT_EQ(cell(w.Grid, 0, 2), QStringLiteral("7"));
    EXPECT_EQ(cell(w.Grid, 4, 2), QStringLiteral("8"));
    EXPECT_EQ(cell(w.Grid, 4, 3), QString());
    // The grid reads back as the pasted table.
    const cohort::NevadaTable pasted = cohort::parseNevadaText(clip);
    const cohort::NevadaTable back = w.gridTable();
    EXPECT_EQ(back.rows, pasted.rows);
    EXPECT_EQ(back.units, pasted.units);
    EXPECT_EQ(back.claims, pasted.claims);
    EXPECT_EQ(back.dataEnd, 4);
    ASSERT_TRUE(runAndWait(w));
    EXPECT_TRUE(rec.errors.isEmpty()) << errors().toStdString();
    EXPECT_GT(w.Estimates->rowCount(), 0);
    EXPECT_TRUE(w.Estimates->item(0, 1)->text().contains(u',') ||
                !w.Estimates->item(0, 1)->text().contains(u'.'));

    // A refused paste names the row and the column and changes nothing.
    QGuiApplication::clipboard()->setText(
        QStringLiteral("Период\tПродано\t1\t2\n01.2024\t100\t3\t-1\n02.2024\t100\t2\t\n"));
    QTest::keyClick(w.Grid, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(rec.errors.size(), 1);
    EXPECT_TRUE(rec.errors[0].contains(QStringLiteral("строка"))) << errors().toStdString();
    EXPECT_TRUE(rec.errors[0].contains(QStringLiteral("столбец"))) << errors().toStdString();
    EXPECT_EQ(cell(w.Grid, 0, 1), QStringLiteral("1200"));
    EXPECT_TRUE(w.result().has_value());
}

// Bad boxes are refused before the run with the box named; the grid's own faults come from
// the reader with their row and column.
TEST_F(Fixture, BadSettingsAreRefusedWithTheBoxNamed)
{
    struct Case {
        QLineEdit *CohortForm::*box;
        const char *text;
        const char *named;
    };
    const Case cases[] = {
        {&CohortForm::edLevel, "abc", "Доверительная вероятность"},
        {&CohortForm::edLevel, "1,5", "Доверительная вероятность"},
        {&CohortForm::edWarrantyPeriods, "2,5", "Гарантия, периодов"},
        {&CohortForm::edDataEnd, "1999-01", "Конец данных"},
        {&CohortForm::edBacktest, "2030-01", "проверки прогноза"},
        {&CohortForm::edHorizon, "0", "Горизонт"},
        {&CohortForm::edCost, "дорого", "Стоимость претензии"},
    };
    for (const Case &c : cases) {
        CohortForm w;
        w.pasteText(QString::fromUtf8(sampleBytes()).replace(u';', u'\t'));
        ASSERT_TRUE(rec.errors.isEmpty()) << errors().toStdString();
        (w.*(c.box))->setText(QString::fromUtf8(c.text));
        QTest::mouseClick(w.btnCalc, Qt::LeftButton);
        EXPECT_FALSE(w.isRunning()) << c.text;
        ASSERT_EQ(rec.errors.size(), 1) << c.text;
        const QString m = rec.errors.takeFirst();
        EXPECT_TRUE(m.contains(QString::fromUtf8(c.named)) || m.contains(QString::fromUtf8(c.text)))
            << c.text << ": " << m.toStdString();
    }
    // A typed count that is not a count.
    CohortForm w;
    w.pasteText(QString::fromUtf8(sampleBytes()).replace(u';', u'\t'));
    w.Grid->item(2, 4)->setText(QStringLiteral("2,5"));
    QTest::mouseClick(w.btnCalc, Qt::LeftButton);
    ASSERT_EQ(rec.errors.size(), 1);
    EXPECT_TRUE(rec.errors[0].contains(QStringLiteral("2024-03"))) << errors().toStdString();
    // The sample law needs a claims list with hours.
    rec.errors.clear();
    w.Grid->item(2, 4)->setText(QStringLiteral("3"));
    w.cbUsage->setCurrentIndex(2);
    QTest::mouseClick(w.btnCalc, Qt::LeftButton);
    ASSERT_EQ(rec.errors.size(), 1);
    EXPECT_TRUE(rec.errors[0].contains(QStringLiteral("списка претензий")));
}

// A claims list with causes and hours opens with its sales table: the grid holds one row
// per sales period and cause, reads back as the table the core builds, and the usage law
// becomes the sample of the claims' rates.
TEST_F(Fixture, ClaimsListWithCausesOpensAndRuns)
{
    QTemporaryDir dir;
    const QString claimsPath = dir.filePath(QStringLiteral("claims.csv"));
    const QString salesPath = dir.filePath(QStringLiteral("sales.csv"));
    QByteArray claims = "продажа;претензия;причина;наработка\n";
    const char *months[] = {"01", "02", "03", "04", "05", "06"};
    for (int s = 0; s < 6; ++s)
        for (int c = s; c < 6; ++c)
            for (int k = 0; k < 1 + (s + c) % 3; ++k)
                claims += QByteArray("2024-") + months[s] + "-05;2024-" + months[c] + "-2" +
                          QByteArray::number(k) + ";" + (k % 2 ? "насос" : "привод") + ";" +
                          QByteArray::number(40 + 10 * (c - s) + k) + "\n";
    for (auto [path, bytes] :
         {std::pair{claimsPath, claims},
          std::pair{salesPath, QByteArray("период;продано\n2024-01;500\n2024-02;450\n2024-03;520\n"
                                          "2024-04;480\n2024-05;510\n2024-06;490\n")}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    CohortForm w;
    w.show();
    QStringList answers{claimsPath, salesPath};
    w.chooseFile = [&answers](QWidget *, const QString &) { return answers.takeFirst(); };
    QTest::mouseClick(w.btnOpenClaims, Qt::LeftButton);
    ASSERT_TRUE(rec.errors.isEmpty()) << errors().toStdString();
    QFile cf(claimsPath), sf(salesPath);
    ASSERT_TRUE(cf.open(QIODevice::ReadOnly) && sf.open(QIODevice::ReadOnly));
    const cohort::NevadaTable built =
        cohort::buildFromClaims(cf.readAll(), sf.readAll(), cohort::Period::Month);
    ASSERT_EQ(built.causes.size(), 2u);
    EXPECT_EQ(w.Grid->horizontalHeaderItem(2)->text(), QStringLiteral("Причина"));
    EXPECT_EQ(cell(w.Grid, 1, 2), built.causes[1]);
    const cohort::NevadaTable back = w.gridTable();
    EXPECT_EQ(back.rows, built.rows);
    EXPECT_EQ(back.units, built.units);
    EXPECT_EQ(back.causes, built.causes);
    EXPECT_EQ(back.claims, built.claims);
    EXPECT_EQ(w.cbUsage->currentIndex(), 2);   // the sample of the claims' rates
    const cohort::Settings s = w.settings(back);
    EXPECT_EQ(s.usage.kind, cohort::UsageKind::Sample);
    EXPECT_EQ(s.usage.sample, built.claimRates);
    ASSERT_TRUE(runAndWait(w));
    ASSERT_TRUE(rec.errors.isEmpty()) << errors().toStdString();
    ASSERT_EQ(w.result()->causes.size(), 2u);
    int headings = 0;
    for (int r = 0; r < w.Estimates->rowCount(); ++r)
        headings += cell(w.Estimates, r, 0).startsWith(QStringLiteral("Причина «"));
    EXPECT_EQ(headings, 2);
}

// A table typed into the empty grid reads as the same text would.
TEST_F(Fixture, TypedTableReadsBack)
{
    CohortForm w;
    const char *typed[][5] = {{"2024-01", "100", "3", "4", "2"},
                              {"2024-02", "120", "5", "1", ""},
                              {"2024-03", "90", "2", "", ""}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c)
            w.Grid->setItem(r, c, new QTableWidgetItem(QString::fromUtf8(typed[r][c])));
    const cohort::NevadaTable t = w.gridTable();
    const cohort::NevadaTable same = cohort::parseNevadaText(QStringLiteral(
        "период;продано;1;2;3\n2024-01;100;3;4;2\n2024-02;120;5;1;\n2024-03;90;2;;\n"));
    EXPECT_EQ(t.rows, same.rows);
    EXPECT_EQ(t.units, same.units);
    EXPECT_EQ(t.claims, same.claims);
    EXPECT_EQ(t.dataEnd, 2);
    // An empty grid is refused with a message, not read as an empty table.
    CohortForm empty;
    QTest::mouseClick(empty.btnCalc, Qt::LeftButton);
    ASSERT_EQ(rec.errors.size(), 1);
    EXPECT_TRUE(rec.errors[0].contains(QStringLiteral("Таблица пуста")));
}

TEST_F(Fixture, ExportsCsvAndPrintsOnePage)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QTemporaryDir dir;
    CohortForm w;
    w.show();
    w.pasteText(QString::fromUtf8(sampleBytes()).replace(u';', u'\t'));
    w.edWarrantyPeriods->setText(QStringLiteral("24"));
    w.edCost->setText(QStringLiteral("100"));
    ASSERT_TRUE(runAndWait(w));

    FakeExport dialogs;
    dialogs.answer = dir.filePath(QStringLiteral("cohorts"));
    setExportDialogs(&dialogs);
    QTest::mouseClick(w.btnExport, Qt::LeftButton);
    setExportDialogs(nullptr);
    EXPECT_TRUE(dialogs.failures.isEmpty());
    QFile csv(dir.filePath(QStringLiteral("cohorts.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(bytes);
    EXPECT_TRUE(text.contains(QStringLiteral("Прогноз\r\n")));
    EXPECT_TRUE(text.contains(cell(w.ForecastTable, 0, 0) + u';' + cell(w.ForecastTable, 0, 1)));

    obr::test::RecordingPrintDialogs print;
    print.file = dir.filePath(QStringLiteral("cohorts.pdf"));
    setPrintDialogs(&print);
    QTest::mouseClick(w.btnPrint, Qt::LeftButton);
    setPrintDialogs(nullptr);
    EXPECT_TRUE(print.failures.isEmpty()) << print.failures.join(u'\n').toStdString();
    QFile pdf(print.file);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.readAll().startsWith("%PDF"));
}

int main(int argc, char **argv)
{
    // Test discovery runs the program without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
