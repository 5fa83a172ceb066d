// SPDX-License-Identifier: MIT
// The maximum-likelihood model in the windows: its box and options on the main window,
// its column and curves in the results window, and the bounds window, against the command
// line's output for the same file.
#include "app/dialogs.h"
#include "chart/printing.h"
#include "app/form1_texts.h"
#include "app/obrotk2015.h"
#include "cli/analysis.h"
#include "cli/options.h"
#include "cli/report.h"
#include "mle/mle.h"
#include "mleview/mleview.h"
#include "mleview/mleview_texts.h"
#include "mleview/ui/formmle.h"
#include "model/numfmt.h"
#include "nonparam/ui/form3.h"
#include "results/results_texts.h"
#include "results/ui/expandform.h"
#include "results/ui/form2.h"
#include "support/window_harness.h"
#include "support/pdfpage.h"
#include "support/print_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "chart/chartwidget.h"

using namespace obr;

namespace {

using test::RecordingPrintDialogs;
using test::samplePath;
using test::sourcePath;

QString fleetPath() { return sourcePath(QStringLiteral("tests/cli/data/mle_fleet.fdt")); }

//! The windows with the spiral fit on a short step, and the command line beside them.
struct Harness : test::WindowHarness {
    QString step() const { return QStringLiteral("1") + dec() + QStringLiteral("05"); }
    //! Loads \a path and ticks the spiral fit only, with a short step.
    void load(const QString &path)
    {
        WindowHarness::load(path);
        form1.Edit1->setText(step());
        form1.SpirSpusk->setChecked(true);
        form1.BoxNewton->setChecked(false);
        form1.BoxSmirnow->setChecked(false);
    }
    //! The grid's texts without the padding, column by column.
    QList<QStringList> grid() const
    {
        QList<QStringList> out;
        const QTableWidget *g = form2.Result_Grid;
        for (int c = 0; c < g->columnCount(); ++c) {
            QStringList col;
            for (int r = 0; r < g->rowCount(); ++r)
                col << (g->item(r, c) ? g->item(r, c)->text().trimmed() : QString());
            out << col;
        }
        return out;
    }
    //! The command line's analysis of the same file with the same settings.
    cli::Analysis cliRun(bool mle, double level = 0.95) const
    {
        cli::Options o;
        o.file = form1.FilePath->text();
        o.spiral = true;
        o.mle = mle;
        o.mleLevel = level;
        o.Edit1 = step();
        o.locale = QLocale();
        const QFontMetrics fm(form2.Result_Grid->font());
        return cli::runAnalysis(o, [&fm](const QString &t) { return fm.horizontalAdvance(t); });
    }
};

QList<QStringList> tableTexts(const ResultsTable &t, int cols)
{
    QList<QStringList> out;
    for (int c = 0; c < cols; ++c) {
        QStringList col;
        for (int r = 0; r < ResultsTable::Rows; ++r)
            col << t.cell(c, r).trimmed();
        out << col;
    }
    return out;
}

QJsonObject mleObject(const cli::Analysis &a)
{
    const QJsonObject top = cli::analysisObject(a, a.s.loadedFile);
    return top.value(QStringLiteral("mle")).toObject();
}

std::optional<double> jsonValue(const QJsonValue &v)
{
    return v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

//! The bounds table as the window shows it, row by row.
QList<QStringList> shownBounds(const TFormMle &w)
{
    QList<QStringList> out;
    for (int r = 0; r < w.BoundsGrid->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < w.BoundsGrid->columnCount(); ++c)
            row << w.BoundsGrid->item(r, c)->text();
        out << row;
    }
    return out;
}

//! The rows of the figures the JSON gives, formatted as the window formats them.
QList<QStringList> expectedBounds(const QJsonObject &mle, const QStringList &keys, bool lr,
                                  QChar dec)
{
    const QJsonObject est = mle.value(QStringLiteral("estimates")).toObject();
    const QJsonObject bounds =
        mle.value(lr ? QStringLiteral("lr") : QStringLiteral("fisher")).toObject();
    const bool ridge = mle.value(QStringLiteral("ridge")).toBool();
    QList<QStringList> out;
    for (const QString &k : keys) {
        const QString name = mleview::figureName(k);
        const auto e = jsonValue(est.value(k));
        if (ridge && (k == u"K" || k == u"inv_A" || k == u"eta")) {
            out << QStringList{name, mtv::undetermined, mtv::undetermined, mtv::undetermined};
            continue;
        }
        if (!e) {
            out << QStringList{name, mtv::undetermined, mtv::none, mtv::none};
            continue;
        }
        const QJsonArray b = bounds.value(k).toArray();
        out << QStringList{name, mleview::fmtNumber(*e, dec),
                           mleview::fmtBound(jsonValue(b.at(0)), dec),
                           mleview::fmtBound(jsonValue(b.at(1)), dec)};
    }
    return out;
}

QStringList figureKeys(const cli::Analysis &a)
{
    QStringList keys;
    for (const mle::Figure &f : a.mle->figures)
        keys << f.key;
    return keys;
}

}   // namespace

class MleWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void optionsOnTheMainWindow_data();
    void optionsOnTheMainWindow();
    void clearBoxKeepsTheResults();
    void checkedBoxMatchesTheCommandLine_data();
    void checkedBoxMatchesTheCommandLine();
    void kindAndLevelChangeTheBounds();
    void refusalKeepsTheEarlierModels();
    void printsLikeTheOtherResultWindows();

private:
    QTemporaryDir m_cwd;
};

void MleWindowTest::optionsOnTheMainWindow_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("period") << QStringLiteral("period");
    QTest::newRow("comma") << QStringLiteral("comma");
}

void MleWindowTest::optionsOnTheMainWindow()
{
    QFETCH(QString, locale);
    QDir::setCurrent(m_cwd.path());
    QLocale::setDefault(locale == u"comma" ? QLocale(QLocale::Russian, QLocale::Russia)
                                           : QLocale::c());
    Harness h;
    TForm1 &f = h.form1;
    QVERIFY(!f.BoxMaxPr->isChecked());
    QCOMPARE(f.BoxMaxPr->text().simplified(), QStringLiteral("Модель 3 (макс. правдоподобия)"));
    const QString d = h.dec();
    QStringList levels;
    for (int i = 0; i < f.MleLevel->count(); ++i)
        levels << f.MleLevel->itemText(i);
    QCOMPARE(levels, (QStringList{QStringLiteral("0") + d + QStringLiteral("8"),
                                  QStringLiteral("0") + d + QStringLiteral("9"),
                                  QStringLiteral("0") + d + QStringLiteral("95"),
                                  QStringLiteral("0") + d + QStringLiteral("99")}));
    QCOMPARE(f.MleLevel->currentData().toDouble(), 0.95);
    QCOMPARE(f.MleKind->currentIndex(), 0);   // likelihood ratio
    QVERIFY(f.mleLrBounds());

    // The empirical law waits for a warranty-times file.
    auto *laws = qobject_cast<QStandardItemModel *>(f.MleLaw->model());
    QVERIFY(laws);
    QVERIFY(!laws->item(1)->isEnabled());
    QCOMPARE(f.MleLaw->currentIndex(), 0);
    h.chooser.openAnswers << sourcePath(QStringLiteral("tests/app/data/gar_three.txt"));
    f.SpeedButton1Click();
    QVERIFY(!h.state.MasTGarant.empty());
    QVERIFY(laws->item(1)->isEnabled());

    // The new controls stand in the free room of the tab, clear of every other control.
    QWidget *page = f.TabSheet1;
    for (QWidget *w : {static_cast<QWidget *>(f.BoxMaxPr), static_cast<QWidget *>(f.MleOptions)}) {
        QVERIFY(page->rect().contains(w->geometry()));
        for (QWidget *other : page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (other == w || other == f.BoxMaxPr || other == f.MleOptions)
                continue;
            QVERIFY2(!other->geometry().intersects(w->geometry()), qPrintable(other->objectName()));
        }
    }
    for (QWidget *c : {f.MleLevel, f.MleLaw, f.MleKind}) {
        QVERIFY(f.MleOptions->rect().contains(c->geometry()));
        QComboBox *box = qobject_cast<QComboBox *>(c);
        const QFontMetrics fm(box->font());
        for (int i = 0; i < box->count(); ++i)
            QVERIFY2(fm.horizontalAdvance(box->itemText(i)) + 16 <= box->width(),
                     qPrintable(box->itemText(i)));
    }
}

void MleWindowTest::clearBoxKeepsTheResults()
{
    QDir::setCurrent(m_cwd.path());
    Harness h;
    h.load(fleetPath());
    h.calculate();
    QVERIFY(h.msgs.errors.isEmpty());
    QVERIFY(h.form2.isVisible());
    // The grid equals the command line's table without the maximum-likelihood fit.
    const cli::Analysis a = h.cliRun(false);
    QCOMPARE(h.form2.Result_Grid->columnCount(), ResultsTable::Cols);
    QCOMPARE(h.grid(), tableTexts(a.results.table, ResultsTable::Cols));
    QVERIFY(!h.form2.ButtonMle->isVisible());
    QVERIFY(!h.form2.Chart1->chartData().find(QStringLiteral("SeriesMaxPr")));
    QVERIFY(!h.form1.lastMle());
    for (const QString &line : h.logLines())
        QVERIFY(!line.contains(QStringLiteral("максимального правдоподобия")));
    // Without a fit of the model a new level waits for the next calculation.
    h.form1.MleLevel->setCurrentIndex(0);
    QVERIFY(!h.form1.calcRunning());
    QVERIFY(!h.form1.bbRaschet->isHidden());
}

void MleWindowTest::checkedBoxMatchesTheCommandLine_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("period") << QStringLiteral("period");
    QTest::newRow("comma") << QStringLiteral("comma");
}

void MleWindowTest::checkedBoxMatchesTheCommandLine()
{
    QFETCH(QString, locale);
    QDir::setCurrent(m_cwd.path());
    QLocale::setDefault(locale == u"comma" ? QLocale(QLocale::Russian, QLocale::Russia)
                                           : QLocale::c());
    Harness h;
    h.load(fleetPath());
    h.form1.BoxMaxPr->setChecked(true);
    const int logBefore = int(h.logLines().size());
    h.calculate();
    QVERIFY2(h.msgs.errors.isEmpty(), qPrintable(h.msgs.errors.join(u'\n')));
    QVERIFY(h.form1.lastMle());

    const cli::Analysis a = h.cliRun(true);
    QVERIFY(a.mle);
    // The column after the other models, before the data column, as the command line has it.
    const QList<QStringList> grid = h.grid();
    QCOMPARE(grid.mid(0, 4), tableTexts(a.results.table, 4));
    QCOMPARE(grid[2][0], rtxt::colMaxPr);
    QCOMPARE(grid[3][0], rtxt::colData);

    // The log: the fit's duration, then the model-curve lines as the command line writes them.
    const QStringList log = h.logLines().mid(logBefore);
    const QRegularExpression done(
        QStringLiteral("^Подбор по методу максимального правдоподобия выполнен за \\d+ сек$"));
    qsizetype at = -1;
    for (qsizetype i = 0; i < log.size(); ++i)
        if (done.match(log[i]).hasMatch())
            at = i;
    QVERIFY(at >= 0);
    qsizetype cliAt = -1;
    for (qsizetype i = 0; i < a.log.size(); ++i)
        if (done.match(a.log[i]).hasMatch())
            cliAt = i;
    QVERIFY(cliAt >= 0);
    QVERIFY(at + 1 < log.size());
    QCOMPARE(log.mid(at + 1), a.log.mid(cliAt + 1));

    // The model's curves, named in the legend, dashed.
    for (ChartWidget *c : {h.form2.Chart1, h.form2.Chart2}) {
        const SeriesData *s = c->chartData().find(QStringLiteral("SeriesMaxPr"));
        QVERIFY(s);
        QCOMPARE(s->title, rtxt::sMaxPr);
        QCOMPARE(s->style, LineStyle::Dash);
        QCOMPARE(s->points.size(), h.state.Hist_Arr.size());
    }

    // The bounds window: every figure as the JSON gives it.
    QVERIFY(h.form2.ButtonMle->isVisible());
    QTest::mouseClick(h.form2.ButtonMle, Qt::LeftButton);
    TFormMle *w = h.form2.mleWindow();
    QVERIFY(w && w->isVisible());
    const QJsonObject mle = mleObject(a);
    const QStringList keys = figureKeys(a);
    QCOMPARE(shownBounds(*w).mid(0, int(keys.size())), expectedBounds(mle, keys, true, h.dec()));
    const QJsonObject gof = mle.value(QStringLiteral("gof")).toObject();
    const QList<QStringList> rows = shownBounds(*w);
    QCOMPARE(rows[keys.size()][1],
             mleview::fmtNumber(mle.value(QStringLiteral("loglik")).toDouble(), h.dec()));
    QCOMPARE(rows[keys.size() + 3][1],
             mleview::fmtNumber(gof.value(QStringLiteral("chi2")).toDouble(), h.dec()));
    QCOMPARE(rows[keys.size() + 5][1],
             mleview::fmtNumber(gof.value(QStringLiteral("kolmogorov")).toDouble(), h.dec()));

    // The causes: one row per cause object of the JSON, with its B and word.
    const QJsonArray causes = mle.value(QStringLiteral("causes")).toArray();
    QCOMPARE(w->CausesGrid->rowCount(), int(causes.size()));
    QVERIFY(causes.size() >= 1);
    for (int i = 0; i < causes.size(); ++i) {
        const QJsonObject c = causes[i].toObject();
        QCOMPARE(w->CausesGrid->item(i, 1)->text(),
                 QString::number(c.value(QStringLiteral("n")).toInt()));
        if (c.contains(QStringLiteral("error")))
            continue;
        const QJsonArray b =
            c.value(QStringLiteral("lr")).toObject().value(QStringLiteral("B")).toArray();
        const QString word = mleview::causeKind({jsonValue(b.at(0)), jsonValue(b.at(1))});
        QCOMPARE(w->CausesGrid->item(i, 5)->text(), word);
        const double B =
            c.value(QStringLiteral("estimates")).toObject().value(QStringLiteral("B")).toDouble();
        QVERIFY(w->CausesGrid->item(i, 2)->text().startsWith(mleview::fmtNumber(B, h.dec()) +
                                                             QStringLiteral(" [")));
    }

    // The probability plot: the model is a straight line on the paper, the fleet drawn from
    // the model lies along it, the value axis is labelled in percent.
    const ChartData &pp = w->ProbPlot->chartData();
    const SeriesData *model = pp.find(QStringLiteral("Model"));
    const SeriesData *obs = pp.find(QStringLiteral("Observed"));
    const SeriesData *low = pp.find(QStringLiteral("BandLow"));
    const SeriesData *high = pp.find(QStringLiteral("BandHigh"));
    QVERIFY(model && obs && low && high);
    QVERIFY(model->points.size() > 10);
    const double d0 = model->points[1].value - model->points[0].value;
    int near = 0, shown = 0;
    for (size_t j = 0; j < model->points.size(); ++j) {
        if (j > 0)
            QVERIFY(std::abs(model->points[j].value - model->points[j - 1].value - d0) < 1e-9);
        QVERIFY(low->points[j].value < model->points[j].value &&
                model->points[j].value < high->points[j].value);
        const double y = obs->points[j].value;
        if (std::isfinite(y)) {
            ++shown;
            near += std::abs(y - model->points[j].value) < 0.5;
        }
    }
    QVERIFY(shown > 20);
    QVERIFY2(near >= shown * 8 / 10, qPrintable(QStringLiteral("%1 of %2").arg(near).arg(shown)));
    QVERIFY(pp.left.ticks.size() >= 3);
    for (size_t i = 0; i < pp.left.ticks.size(); ++i) {
        QVERIFY(pp.left.ticks[i].label.endsWith(u'%'));
        if (i > 0)
            QVERIFY(pp.left.ticks[i].value > pp.left.ticks[i - 1].value);
    }
    int timeLabels = 0;
    for (const ChartPoint &pt : model->points)
        timeLabels += !pt.label.isEmpty();
    QVERIFY(timeLabels >= 2);

    // The causes chart: a curve and points per fitted cause in the cause palette.
    const ChartData &cc = w->CausesChart->chartData();
    int fitted = 0;
    for (const mle::CauseFit &c : a.mleCauses)
        if (c.result) {
            ++fitted;
            const SeriesData *m = cc.find(QStringLiteral("Model%1").arg(c.cause));
            QVERIFY(m);
            QCOMPARE(m->color, paletteColor(c.cause == 0 ? 11 : c.cause));
            QCOMPARE(m->points.size(), h.state.Hist_Arr.size());
        }
    QCOMPARE(int(cc.series.size()), 2 * fitted);

    // Observed against expected: every expected count inside its Poisson band, and the
    // counts add up to about the recorded failures.
    const ChartData &oe = w->ObsExpChart->chartData();
    const SeriesData *ex = oe.find(QStringLiteral("Expected"));
    const SeriesData *plo = oe.find(QStringLiteral("PoissonLow"));
    const SeriesData *phi = oe.find(QStringLiteral("PoissonHigh"));
    QVERIFY(ex && plo && phi);
    double total = 0;
    for (size_t j = 0; j < ex->points.size(); ++j) {
        QVERIFY(plo->points[j].value <= ex->points[j].value + 1e-9);
        QVERIFY(ex->points[j].value <= phi->points[j].value + 1);
        total += ex->points[j].value;
    }
    QVERIFY2(std::abs(total - a.mle->n) < 0.15 * a.mle->n, qPrintable(QString::number(total)));
    w->hide();
}

void MleWindowTest::kindAndLevelChangeTheBounds()
{
    QDir::setCurrent(m_cwd.path());
    Harness h;
    h.load(fleetPath());
    h.form1.BoxMaxPr->setChecked(true);
    h.calculate();
    QVERIFY(h.form1.lastMle());
    QTest::mouseClick(h.form2.ButtonMle, Qt::LeftButton);
    TFormMle *w = h.form2.mleWindow();
    QVERIFY(w);
    const cli::Analysis a = h.cliRun(true);
    const QJsonObject mle = mleObject(a);
    const QStringList keys = figureKeys(a);
    const QList<QStringList> lr = shownBounds(*w).mid(0, int(keys.size()));
    QCOMPARE(lr, expectedBounds(mle, keys, true, h.dec()));

    // The kind switches at once, without a new calculation.
    h.form1.MleKind->setCurrentIndex(1);
    const QList<QStringList> fisher = shownBounds(*w).mid(0, int(keys.size()));
    QCOMPARE(fisher, expectedBounds(mle, keys, false, h.dec()));
    QVERIFY(fisher != lr);
    QVERIFY(w->Heading->text().contains(mtv::kindFisher));

    // A new level is computed for the fit shown at once, off the window's thread: the
    // commands wait and no bound of the old level stays on screen meanwhile.
    const mle::MleResult wide = *h.form1.lastMle();
    h.form1.MleLevel->setCurrentIndex(0);   // 0.8
    QVERIFY(h.form1.calcRunning());
    QVERIFY(h.form1.bbRaschet->isHidden());
    QVERIFY(w->pending());
    QVERIFY(w->Heading->text().contains(QStringLiteral("80%")));
    QCOMPARE(shownBounds(*w)[0][2], QString());
    QCOMPARE(shownBounds(*w)[0][3], QString());
    QVERIFY(!w->ProbPlot->chartData().find(QStringLiteral("BandLow")));
    h.form1.waitForCalculation();
    QVERIFY(!h.form1.calcRunning());
    QVERIFY(!h.form1.bbRaschet->isHidden());
    QVERIFY(!w->pending());
    QVERIFY(h.form1.lastMle());
    const mle::MleResult &narrow = *h.form1.lastMle();
    QCOMPARE(narrow.level, 0.8);
    QVERIFY(w->Heading->text().contains(QStringLiteral("80%")));
    QVERIFY(w->Heading->text().contains(mtv::kindFisher));
    // The estimates stay; the bounds narrow.
    for (size_t i = 0; i < wide.figures.size(); ++i)
        QCOMPARE(narrow.figures[i].estimate, wide.figures[i].estimate);
    const mle::Figure *b95 = wide.figure(QStringLiteral("B"));
    const mle::Figure *b80 = narrow.figure(QStringLiteral("B"));
    QVERIFY(b95 && b80 && b95->fisher.low && b80->fisher.low && b95->fisher.high &&
            b80->fisher.high);
    QVERIFY(*b80->fisher.low > *b95->fisher.low);
    QVERIFY(*b80->fisher.high < *b95->fisher.high);
    QVERIFY(b95->lr.low && b80->lr.low && *b80->lr.low > *b95->lr.low);
    // Both kinds at the new level as the command line gives them at that level.
    const QJsonObject mle80 = mleObject(h.cliRun(true, 0.8));
    QCOMPARE(shownBounds(*w).mid(0, int(keys.size())), expectedBounds(mle80, keys, false, h.dec()));
    h.form1.MleKind->setCurrentIndex(0);
    QCOMPARE(shownBounds(*w).mid(0, int(keys.size())), expectedBounds(mle80, keys, true, h.dec()));
    // The band of the probability plot follows the level and the kind, and says so.
    const SeriesData *band = w->ProbPlot->chartData().find(QStringLiteral("BandLow"));
    QVERIFY(band);
    QCOMPARE(band->title, mtv::probBand(QStringLiteral("80"), true));
    QCOMPARE(band->points.size(), narrow.band.size());
    h.form1.MleKind->setCurrentIndex(1);
    band = w->ProbPlot->chartData().find(QStringLiteral("BandLow"));
    QVERIFY(band);
    QCOMPARE(band->title, mtv::probBand(QStringLiteral("80"), false));
    w->hide();
}

void MleWindowTest::refusalKeepsTheEarlierModels()
{
    QDir::setCurrent(m_cwd.path());
    Harness h;
    // One failure time cannot determine the law: the maximum-likelihood fit refuses it.
    h.load(sourcePath(QStringLiteral("tests/cli/data/one_failure.fdt")));
    h.form1.BoxMaxPr->setChecked(true);
    h.calculate();
    QCOMPARE(h.msgs.errors.size(), 1);
    QVERIFY2(h.msgs.errors[0].contains(mle::mtxt::oneTime()), qPrintable(h.msgs.errors[0]));
    // The spiral model of the same calculation is shown, without the refused column.
    QVERIFY(h.form2.isVisible());
    QVERIFY(h.state.MPirsS.Executed);
    QVERIFY(!h.state.MMaxPr.Executed);
    const QList<QStringList> grid = h.grid();
    QCOMPARE(grid[1][0], rtxt::colPirsS);
    QCOMPARE(grid[2][0], rtxt::colData);
    QVERIFY(!h.form2.ButtonMle->isVisible());
    QVERIFY(!h.form1.lastMle());
    QVERIFY(!h.form2.Chart1->chartData().find(QStringLiteral("SeriesMaxPr")));
}

void MleWindowTest::printsLikeTheOtherResultWindows()
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("a printer is installed: this test would print on paper");
    QDir::setCurrent(m_cwd.path());
    Harness h;
    h.load(fleetPath());
    h.form1.BoxMaxPr->setChecked(true);
    h.calculate();
    QVERIFY(h.form1.lastMle());
    QTest::mouseClick(h.form2.ButtonMle, Qt::LeftButton);
    TFormMle *w = h.form2.mleWindow();
    QVERIFY(w && w->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(w));

    // No printer here: the page goes to the PDF file the save dialog returns.
    QTemporaryDir dir;
    RecordingPrintDialogs dialogs;
    dialogs.file = dir.filePath(QStringLiteral("page.pdf"));
    setPrintDialogs(&dialogs);
    QTest::mouseClick(w->PrintBtn, Qt::LeftButton);
    setPrintDialogs(nullptr);
    QVERIFY2(dialogs.failures.isEmpty(), qPrintable(dialogs.failures.join(u'\n')));
    QCOMPARE(dialogs.suggested,
             QStringList{QStringLiteral("mle_fleet - доверительные границы.pdf")});
    const PdfFacts pdf = readPdfFacts(dialogs.file);
    QVERIFY(pdf.ok);
    QCOMPARE(pdf.pages.size(), 1);
    QVERIFY2(pdf.pages[0].width() > pdf.pages[0].height(), "page is not landscape");
    // One image: the window's client area as shown, at twice the screen's pixel density.
    QCOMPARE(pdf.images.size(), 1);
    QCOMPARE(pdf.images[0], w->size() * 2 * w->devicePixelRatioF());
    w->hide();
}

QTEST_MAIN(MleWindowTest)
#include "mlwin_test.moc"
