// SPDX-License-Identifier: MIT
// What the windows show belongs to the data loaded: the models and bounds of earlier data
// are set aside, an open results window says its figures are those of earlier data, the
// warranty law of another fleet is not carried over, tables copy with their captions and
// a dropped file is taken as a copy.
#include "app/desktop_integration.h"
#include "app/form1_texts.h"
#include "app/obrotk2015.h"
#include "calc/calc_texts.h"
#include "chart/printing.h"
#include "desktop/tablecopy.h"
#include "life/ui/lifeform.h"
#include "mleview/ui/formmle.h"
#include "results/results_texts.h"
#include "results/ui/expandform.h"
#include "results/ui/form2.h"
#include "support/print_dialogs.h"
#include "support/window_harness.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

using namespace obr;

namespace {

QString smallPath() { return test::sourcePath(QStringLiteral("tests/app/data/small.fdt")); }
QString fleetPath() { return test::sourcePath(QStringLiteral("tests/cli/data/mle_fleet.fdt")); }
//! 200 warranty end times about 1000 h (deviation 250 h), as the fleet's file states them.
QString warrantyPath() { return test::sourcePath(QStringLiteral("tests/app/data/gar_fleet.txt")); }

struct Harness : test::WindowHarness {
    //! Every fit ticked, with short steps.
    void allMethods()
    {
        const QString k = QStringLiteral("1") + dec() + QStringLiteral("05");
        form1.Edit1->setText(k);
        form1.Edit6->setText(k);
        form1.Edit5->setText(k);
        form1.SpirSpusk->setChecked(true);
        form1.BoxNewton->setChecked(true);
        form1.BoxSmirnow->setChecked(true);
        form1.BoxMaxPr->setChecked(true);
    }
    QStringList captions() const
    {
        QStringList out;
        for (int c = 1; c < form2.Result_Grid->columnCount(); ++c)
            if (const QTableWidgetItem *it = form2.Result_Grid->item(0, c))
                if (!it->text().trimmed().isEmpty())
                    out << it->text().trimmed();
        return out;
    }
    void runGenetic()
    {
        form1.Edit3->setText(QStringLiteral("30"));
        form1.NPokoleny->setText(QStringLiteral("5"));
        QSignalSpy finished(&form1, &TForm1::geneticRunFinished);
        form1.ToolBRunGenOptimClick();
        QVERIFY(finished.wait(60000));
    }
};

QString copied(QAbstractItemView *view)
{
    view->setFocus();
    view->selectAll();
    QTest::keySequence(view, QKeySequence::Copy);
    return QApplication::clipboard()->text();
}

}   // namespace

class DataChangeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void modelsOfEarlierDataAreNotShownAfterAGeneticRun();
    void openResultsWindowSaysItsFiguresAreOfEarlierData();
    void warrantyLawOfAnotherFleetIsNotCarriedOver();
    void tablesCopyWithTheirCaptions();
    void droppedFileIsTakenAsACopy();
};

void DataChangeTest::modelsOfEarlierDataAreNotShownAfterAGeneticRun()
{
    Harness h;
    h.load(fleetPath());
    h.allMethods();
    h.calculate();
    QVERIFY2(h.msgs.total() == 0, qPrintable(h.msgs.all().join(u'|')));
    QCOMPARE(h.captions().size(), 5);   // four models and the operational data
    QVERIFY(h.form2.ButtonMle->isVisibleTo(&h.form2));

    // Another file, then only the genetic optimiser: its column alone beside the data,
    // its curves alone over the new histogram, and no bounds of the earlier fit.
    h.load(smallPath());
    QVERIFY(!h.form2.ButtonMle->isVisibleTo(&h.form2));
    QVERIFY(h.logLines().contains(form1txt::mleSetAside));
    h.runGenetic();
    QVERIFY(h.state.MGenet.Executed);
    QCOMPARE(h.captions(), QStringList({rtxt::colGenet.trimmed(), rtxt::colData.trimmed()}));
    for (const char *name : {"Series3", "Series4", "SeriesMaxPr"}) {
        const SeriesData *sd = h.form2.view().chart1.find(QString::fromLatin1(name));
        QVERIFY(!sd || sd->points.empty());
    }
    const QString aside =
        h.logLines().filter(QStringLiteral("ранее загруженным данным: ")).join(u'|');
    QVERIFY2(aside.contains(rtxt::colSmirn.trimmed()) && aside.contains(rtxt::colMaxPr),
             qPrintable(aside));
    QVERIFY(!h.form2.ButtonMle->isVisibleTo(&h.form2));

    // The genetic model of the second file goes with it: a third load sets it aside too.
    h.load(test::samplePath());
    h.allMethods();
    h.form1.BoxMaxPr->setChecked(false);
    h.calculate();
    QVERIFY(!h.captions().contains(rtxt::colGenet.trimmed()));
    QVERIFY(h.logLines().contains(ctxt::genetSetAside));
}

void DataChangeTest::openResultsWindowSaysItsFiguresAreOfEarlierData()
{
    Harness h;
    h.load(test::samplePath());
    h.allMethods();
    h.form1.BoxMaxPr->setChecked(false);
    h.calculate();
    QVERIFY(h.form2.isVisible());
    QVERIFY(!h.form2.EarlierData->isVisibleTo(&h.form2));
    const QString table = h.form2.Result_Grid->item(1, 1)->text();

    h.load(smallPath());
    // The heading follows the new file; the figures stay, said to be the earlier ones.
    QVERIFY(h.form2.showsEarlierData());
    QVERIFY(h.form2.EarlierData->isVisibleTo(&h.form2));
    QVERIFY(h.form2.EarlierData->text().contains(QStringLiteral("sample.fdt")));
    QCOMPARE(h.form2.Result_Grid->item(1, 1)->text(), table);
    QVERIFY(!h.form2.ButtonCsv->isEnabled());
    QVERIFY(!h.form2.Button2->isEnabled());
    // «Печать» offers the name of the data the figures belong to.
    test::RecordingPrintDialogs dialogs;
    setPrintDialogs(&dialogs);
    h.form2.Button1->click();
    setPrintDialogs(nullptr);
    QCOMPARE(dialogs.suggested.size(), 1);
    QVERIFY2(dialogs.suggested.first().startsWith(QStringLiteral("sample")),
             qPrintable(dialogs.suggested.first()));

    // The next «Расчет» shows the new data's figures, and the window is plain again.
    h.calculate();
    QVERIFY(!h.form2.showsEarlierData());
    QVERIFY(!h.form2.EarlierData->isVisibleTo(&h.form2));
    QVERIFY(h.form2.ButtonCsv->isEnabled());
}

void DataChangeTest::warrantyLawOfAnotherFleetIsNotCarriedOver()
{
    Harness h;
    h.load(fleetPath());
    h.loadWarranty(warrantyPath());
    QCOMPARE(h.msgs.total(), 0);
    h.form1.MleLaw->setCurrentIndex(1);
    QCOMPARE(h.form1.MleLaw->currentIndex(), 1);
    h.form1.SpirSpusk->setChecked(false);
    h.form1.BoxNewton->setChecked(false);
    h.form1.BoxSmirnow->setChecked(false);
    h.form1.BoxMaxPr->setChecked(true);
    h.calculate();
    QVERIFY2(h.msgs.total() == 0, qPrintable(h.msgs.all().join(u'|')));
    // The log says which law the fit used; the table does not show the box figures as
    // the fit's warranty figures.
    QVERIFY(!h.logLines().filter(QStringLiteral("закон гарантии по файлу сроков")).isEmpty());
    QCOMPARE(h.form2.Result_Grid->item(7, 1)->text().trimmed(), rtxt::empiricalLaw);

    // Another failure file: the choice goes back to the normal law, with a word.
    h.load(test::samplePath());
    QCOMPARE(h.form1.MleLaw->currentIndex(), 0);
    QVERIFY(h.logLines().contains(form1txt::mleLawReset));

    // A law change with a fit shown: the bounds window says the fit needs «Расчет».
    h.load(fleetPath());
    h.form1.BoxMaxPr->setChecked(true);
    h.calculate();
    h.form2.ButtonMle->click();
    TFormMle *w = h.form2.mleWindow();
    QVERIFY(w);
    h.form1.MleLaw->setCurrentIndex(1);
    QVERIFY2(w->Message->text().contains(form1txt::mleLawChanged), qPrintable(w->Message->text()));
    h.form1.MleLaw->setCurrentIndex(0);
    QVERIFY(!w->Message->text().contains(form1txt::mleLawChanged));
    w->close();
}

void DataChangeTest::tablesCopyWithTheirCaptions()
{
    Harness h;
    h.load(fleetPath());
    h.form1.SpirSpusk->setChecked(false);
    h.form1.BoxNewton->setChecked(false);
    h.form1.BoxSmirnow->setChecked(false);
    h.form1.BoxMaxPr->setChecked(true);
    h.calculate();
    // The results grid: its caption row (the model names) comes first.
    const QStringList lines = copied(h.form2.Result_Grid).split(u'\n');
    QVERIFY2(lines.first().startsWith(rtxt::rowCaptions[0] + u'\t' + rtxt::colMaxPr),
             qPrintable(lines.first()));
    // The bounds table: its column headers first.
    h.form2.ButtonMle->click();
    TFormMle *w = h.form2.mleWindow();
    QVERIFY(w);
    const QString bounds = copied(w->BoundsGrid);
    const QString head = w->BoundsGrid->horizontalHeaderItem(0)->text();
    QVERIFY2(bounds.startsWith(head), qPrintable(bounds.left(80)));
    w->close();
    // The life-data window's results: a copy command with the headers.
    lifeui::LifeForm life;
    auto *results = life.findChild<QTableWidget *>(QStringLiteral("LifeResults"));
    QVERIFY(results);
    results->setRowCount(1);
    results->setItem(0, 0, new QTableWidgetItem(QStringLiteral("B")));
    results->setItem(0, 1, new QTableWidgetItem(QStringLiteral("1,5")));
    QVERIFY(results->findChild<QAction *>(QStringLiteral("copyCellsAction")));
    const QString lifeText = copied(results);
    QVERIFY2(lifeText.startsWith(QStringLiteral("Показатель\tОценка")), qPrintable(lifeText));
    QVERIFY(lifeText.contains(QStringLiteral("B\t1,5")));
}

void DataChangeTest::droppedFileIsTakenAsACopy()
{
    Harness h;
    installDesktopIntegration(h.form1);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(test::samplePath())});
    const QPoint at = h.form1.rect().center();
    // The source proposes a move: the file is still only read.
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                          Qt::NoModifier);
    enter.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(&h.form1, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                    Qt::NoModifier);
    drop.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(&h.form1, &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drop.dropAction(), Qt::CopyAction);
    QCOMPARE(h.state.loadedFile, test::samplePath());
}

QTEST_MAIN(DataChangeTest)
#include "datachange_test.moc"
