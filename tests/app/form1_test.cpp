// SPDX-License-Identifier: MIT
// The main window driven as a user drives it: loading both files, the calculation with
// each method, the genetic optimiser's controls, refusals and the saved log.
#include "app/buttontabs.h"
#include "app/dialogs.h"
#include "app/failuregridmodel.h"
#include "app/logpump.h"
#include "app/form1_texts.h"
#include "app/obrotk2015.h"
#include "app/startup.h"
#include "calc/calc_texts.h"
#include "fit/fits.h"
#include "fit/genetic.h"
#include "fit/genetic_thread.h"
#include "model/numfmt.h"
#include "model/texts.h"
#include "nonparam/ui/form3.h"
#include "results/ui/expandform.h"
#include "results/ui/form2.h"
#include "stats/stat2018.h"
#include "support/window_harness.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <thread>

using namespace obr;

namespace {

using test::samplePath;
using test::sourcePath;

QString dataPath(const QString &name)
{
    return sourcePath(QStringLiteral("tests/app/data/") + name);
}

//! The program's four windows over one state, with recording dialogs.
struct Harness : test::WindowHarness {
    QString cell(int row, int col) const
    {
        return form1.gridModel()->index(row, col).data().toString();
    }
    //! The population and generation boxes of the genetic optimiser.
    void geneticSettings(const char *population, const char *generations)
    {
        form1.Edit3->setText(QString::fromLatin1(population));
        form1.NPokoleny->setText(QString::fromLatin1(generations));
    }
    //! Step coefficients that keep the fits short.
    void quickSteps()
    {
        const QString k = QStringLiteral("1") + dec() + QStringLiteral("05");
        form1.Edit1->setText(k);
        form1.Edit6->setText(k);
        form1.Edit5->setText(k);
    }
    QStringList resultCaptions() const
    {
        QStringList c;
        for (int col = 1; col < form2.Result_Grid->columnCount(); ++col) {
            const QTableWidgetItem *it = form2.Result_Grid->item(0, col);
            if (it && !it->text().isEmpty())
                c << it->text();
        }
        return c;
    }
};

void setLocale(const QString &which)
{
    QLocale::setDefault(which == QLatin1String("comma") ? QLocale(QLocale::Russian, QLocale::Russia)
                                                        : QLocale::c());
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

//! What a load may change: the loaded data and every box and label a load writes.
QStringList loadedSnapshot(const Harness &h)
{
    const State &s = h.state;
    const TForm1 &f = h.form1;
    QStringList out{QString::number(s.MasProbl.size()),
                    s.Comment,
                    QString::number(s.Sred),
                    QString::number(s.SKO),
                    QString::number(s.KolOtk),
                    QString::number(s.Kol_Izd_All),
                    QString::number(s.Kol_izw),
                    QString::number(s.MasTGarant.size()),
                    QString::number(s.uk),
                    QString::number(f.gridModel()->rowCount())};
    for (const Problems &p : s.MasProbl)
        out << QString::number(p.time, 'g', 17) + QLatin1Char('/') + QString::number(p.chey);
    for (const QLineEdit *e :
         {f.meSred, f.meSKO, f.meKolAll, f.meKolOtk, f.LabeledEdit2, f.MaskEdit1, f.MaskEditSrednee,
          f.MaskEditSKO, f.Edit1, f.Edit5, f.Edit6})
        out << e->text();
    out << f.Label10->text() << f.Label15->text();
    return out;
}

//! A failure data file of a fleet of 10 with the cause "Насос" and the given failure lines.
QStringList fdtLines(const QStringList &failures, const QString &sred = QStringLiteral("1000.0"),
                     const QString &sko = QStringLiteral("250"),
                     const QString &fleet = QStringLiteral("10"),
                     const QString &kolOtk = QStringLiteral("2"),
                     const QString &causes = QStringLiteral("1"))
{
    return QStringList{QStringLiteral("Изделие Т"), sred, sko, fleet, kolOtk, causes,
                       QStringLiteral("Насос")} +
           failures;
}

}   // namespace

class Form1Test : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void designControls();
    void layoutFitsDesign();
    void maximisedWindowGivesRoomToGridAndLog();
    void longTextsStayReadable();
    void loadSample_data();
    void loadSample();
    void secondLoadReplacesRows();
    void failedLoadsChangeNothing();
    void badFiles_data();
    void badFiles();
    void cancelReloadsRememberedFile();
    void refusedFileLeavesTheLoadedOneNamed();
    void dialogsPreselectOnlyTheirKindOfFile();
    void enterGoesToDefaultButton();
    void calculation_data();
    void calculation();
    void calculationRefusals();
    void noFailureDataGivesOneClearMessage();
    void boxTellsItsSeparator();
    void impossibleWarrantyFigures_data();
    void loadWarningsGoToTheLog();
    void impossibleWarrantyFigures();
    void warrantyFile_data();
    void warrantyFile();
    void saveLog();
    void nonparametric();
    void geneticRunStoppedMidway();
    void closingDuringRunStopsIt();
    void startStopStress();
    void calculationRunsOffTheWindowThread();
    void stoppedCalculationKeepsTheEarlierState();
    void closingDuringCalculation();
    void calculationStartCancelCycles();
    void trackBarsDoNotWriteBackRunPositions();
    void detailedGeneticLogStopsAndStaysBounded();
    void logKeepsItsHeadAndTail();
    void geneticModelFollowsANewHistogram();
    void coreMessagesReachTheWindow();
    void qtSpeaksRussian();
    void startUpWindows();
    void screenshot();

private:
    QTemporaryDir m_cwd;
    QString m_oldCwd;
};

void Form1Test::initTestCase()
{
    QVERIFY(m_cwd.isValid());
    QVERIFY2(QFile::exists(samplePath()), "OBROTK_SOURCE_DIR must point to the source tree");
    m_oldCwd = QDir::currentPath();
    // The link file is written to the working directory.
    QDir::setCurrent(m_cwd.path());
}

void Form1Test::init()
{
    QLocale::setDefault(QLocale::c());
    QFile::remove(QStringLiteral("linkFdt.txt"));
}

void Form1Test::cleanupTestCase() { QDir::setCurrent(m_oldCwd); }

// ------------------------------------------------------------------------- design

void Form1Test::designControls()
{
    Harness h;
    TForm1 &f = h.form1;
    QCOMPARE(f.size(), QSize(1205, 675));
    QVERIFY(f.windowTitle().startsWith(QStringLiteral("Анализ надежности в эксплуатации.  ")));

    struct Text {
        const char *name;
        QString text;
    };
    const Text texts[] = {
        {"Label1", QStringLiteral("Файл исходных данных:")},
        {"OpenFileStart", QStringLiteral("Путь")},
        {"FilePath", TForm1::designRoot()},
        {"Label2", QStringLiteral("Общее количество объектов в гарантийной эксплуатации")},
        {"Label3", QStringLiteral("Количество несвязных отказов 2-3 групп сложности")},
        {"meSredLabel", QStringLiteral(" Среднее время гарантии")},
        {"meSKOLabel", QStringLiteral(" СКО времени гарантии")},
        {"LabeledEdit2Label", QStringLiteral(" Период учета отказов на 1 изделие, ч")},
        {"meSred", QString()},
        {"Label4", QStringLiteral("Особенности  расчета параметров модели")},
        {"Label5", QStringLiteral("Коэф-т уменьшения шага модели 1.1")},
        {"Label17", QStringLiteral("Коэф-т уменьшения шага модели 1.2")},
        {"Label16", QStringLiteral("Коэф-т уменьшения шага модели 2")},
        {"Edit1", QStringLiteral("1.00025")},
        {"Edit6", QStringLiteral("1.00025")},
        {"Edit5", QStringLiteral("1.0005")},
        {"SpirSpusk", QStringLiteral("Модель 1.1 по Пирсону, метод спирального спуска ")},
        {"BoxNewton", QStringLiteral("Модель 1.2 по Пирсону, метод Ньютона ")},
        {"BoxSmirnow", QStringLiteral("Модель 2 (по Смирнову)")},
        {"Sred_flag", QStringLiteral("Подбор СВН")},
        {"SKO_Flag", QStringLiteral("Подбор СКО")},
        {"bbRaschet", QStringLiteral("Расчет")},
        {"Edit2", QStringLiteral("0.0000001")},
        {"Edit2Label", QStringLiteral("Точность подбора")},
        {"Edit3", QStringLiteral("3000")},
        {"Edit3Label", QStringLiteral("Размер популяции")},
        {"NPokoleny", QStringLiteral("1500")},
        {"NPokolenyLabel", QStringLiteral("Число поколений")},
        {"ToolBRunGenOptim", QStringLiteral("Расчет (генетический алгоритм)")},
        {"StopBtn", QStringLiteral("Stop")},
        {"Label18", QStringLiteral("Ход расчета")},
        {"Label7", QStringLiteral("Вероятность скрещивания")},
        {"Label8", QStringLiteral("Вероятность мутаций")},
        {"btnCopyBest", QStringLiteral("Скопировать лучших")},
        {"LabeledEdit1", QStringLiteral("50")},
        {"LabeledEdit1Label", QStringLiteral("шт.")},
        {"CheckBoxProm", QStringLiteral("Вывод хода расчета")},
        {"SaveFileBTN", QStringLiteral("Вывод в файл")},
        {"Button1", QStringLiteral("Анализ непараметрический")},
        {"Label9", QStringLiteral("Файл данных по гарантийным срокам:")},
        {"SpeedButton1", QStringLiteral("File")},
        {"Edit4", TForm1::designRoot()},
        {"Label15", QStringLiteral("Комментарий")},
        {"Label11", QStringLiteral("Количество объектов для анализа")},
        {"Label14", QStringLiteral("Результат расчета параметров гарантийного срока")},
        {"Label12", QStringLiteral("Среднее время гарантии, ч.")},
        {"Label13", QStringLiteral("СКО времени гарантии, ч.")},
        {"TabSheet1Tab", QStringLiteral("1. Подбор параметров распределения (основной)")},
        {"TabSheet2Tab", QStringLiteral("2. Генетический алгоритм")},
        {"TabSheet3Tab", QStringLiteral("3. Непараметрич. обработка")},
    };
    for (const Text &t : texts) {
        QObject *o = f.findChild<QObject *>(QLatin1String(t.name));
        QVERIFY2(o, t.name);
        QString actual;
        if (auto *l = qobject_cast<QLabel *>(o))
            actual = l->text();
        else if (auto *e = qobject_cast<QLineEdit *>(o))
            actual = e->text();
        else if (auto *b = qobject_cast<QAbstractButton *>(o))
            actual = b->text();
        QVERIFY2(actual == t.text, t.name);
    }

    QCOMPARE(f.Label10->text(), QString());
    QCOMPARE(f.Label10->font().pixelSize(), 17);
    QCOMPARE(f.Memo2->toPlainText(), QStringLiteral("Ход решения"));
    QCOMPARE(
        f.OpenFileStart->toolTip(),
        QStringLiteral("Файл содержит строки комментария, среднего времени окончания гарантии, "
                       "СКО гарантии, парка, числа всех отказов и массив времен отказов"));
    QCOMPARE(f.meSredLabel->toolTip(), QStringLiteral("Среднее время наблюдений"));
    QCOMPARE(f.LabeledEdit2Label->toolTip(), QStringLiteral("Среднее время наблюдений"));
    QCOMPARE(f.Edit1->placeholderText(), QStringLiteral("Минимум попадпний в столбец гистограммы"));
    QCOMPARE(f.Edit6->placeholderText(), f.Edit1->placeholderText());
    QCOMPARE(f.LabeledEdit1->placeholderText(),
             QStringLiteral("Скопировать из популяции лучшие варианты и убрать столько же худших"));
    QCOMPARE(f.Mass_List->toolTip(), QStringLiteral("Данные из файла об отказах изделий"));

    QVERIFY(f.SpirSpusk->isChecked());
    QVERIFY(!f.BoxNewton->isChecked());
    QVERIFY(!f.BoxSmirnow->isChecked());
    QVERIFY(!f.Sred_flag->isChecked());
    QVERIFY(!f.SKO_Flag->isChecked());
    QVERIFY(!f.CheckBoxProm->isChecked());
    QCOMPARE(f.RadioGroup1->title(), QStringLiteral("Критерии подбора закона распределения"));
    QCOMPARE(f.RadioGroup1Items->checkedId(), 1);
    QCOMPARE(f.RadioGroup1Items->button(0)->text(), QStringLiteral("Стандарт"));
    QCOMPARE(f.RadioGroup1Items->button(1)->text(), QStringLiteral("Спец 1"));
    QCOMPARE(f.RadioGroup1Items->button(2)->text(), QStringLiteral("Спец 2"));
    QCOMPARE(f.bbRaschet->font().pixelSize(), 16);
    QVERIFY(f.bbRaschet->font().bold());
    QCOMPARE(f.Button1->font().pixelSize(), 13);

    for (auto [bar, pos] : {std::pair{f.TrackBar1, 55}, std::pair{f.TrackBar2, 15}}) {
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(bar->tickInterval(), 5);
        QCOMPARE(bar->value(), pos);
    }
    QCOMPARE(f.ProgressBar2->value(), 0);
    QCOMPARE(f.ProgressBar2->maximum(), 100);

    // Five tabs as buttons (the fourth opens the life-data window, the fifth the cohort
    // window); the first is active.
    QCOMPARE(f.PageControl->count(), 5);
    QCOMPARE(f.PageControl->currentIndex(), 0);
    QTest::mouseClick(f.PageControl->tabButton(2), Qt::LeftButton);
    QCOMPARE(f.PageControl->currentIndex(), 2);
    QVERIFY(f.PageControl->tabButton(2)->isChecked());
    QVERIFY(!f.PageControl->tabButton(0)->isChecked());

    // The grid before any load: 24 empty body rows under the header, 4 columns of 100 px.
    QCOMPARE(f.gridModel()->rowCount(), 24);
    QCOMPARE(f.gridModel()->columnCount(), 4);
    QCOMPARE(f.Mass_List->horizontalHeader()->sectionSize(0), 100);

    // Regions of the design.
    QCOMPARE(f.PageControl->geometry(), QRect(0, 33, 320, 460));
    QCOMPARE(f.Panel4->geometry(), QRect(2, 495, 314, 180));
    QCOMPARE(f.Panel1->geometry(), QRect(322, 33, 413, 170));
    QCOMPARE(f.Memo2->geometry(), QRect(733, 0, 468, 203));
    QCOMPARE(f.Mass_List->geometry(), QRect(322, 199, 883, 475));
}

void Form1Test::layoutFitsDesign()
{
    // Every control lies inside its container, no label is cut, and no two controls of a
    // panel or tab overlap.
    Harness h;
    h.form1.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.form1));
    TForm1 &f = h.form1;
    const QList<QWidget *> containers = {f.Panel1,    f.Panel4,    f.TabSheet1,
                                         f.TabSheet2, f.TabSheet3, f.RadioGroup1};
    for (QWidget *c : containers) {
        QList<QWidget *> kids;
        for (QObject *o : c->children()) {
            auto *w = qobject_cast<QWidget *>(o);
            if (w && !w->isWindow() && !w->objectName().isEmpty())
                kids << w;
        }
        QVERIFY(!kids.isEmpty());
        for (QWidget *w : kids) {
            const QString where = c->objectName() + QLatin1Char('/') + w->objectName();
            QVERIFY2(c->rect().contains(w->geometry()),
                     qPrintable(where + " outside its container"));
            if (auto *l = qobject_cast<QLabel *>(w))
                QVERIFY2(l->sizeHint().width() <= l->width() &&
                             l->sizeHint().height() <= l->height(),
                         qPrintable(where + " is cut"));
            if (auto *b = qobject_cast<QPushButton *>(w)) {
                // Push buttons have a style minimum wider than their text: measure the text.
                const int icon = b->icon().isNull() ? 0 : b->iconSize().width() + 4;
                QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) + icon + 8 <= b->width(),
                         qPrintable(where + " is cut"));
            } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
                QVERIFY2(b->sizeHint().width() <= b->width() + 2, qPrintable(where + " is cut"));
            }
        }
        // Controls hidden in the design (the calculation's progress, shown in place of
        // «Расчет» while it runs) may share a place with a shown one.
        for (int i = 0; i < kids.size(); ++i)
            for (int j = i + 1; j < kids.size(); ++j)
                QVERIFY2(kids[i]->isHidden() || kids[j]->isHidden() ||
                             !kids[i]->geometry().intersects(kids[j]->geometry()),
                         qPrintable(c->objectName() + ": " + kids[i]->objectName() + " overlaps " +
                                    kids[j]->objectName()));
    }
    // The tab buttons wrap onto lines of their own within the page control.
    for (int i = 0; i < f.PageControl->count(); ++i) {
        QPushButton *b = f.PageControl->tabButton(i);
        QVERIFY(f.PageControl->rect().contains(b->geometry()));
        QVERIFY(b->sizeHint().width() <= b->width() + 2);
    }
    QVERIFY(f.PageControl->tabsHeight() <= 4 * 27);
}

// ------------------------------------------------------------------------- loading

void Form1Test::loadSample_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("period") << QStringLiteral("period");
    QTest::newRow("comma") << QStringLiteral("comma");
}

void Form1Test::loadSample()
{
    QFETCH(QString, locale);
    setLocale(locale);
    Harness h;
    TForm1 &f = h.form1;
    const QChar d = h.dec();
    h.load(samplePath());

    QCOMPARE(h.msgs.total(), 0);
    QCOMPARE(h.chooser.filters, QStringList{QStringLiteral("Файл данных по отказам (*.fdt)")});
    QCOMPARE(f.FilePath->text(), QDir::toNativeSeparators(samplePath()));
    QCOMPARE(f.Label10->text(),
             QStringLiteral("Изделие К-120, гарантийная эксплуатация 2018-2019 гг."));
    QCOMPARE(h.form2.Label10->text(), f.Label10->text());
    QCOMPARE(f.meSred->text(), QStringLiteral("1000"));
    QCOMPARE(f.meSKO->text(), QStringLiteral("250"));
    QCOMPARE(f.meKolAll->text(), QStringLiteral("2000"));
    QCOMPARE(f.meKolOtk->text(), QStringLiteral("660"));
    QCOMPARE(f.LabeledEdit2->text(), QStringLiteral("1000"));
    QCOMPARE(f.Edit1->text(), QStringLiteral("1") + d + QStringLiteral("00025"));
    QCOMPARE(f.Edit6->text(), QStringLiteral("1") + d + QStringLiteral("00025"));
    QCOMPARE(f.Edit5->text(), QStringLiteral("1") + d + QStringLiteral("0005"));
    QCOMPARE(f.Edit2->text(), QStringLiteral("0") + d + QStringLiteral("0000002"));
    QCOMPARE(f.NPokoleny->text(), QStringLiteral("1800"));
    QVERIFY(h.state.uk);

    // One row per failure, in time order, with the four headers and widths.
    const int n = int(h.state.MasProbl.size());
    QVERIFY(n > 100);
    QCOMPARE(f.gridModel()->rowCount(), n);
    // The designed widths; "Наработка, час" does not fit 90 pixels and widens its column
    // (longTextsStayReadable).
    const int widths[] = {65, 90, 200, 1000};
    for (int c = 0; c < 4; ++c) {
        QCOMPARE(f.gridModel()->headerData(c, Qt::Horizontal).toString(),
                 FailureGridModel::header(c));
        if (c == 1)
            QVERIFY(f.Mass_List->horizontalHeader()->sectionSize(c) >= widths[c]);
        else
            QCOMPARE(f.Mass_List->horizontalHeader()->sectionSize(c), widths[c]);
    }
    QCOMPARE(FailureGridModel::header(0), QStringLiteral(" № отказа"));
    QCOMPARE(h.cell(0, 0), QStringLiteral("1"));
    QCOMPARE(h.cell(n - 1, 0), QString::number(n));
    for (int r : {0, n / 2, n - 1})
        QCOMPARE(h.cell(r, 1), fmtGeneral(h.state.MasProbl[size_t(r)].time, d));
    for (int r = 1; r < n; ++r)
        QVERIFY(h.state.MasProbl[size_t(r - 1)].time <= h.state.MasProbl[size_t(r)].time);

    // Each reached threshold marks exactly one row, the failure at which it is reached.
    struct Mark {
        QString text;
        double figure;
    };
    const Mark marks[] = {{QStringLiteral(", отказов 10% от парка"), h.state.T90expl},
                          {QStringLiteral(", отказов 20% от парка"), h.state.T80expl}};
    for (const Mark &m : marks) {
        QVERIFY(m.figure > 0);
        int marked = -1;
        for (int r = 0; r < n; ++r)
            if (h.cell(r, 2).endsWith(m.text)) {
                QCOMPARE(marked, -1);
                marked = r;
            }
        QVERIFY2(marked >= 0, qPrintable(m.text));
        const auto &P = h.state.MasProbl;
        const double prev = marked > 0 ? P[size_t(marked - 1)].time : 0.0;
        QVERIFY(m.figure <= P[size_t(marked)].time && m.figure >= prev);
        QCOMPARE(h.cell(marked, 2),
                 h.state.Vidy_otkazov[size_t(P[size_t(marked)].chey)].Nazv_Prich + m.text);
    }

    // The link file names the file: Windows-1251, CR LF.
    const QByteArray link = fileBytes(QStringLiteral("linkFdt.txt"));
    QStringEncoder cp1251("windows-1251");
    QCOMPARE(link, QByteArray(cp1251(QDir::toNativeSeparators(samplePath()))) + "\r\n");
}

void Form1Test::secondLoadReplacesRows()
{
    Harness h;
    h.load(samplePath());
    const int n = h.form1.gridModel()->rowCount();
    QVERIFY(n > 5);
    h.load(dataPath(QStringLiteral("small.fdt")));
    QCOMPARE(h.msgs.total(), 0);
    QCOMPARE(h.form1.gridModel()->rowCount(), 5);
    // Times 100, 150, 200.25, 300.5, 400; the unmatched cause is "Не установл.".
    const QStringList times = {QStringLiteral("100"), QStringLiteral("150"),
                               QStringLiteral("200.25"), QStringLiteral("300.5"),
                               QStringLiteral("400")};
    for (int r = 0; r < 5; ++r)
        QCOMPARE(h.cell(r, 1), times[r]);
    QCOMPARE(h.cell(0, 2), QStringLiteral("Стартер"));
    QCOMPARE(h.cell(1, 2), QStringLiteral("Не установл., отказов 10% от парка"));
    QCOMPARE(h.cell(3, 2), QStringLiteral("Насос, отказов 20% от парка"));
    QCOMPARE(h.cell(3, 3), QStringLiteral("заменен"));
    QCOMPARE(h.cell(4, 3), QStringLiteral("регулировка"));
    QCOMPARE(h.form1.Label10->text(), QStringLiteral("Малая выборка"));
    // Cells can be edited; nothing reads the edits back, and the next load drops them.
    const QModelIndex cell = h.form1.gridModel()->index(0, 3);
    QVERIFY(h.form1.gridModel()->flags(cell) & Qt::ItemIsEditable);
    QVERIFY(h.form1.gridModel()->setData(cell, QStringLiteral("правка")));
    QCOMPARE(h.cell(0, 3), QStringLiteral("правка"));
    QCOMPARE(h.state.MasProbl.komment(0), QString());
    h.load(samplePath());
    QCOMPARE(h.form1.gridModel()->rowCount(), n);
    QCOMPARE(h.cell(0, 3), h.state.MasProbl.komment(0));
}

void Form1Test::failedLoadsChangeNothing()
{
    Harness h;
    TForm1 &f = h.form1;
    // Cancelling before any file was chosen does nothing at all.
    h.form1.OpenFileStartClick();
    h.form1.SpeedButton1Click();
    QCOMPARE(h.msgs.total(), 0);
    QVERIFY(!QFile::exists(QStringLiteral("linkFdt.txt")));
    QCOMPARE(f.FilePath->text(), TForm1::designRoot());

    h.load(dataPath(QStringLiteral("small.fdt")));
    QVERIFY(h.state.uk);

    // A file the reader refuses: the message, and the loaded data stay whole.
    h.load(dataPath(QStringLiteral("bad_header.fdt")));
    QCOMPARE(h.msgs.errors.size(), 1);
    QVERIFY(h.msgs.errors.first().startsWith(txt::dataErrorInLine));
    QCOMPARE(h.state.MasProbl.size(), size_t(5));
    QCOMPARE(h.state.Comment, QStringLiteral("Малая выборка"));
    QCOMPARE(f.gridModel()->rowCount(), 5);
    QCOMPARE(f.meKolAll->text(), QStringLiteral("20"));
    QVERIFY(h.state.uk);

    // A file far too large to be a data file: refused before it is read.
    const QString huge = QDir(m_cwd.path()).filePath(QStringLiteral("huge.fdt"));
    {
        QFile big(huge);
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(qint64(300) << 20));   // sparse: no disk space is used
    }
    h.load(huge);
    QCOMPARE(h.msgs.errors.size(), 2);
    QVERIFY2(h.msgs.errors.last().contains(QStringLiteral("слишком велик (300 МБ)")),
             qPrintable(h.msgs.errors.last()));
    QCOMPARE(h.state.MasProbl.size(), size_t(5));
    QCOMPARE(f.gridModel()->rowCount(), 5);
    QFile::remove(huge);

    // A file that does not exist: its message, uk cleared, nothing else changed.
    h.load(dataPath(QStringLiteral("no_such_file.fdt")));
    QCOMPARE(h.msgs.messages, QStringList{txt::fileNotFound});
    QVERIFY(!h.state.uk);
    QCOMPARE(h.state.MasProbl.size(), size_t(5));
    QCOMPARE(f.gridModel()->rowCount(), 5);
    // The link file names the last file chosen even when it could not be opened.
    QVERIFY(fileBytes(QStringLiteral("linkFdt.txt")).contains("no_such_file.fdt"));
    // A warranty file that does not exist: its place shown, the message, uk cleared.
    h.loadWarranty(dataPath(QStringLiteral("gar_missing.txt")));
    QCOMPARE(f.Edit4->text(),
             TForm1::fileLocationText(dataPath(QStringLiteral("gar_missing.txt"))));
    QCOMPARE(h.msgs.messages, (QStringList{txt::fileNotFound, txt::fileNotFound}));
    QVERIFY(!h.state.uk);
    QVERIFY(h.state.MasTGarant.empty());
    // A calculation now stops without a message: nothing opened successfully.
    h.form1.bbRaschetClick();
    h.form1.waitForCalculation();
    QCOMPARE(h.msgs.total(), 4);
    QVERIFY(!h.form2.isVisible());
}

void Form1Test::badFiles_data()
{
    // kind: "fdt" goes through the failure file's button, "gar" through the warranty
    // file's; expected: a part of the one error message, or empty for a file that loads.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    const QStringList two{QStringLiteral("10\tНасос"), QStringLiteral("20\tНасос")};
    const auto fdt = [](const QStringList &l) { return encodeLines(l); };
    const auto bad = [&](const char *name, const QByteArray &b, const char *expected) {
        QTest::newRow(name) << QStringLiteral("fdt") << b << QString::fromUtf8(expected);
    };
    bad("empty file", QByteArray(), "Файл исходных данных пуст");
    bad("header only", fdt(fdtLines({})), "нет ни одной строки отказа");
    bad("letters in the header", fdt(fdtLines(two, QStringLiteral("abc"))),
        "строке 2: «abc» не является числом");
    bad("comma in a header real", fdt(fdtLines(two, QStringLiteral("1000,5"))),
        "строке 2: «1000,5»");
    bad("fraction in a header integer",
        fdt(fdtLines(two, QStringLiteral("1000"), QStringLiteral("250"), QStringLiteral("10.5"))),
        "строке 4: «10.5» не является целым числом");
    bad("more than 18 causes",
        fdt(fdtLines(two, QStringLiteral("1000"), QStringLiteral("250"), QStringLiteral("10"),
                     QStringLiteral("2"), QStringLiteral("19"))),
        "строке 6: количество причин отказов 19");
    bad("cause count beyond the file",
        fdt(QStringList{QStringLiteral("c"), QStringLiteral("1000"), QStringLiteral("250"),
                        QStringLiteral("10"), QStringLiteral("2"), QStringLiteral("3"),
                        QStringLiteral("A")}),
        "строке 8: файл закончился раньше списка причин");
    bad("failure line without TAB", fdt(fdtLines({QStringLiteral("10 Насос")})),
        "строке 8: нет символа табуляции");
    bad("time not a number", fdt(fdtLines({QStringLiteral("1x0\tНасос")})),
        "строке 8: наработка «1x0» не является числом");
    bad("negative time", fdt(fdtLines({QStringLiteral("10\tНасос"), QStringLiteral("-5\tНасос")})),
        "строке 9: отрицательная наработка -5");
    bad("NaN time", fdt(fdtLines({QStringLiteral("NaN\tНасос")})), "строке 8: наработка «NaN»");
    bad("infinite time", fdt(fdtLines({QStringLiteral("inf\tНасос")})),
        "строке 8: наработка «inf»");
    bad("time beyond 1e12 h", fdt(fdtLines({QStringLiteral("2e12\tНасос")})),
        "строке 8: наработка 2e12 больше 1E12 ч");
    bad("KolOtk 0",
        fdt(fdtLines(two, QStringLiteral("1000"), QStringLiteral("250"), QStringLiteral("10"),
                     QStringLiteral("0"))),
        "Количество отказов в заголовке файла должно быть больше 0");
    bad("SKO 0", fdt(fdtLines(two, QStringLiteral("1000"), QStringLiteral("0"))),
        "СКО времени гарантии в заголовке файла должно быть больше 0");
    bad("SKO negative", fdt(fdtLines(two, QStringLiteral("1000"), QStringLiteral("-3"))),
        "СКО времени гарантии в заголовке файла должно быть больше 0");
    bad("warranty law reaches 1", fdt(fdtLines({QStringLiteral("1e9\tНасос")})),
        "строке 8: наработка 1000000000 ч");
    QByteArray nul = fdt(fdtLines(two));
    nul.insert(nul.indexOf("20\t") + 1, '\0');
    bad("NUL byte", nul, "строке 9: недопустимый символ с кодом 0");
    bad("line of 1 MB", fdt(fdtLines({QString(1 << 20, u'9') + QStringLiteral("x\tНасос")})),
        "строке 8: наработка «9999999999999999999999999999999999999999…» не является числом");

    // Other encodings and line ends load as the usual file does.
    const QByteArray crlf = fdt(fdtLines(two));
    QByteArray lf = crlf, cr = crlf;
    lf.replace("\r\n", "\n");
    cr.replace("\r\n", "\r");
    const QByteArray bom = "\xEF\xBB\xBF" + fdtLines(two).join(QStringLiteral("\r\n")).toUtf8();
    for (const auto &[name, b] :
         {std::pair{"UTF-8 with BOM", bom}, {"LF line ends", lf}, {"CR line ends", cr}})
        QTest::newRow(name) << QStringLiteral("fdt") << b << QString();

    const auto gar = [](const char *name, const QByteArray &b, const char *expected) {
        QTest::newRow(name) << QStringLiteral("gar") << b << QString::fromUtf8(expected);
    };
    gar("warranty: empty file", QByteArray(), "нет ни одного срока гарантии");
    gar("warranty: no values", encodeLines({QStringLiteral("Сроки")}),
        "нет ни одного срока гарантии");
    gar("warranty: one value", encodeLines({QStringLiteral("Сроки"), QStringLiteral("300")}),
        "только один срок гарантии");
    gar("warranty: a letter",
        encodeLines({QStringLiteral("Сроки"), QStringLiteral("300"), QStringLiteral("3x0")}),
        "строке 3: «3x0» не является числом");
    gar("warranty: equal values",
        encodeLines({QStringLiteral("Сроки"), QStringLiteral("300"), QStringLiteral("300")}),
        "СКО равно 0");
    QByteArray garNul =
        encodeLines({QStringLiteral("Сроки"), QStringLiteral("300"), QStringLiteral("400")});
    garNul.insert(garNul.indexOf("400"), '\0');
    gar("warranty: NUL byte", garNul, "строке 3: недопустимый символ с кодом 0");
}

void Form1Test::badFiles()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    Harness h;
    h.load(dataPath(QStringLiteral("small.fdt")));
    h.loadWarranty(dataPath(QStringLiteral("gar_three.txt")));
    QCOMPARE(h.msgs.total(), 0);
    const QStringList before = loadedSnapshot(h);

    const QString path = QDir(m_cwd.path())
                             .filePath(kind == QLatin1String("fdt") ? QStringLiteral("case.fdt")
                                                                    : QStringLiteral("case.txt"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(out.write(bytes), bytes.size());
    out.close();
    if (kind == QLatin1String("fdt"))
        h.load(path);
    else
        h.loadWarranty(path);

    if (expected.isEmpty()) {
        QCOMPARE(h.msgs.total(), 0);
        QCOMPARE(h.state.MasProbl.size(), size_t(2));
        QCOMPARE(h.form1.gridModel()->rowCount(), 2);
        QCOMPARE(h.state.Comment, QStringLiteral("Изделие Т"));
        QVERIFY(h.cell(1, 2).startsWith(QStringLiteral("Насос")));
        return;
    }
    QCOMPARE(h.msgs.messages.size(), 0);
    QCOMPARE(h.msgs.errors.size(), 1);
    const QString msg = h.msgs.errors.first();
    QVERIFY2(msg.contains(expected), qPrintable(msg.left(300)));
    QVERIFY2(msg.size() < 300, "a message box shows a short text");
    QCOMPARE(loadedSnapshot(h), before);
    // The data loaded before still calculate.
    h.quickSteps();
    h.form1.bbRaschetClick();
    h.form1.waitForCalculation();
    QCOMPARE(h.msgs.total(), 1);
    QVERIFY(h.state.MPirsS.Executed);
    h.form2.hide();
}

void Form1Test::cancelReloadsRememberedFile()
{
    Harness h;
    const QString small = dataPath(QStringLiteral("small.fdt"));
    h.load(small);
    h.state.MasProbl.clear();
    h.form1.OpenFileStartClick();   // cancelled: the dialog keeps the last file
    QCOMPARE(h.chooser.starts.last(), small);
    QCOMPARE(h.state.MasProbl.size(), size_t(5));
    QCOMPARE(h.form1.gridModel()->rowCount(), 5);
    // The warranty loader shares the dialog and its memory.
    h.loadWarranty(dataPath(QStringLiteral("gar_three.txt")));
    QCOMPARE(h.chooser.filters.last(), QStringLiteral("Файл времен гарантии (gar*.txt)"));
    // A warranty file is no failure data file: the failure dialog opens in its folder,
    // and a cancel loads nothing.
    h.form1.OpenFileStartClick();
    QCOMPARE(h.chooser.starts.last(),
             QFileInfo(dataPath(QStringLiteral("gar_three.txt"))).absolutePath());
    QCOMPARE(h.msgs.total(), 0);
    QCOMPARE(h.state.MasProbl.size(), size_t(5));
}

void Form1Test::refusedFileLeavesTheLoadedOneNamed()
{
    Harness h;
    TForm1 &f = h.form1;
    const QString small = dataPath(QStringLiteral("small.fdt"));
    const QString bad = dataPath(QStringLiteral("bad_header.fdt"));
    // No data yet: a refused file leaves the path box as it was.
    h.load(bad);
    QCOMPARE(h.msgs.errors.size(), 1);
    QVERIFY(!h.msgs.errors.last().contains(QStringLiteral("сохранены")));
    QCOMPARE(f.FilePath->text(), TForm1::designRoot());

    h.load(small);
    QCOMPARE(f.FilePath->text(), QDir::toNativeSeparators(small));
    h.load(bad);
    QCOMPARE(h.msgs.errors.size(), 2);
    // The box names the file whose data the grid shows, and the message says they stay.
    QCOMPARE(f.FilePath->text(), QDir::toNativeSeparators(small));
    QVERIFY2(h.msgs.errors.last().endsWith(form1txt::earlierDataKept(QStringLiteral("small.fdt"))),
             qPrintable(h.msgs.errors.last()));
    QVERIFY(h.msgs.errors.last().startsWith(txt::dataErrorInLine));
    // The link file still names the last file chosen.
    QVERIFY(fileBytes(QStringLiteral("linkFdt.txt")).contains("bad_header.fdt"));
    QCOMPARE(h.state.loadedFile, small);

    // The warranty panel: a refused file leaves Edit4 naming the file the boxes come from.
    const QString gar = dataPath(QStringLiteral("gar_three.txt"));
    h.loadWarranty(gar);
    const QString shown = f.Edit4->text();
    QCOMPARE(shown, TForm1::fileLocationText(gar));
    const QString garBad = QDir(m_cwd.path()).filePath(QStringLiteral("gar_bad.txt"));
    {
        QFile out(garBad);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(
            encodeLines({QStringLiteral("Сроки"), QStringLiteral("300"), QStringLiteral("3x0")}));
    }
    h.loadWarranty(garBad);
    QCOMPARE(h.msgs.errors.size(), 3);
    QVERIFY(h.msgs.errors.last().endsWith(form1txt::earlierWarrantyKept));
    QCOMPARE(f.Edit4->text(), shown);
    QCOMPARE(f.meSred->text(), QStringLiteral("200.0"));
    QCOMPARE(f.Label15->text(), QStringLiteral("Три изделия"));
}

void Form1Test::dialogsPreselectOnlyTheirKindOfFile()
{
    Harness h;
    const QString small = dataPath(QStringLiteral("small.fdt"));
    const QString gar = dataPath(QStringLiteral("gar_three.txt"));
    QVERIFY(TForm1::matchesFilter(gar, form1txt::warrantyFilter));
    QVERIFY(TForm1::matchesFilter(QStringLiteral("/x/GAR2018.TXT"), form1txt::warrantyFilter));
    QVERIFY(!TForm1::matchesFilter(small, form1txt::warrantyFilter));
    QVERIFY(!TForm1::matchesFilter(QStringLiteral("/x/sample.txt"), form1txt::warrantyFilter));
    QVERIFY(TForm1::matchesFilter(small, form1txt::failureFilter));

    h.load(small);
    // The warranty dialog opens in the data file's folder with nothing preselected, and a
    // cancel does not load the data file as a warranty file.
    h.form1.SpeedButton1Click();
    QCOMPARE(h.chooser.filters.last(), form1txt::warrantyFilter);
    QCOMPARE(h.chooser.starts.last(), QFileInfo(small).absolutePath());
    QCOMPARE(h.msgs.total(), 0);
    QVERIFY(h.state.MasTGarant.empty());
    QCOMPARE(h.form1.Edit4->text(), TForm1::designRoot());
    // A warranty file, once chosen, is offered again by its own dialog.
    h.loadWarranty(gar);
    h.form1.SpeedButton1Click();
    QCOMPARE(h.chooser.starts.last(), gar);
    QCOMPARE(h.msgs.total(), 0);
    QCOMPARE(h.state.MasTGarant.size(), size_t(3));
}

void Form1Test::noFailureDataGivesOneClearMessage()
{
    // Before any load, and after a warranty file alone: the calculation, the
    // nonparametric analysis and the genetic start all say that failure data are missing,
    // not that an empty box holds no number.
    for (bool warranty : {false, true}) {
        Harness h;
        if (warranty)
            h.loadWarranty(dataPath(QStringLiteral("gar_three.txt")));
        QCOMPARE(h.form1.meSKO->text().isEmpty(), !warranty);
        h.form1.bbRaschetClick();
        h.form1.Button1Click();
        h.form1.ToolBRunGenOptimClick();
        QCOMPARE(h.msgs.errors, QStringList(3, txt::noFailures));
        QCOMPARE(h.msgs.messages, QStringList());
        QVERIFY(!h.form2.isVisible() && !h.form3.isVisible() && !h.form1.genRunning());
    }
}

void Form1Test::boxTellsItsSeparator()
{
    setLocale(QStringLiteral("comma"));
    Harness h;
    h.load(dataPath(QStringLiteral("small.fdt")));
    h.form1.meSred->setText(QStringLiteral("1000.5"));
    h.form1.bbRaschetClick();
    h.form1.waitForCalculation();
    QCOMPARE(h.msgs.errors, QStringList{txt::notANumber(QStringLiteral("1000.5"),
                                                        QStringLiteral("Среднее время гарантии"),
                                                        txt::fractionHint(u','))});
    QVERIFY(h.msgs.errors.first().endsWith(QStringLiteral("дробная часть пишется через запятую)")));
    h.form1.Button1Click();
    QCOMPARE(h.msgs.errors.size(), 2);
    QCOMPARE(h.msgs.errors.last(), h.msgs.errors.first());
}

void Form1Test::maximisedWindowGivesRoomToGridAndLog()
{
    Harness h;
    TForm1 &f = h.form1;
    QCOMPARE(f.size(), QSize(1205, 675));
    QCOMPARE(f.minimumSize(), QSize(1205, 675));
    QVERIFY(f.maximumWidth() > 4000 &&
            f.maximumHeight() > 4000);   // the window manager may maximise it
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    const QList<QWidget *> fixed = {f.Label10, f.PageControl, f.Panel4, f.Panel1};
    QList<QRect> before;
    for (QWidget *w : fixed)
        before << w->geometry();
    f.resize(1605, 975);
    QCOMPARE(f.Memo2->geometry(), QRect(733, 0, 468 + 400, 203 + 100));
    QCOMPARE(f.Mass_List->geometry(), QRect(322, 199 + 100, 883 + 400, 475 + 200));
    for (int i = 0; i < fixed.size(); ++i)
        QCOMPARE(fixed[i]->geometry(), before[i]);
    QCOMPARE(f.Mass_List->geometry().bottom(), f.height() - 2);
    QCOMPARE(f.Memo2->geometry().right(), f.width() - 1 - 4);
    f.resize(1205, 675);
    QCOMPARE(f.Memo2->geometry(), QRect(733, 0, 468, 203));
    QCOMPARE(f.Mass_List->geometry(), QRect(322, 199, 883, 475));
}

void Form1Test::longTextsStayReadable()
{
    Harness h;
    TForm1 &f = h.form1;
    const QString longComment = QStringLiteral(
        "Изделие К-120 второй модернизации, гарантийная эксплуатация 2018-2019 гг. в "
        "северных районах, данные сервисных центров Урала и Сибири");
    const QString path = QDir(m_cwd.path()).filePath(QStringLiteral("long.fdt"));
    QStringList lines = fdtLines({QStringLiteral("10\tНасос"), QStringLiteral("20\tНасос")});
    lines[0] = longComment;
    {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(encodeLines(lines));
    }
    h.load(path);
    QCOMPARE(h.msgs.total(), 0);
    // Every header of the grid is whole; columns keep the designed widths where they fit.
    QHeaderView *hv = f.Mass_List->horizontalHeader();
    const int designed[4] = {65, 90, 200, 1000};
    for (int c = 0; c < 4; ++c) {
        const QString text =
            f.gridModel()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QVERIFY2(hv->fontMetrics().horizontalAdvance(text) + 8 <= hv->sectionSize(c),
                 qPrintable(text));
        QVERIFY(hv->sectionSize(c) >= designed[c]);
        QVERIFY(hv->sectionSize(c) <=
                std::max(designed[c], hv->fontMetrics().horizontalAdvance(text) + 8));
    }
    QCOMPARE(hv->sectionSize(0), 65);
    QVERIFY(hv->sectionSize(1) > 90);
    QCOMPARE(hv->sectionSize(2), 200);
    QCOMPARE(hv->sectionSize(3), 1000);
    // The heading: elided within its label, the whole comment in its tool tip.
    QCOMPARE(f.Label10->toolTip(), longComment);
    QVERIFY(f.Label10->text() != longComment);
    QVERIFY(f.Label10->text().endsWith(QChar(0x2026)));
    QVERIFY(f.Label10->fontMetrics().horizontalAdvance(f.Label10->text()) <= f.Label10->width());
    // A comment that fits keeps the designed font and needs no eliding.
    h.load(dataPath(QStringLiteral("small.fdt")));
    QCOMPARE(f.Label10->text(), QStringLiteral("Малая выборка"));
    QCOMPARE(f.Label10->font().pixelSize(), 17);

    // The warranty panel's comment line.
    const QString garPath = QDir(m_cwd.path()).filePath(QStringLiteral("gar_long.txt"));
    {
        QFile out(garPath);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(encodeLines({longComment, QStringLiteral("100"), QStringLiteral("200")}));
    }
    h.loadWarranty(garPath);
    QCOMPARE(h.msgs.total(), 0);
    QCOMPARE(f.Label15->toolTip(), longComment);
    QVERIFY(f.Label15->text().endsWith(QChar(0x2026)));
    QVERIFY(f.Label15->fontMetrics().horizontalAdvance(f.Label15->text()) <= f.Label15->width());
}

void Form1Test::enterGoesToDefaultButton()
{
    Harness h;
    h.form1.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.form1));
    h.chooser.openAnswers << dataPath(QStringLiteral("small.fdt"));
    h.form1.meSKO->setFocus();
    QTest::keyClick(h.form1.meSKO, Qt::Key_Return);
    QTRY_COMPARE(h.chooser.filters.size(), 1);
    QCOMPARE(h.state.MasProbl.size(), size_t(5));
}

// ------------------------------------------------------------------------- calculation

void Form1Test::calculation_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("spiral");
    QTest::addColumn<bool>("newton");
    QTest::addColumn<bool>("smirnov");
    QTest::newRow("spiral") << QStringLiteral("period") << true << false << false;
    QTest::newRow("newton") << QStringLiteral("period") << false << true << false;
    QTest::newRow("smirnov") << QStringLiteral("period") << false << false << true;
    QTest::newRow("all, comma locale") << QStringLiteral("comma") << true << true << true;
    QTest::newRow("none") << QStringLiteral("period") << false << false << false;
}

void Form1Test::calculation()
{
    QFETCH(QString, locale);
    QFETCH(bool, spiral);
    QFETCH(bool, newton);
    QFETCH(bool, smirnov);
    setLocale(locale);
    Harness h;
    TForm1 &f = h.form1;
    h.load(samplePath());
    // A model of an earlier calculation by another method is not shown again.
    h.state.MPirsS.Executed = h.state.MPirsN.Executed = h.state.MSmirn.Executed = true;
    h.quickSteps();
    f.SpirSpusk->setChecked(spiral);
    f.BoxNewton->setChecked(newton);
    f.BoxSmirnow->setChecked(smirnov);
    const int before = int(h.logLines().size());
    QTest::mouseClick(f.bbRaschet, Qt::LeftButton);
    f.waitForCalculation();

    QVERIFY2(h.msgs.total() == 0, qPrintable(h.msgs.errors.join(QLatin1Char('\n'))));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(h.state.MPirsS.Executed, spiral);
    QCOMPARE(h.state.MPirsN.Executed, newton);
    QCOMPARE(h.state.MSmirn.Executed, smirnov);
    QVERIFY(!h.state.Hist_Arr.empty());

    // Each fit's own line, then its 95% line, in the fixed order.
    QStringList expected;
    QStringList captions;
    const QChar d = h.dec();
    auto prefix = [](const QString &line) {
        return line.left(line.indexOf(QStringLiteral(" за ")) + 4);
    };
    if (spiral)
        expected << prefix(fittxt::spiralDone(0)) << histMadeLine(h.state.MPirsS.SKO_out, d);
    if (newton)
        expected << prefix(fittxt::newtonDone(0)) << histMadeLine(h.state.MPirsN.SKO_out, d);
    if (smirnov)
        expected << prefix(fittxt::smirnovDone(0)) << histMadeLine(h.state.MSmirn.SKO_out, d);
    if (newton)
        captions << QStringLiteral("Пирсона/Ньютона");
    if (spiral)
        captions << QStringLiteral("Пирсона/спир.спуск");
    if (smirnov)
        captions << QStringLiteral("Смирнова ");
    captions << QStringLiteral("Данные эксплуатации");
    const QStringList added = h.logLines().mid(before);
    QCOMPARE(added.size(), expected.size());
    for (int i = 0; i < added.size(); ++i)
        QVERIFY2(added[i].startsWith(expected[i]), qPrintable(added[i]));

    // The results window shows one column per fitted model beside the data column.
    QVERIFY(h.form2.isVisible());
    QCOMPARE(h.resultCaptions(), captions);
    h.form2.hide();
}

void Form1Test::calculationRefusals()
{
    Harness h;
    TForm1 &f = h.form1;
    // A warranty file sets uk, yet there are no failures to fit: refused with a message.
    h.loadWarranty(dataPath(QStringLiteral("gar_three.txt")));
    QVERIFY(h.state.uk);
    f.LabeledEdit2->setText(QStringLiteral("200"));
    f.bbRaschetClick();
    f.waitForCalculation();
    QCOMPARE(h.msgs.errors, QStringList{txt::noFailures});
    QVERIFY(!h.form2.isVisible());
    f.Button1Click();
    QCOMPARE(h.msgs.total(), 2);
    QVERIFY(!h.form3.isVisible());
    f.ToolBRunGenOptimClick();
    QCOMPARE(h.msgs.total(), 3);
    QCOMPARE(h.msgs.errors, QStringList(3, txt::noFailures));
    QVERIFY(!f.genRunning());
    h.msgs = test::FakeMessages();

    h.load(dataPath(QStringLiteral("small.fdt")));
    h.quickSteps();
    h.state.MPirsS.Executed = true;

    // A box that does not hold a number: its message; no flag cleared.
    f.meSred->setText(QStringLiteral("abc"));
    f.bbRaschetClick();
    f.waitForCalculation();
    QCOMPARE(h.msgs.errors, QStringList{txt::notANumber(QStringLiteral("abc"),
                                                        QStringLiteral("Среднее время гарантии"))});
    QVERIFY(h.state.MPirsS.Executed);
    f.meSred->setText(QStringLiteral("500"));

    // An empty path box.
    f.FilePath->clear();
    f.bbRaschetClick();
    f.waitForCalculation();
    QCOMPARE(h.msgs.messages, QStringList{txt::noPath});
    QVERIFY(!h.state.MPirsS.Executed);
    QVERIFY(!h.form2.isVisible());
    f.FilePath->setText(dataPath(QStringLiteral("small.fdt")));

    // A precision that is no number: its message, and no run starts.
    f.Edit2->setText(QStringLiteral("abc"));
    f.ToolBRunGenOptimClick();
    QCOMPARE(h.msgs.errors.size(), 2);
    QVERIFY(h.msgs.errors.last().contains(QStringLiteral("abc")));
    QVERIFY(!f.genRunning());
    QVERIFY(f.ToolBRunGenOptim->isEnabled() && f.Edit3->isEnabled());

    // An error inside the calculation: the message, the normal cursor again.
    f.Edit1->setText(QStringLiteral("0.5"));
    f.bbRaschetClick();
    f.waitForCalculation();
    QCOMPARE(h.msgs.errors.size(), 3);
    QCOMPARE(h.msgs.errors.last(),
             fittxt::coefficientTooSmall(QStringLiteral("0.5"), f.Label5->text()));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(!h.form2.isVisible());
}

void Form1Test::impossibleWarrantyFigures_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("command");   // calculation, nonparam, genetic
    QTest::addColumn<QString>("sred");
    QTest::addColumn<QString>("sko");
    QTest::addColumn<QString>("tgar");
    QTest::addColumn<QByteArray>("warranty");   // a warranty-times file loaded first
    QTest::addColumn<QString>("expected");
    const QByteArray none;
    QTest::newRow("deviation 0") << "period"
                                 << "calculation"
                                 << "500"
                                 << "0"
                                 << "500" << none
                                 << "СКО времени гарантии должно быть больше 0, а задано 0";
    QTest::newRow("mean 0, comma")
        << "comma"
        << "calculation"
        << "0"
        << "100"
        << "500" << none << "Среднее время гарантии должно быть больше 0, а задано 0";
    QTest::newRow("negative mean") << "comma"
                                   << "calculation"
                                   << "-500,5"
                                   << "100"
                                   << "500" << none << "а задано -500,5";
    QTest::newRow("negative deviation") << "period"
                                        << "calculation"
                                        << "500"
                                        << "-1"
                                        << "500" << none << "а задано -1";
    QTest::newRow("negative period")
        << "period"
        << "calculation"
        << "500"
        << "100"
        << "-1" << none << "Гарантийный срок для расчета не может быть отрицательным, а задано -1";
    QTest::newRow("all past the warranty")
        << "period"
        << "calculation"
        << "1"
        << "1"
        << "500" << none << "что все изделия уже выбыли из наблюдения";
    QTest::newRow("warranty file in years") << "period"
                                            << "calculation"
                                            << ""
                                            << ""
                                            << "500" << QByteArray("c\r\n1\r\n2\r\n3\r\n")
                                            << "что все изделия уже выбыли из наблюдения";
    QTest::newRow("warranty deviation rounds to 0")
        << "comma"
        << "calculation"
        << ""
        << ""
        << "500" << QByteArray("c\r\n500\r\n500.01\r\n500.02\r\n")
        << "СКО времени гарантии должно быть больше 0, а задано 0";
    QTest::newRow("nonparametric, deviation 0")
        << "period"
        << "nonparam"
        << "500"
        << "0"
        << "500" << none << "СКО времени гарантии должно быть больше 0";
    QTest::newRow("nonparametric, mean negative")
        << "period"
        << "nonparam"
        << "-5"
        << "100"
        << "500" << none << "Среднее время гарантии должно быть больше 0";
}

void Form1Test::impossibleWarrantyFigures()
{
    QFETCH(QString, locale);
    QFETCH(QString, command);
    QFETCH(QString, sred);
    QFETCH(QString, sko);
    QFETCH(QString, tgar);
    QFETCH(QByteArray, warranty);
    QFETCH(QString, expected);
    setLocale(locale);
    Harness h;
    TForm1 &f = h.form1;
    h.load(dataPath(QStringLiteral("small.fdt")));
    h.quickSteps();
    if (!warranty.isEmpty()) {
        const QString gar = m_cwd.filePath(QStringLiteral("gar_case.txt"));
        QFile g(gar);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(warranty);
        g.close();
        h.loadWarranty(gar);
        QVERIFY(h.msgs.errors.isEmpty());
    }
    if (!sred.isEmpty())
        f.meSred->setText(sred);
    if (!sko.isEmpty())
        f.meSKO->setText(sko);
    f.LabeledEdit2->setText(tgar);
    State &s = h.state;
    s.MPirsS.Executed = true;
    const double Sred = s.Sred, SKO = s.SKO, tGar = s.tGar;
    const QString log = f.Memo2->toPlainText();

    if (command == u"calculation")
        f.bbRaschetClick();
    else
        f.Button1Click();
    QVERIFY2(h.msgs.errors.size() == 1,
             qPrintable(h.msgs.messages.join(u'|') + u'#' + f.Memo2->toPlainText()));
    QVERIFY2(h.msgs.errors[0].contains(expected), qPrintable(h.msgs.errors[0]));
    // Refused before anything changed: figures, flags, log, windows.
    QCOMPARE(s.Sred, Sred);
    QCOMPARE(s.SKO, SKO);
    QCOMPARE(s.tGar, tGar);
    QVERIFY(s.MPirsS.Executed);
    QCOMPARE(f.Memo2->toPlainText(), log);
    QVERIFY(!h.form2.isVisible());
    QVERIFY(!h.form3.isVisible());
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void Form1Test::loadWarningsGoToTheLog()
{
    Harness h;
    const QString path = m_cwd.filePath(QStringLiteral("declared_one.fdt"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    // Three failures listed, one declared: loaded, with two lines in the log.
    f.write(encodeLines(fdtLines(
        {QStringLiteral("100\tНасос"), QStringLiteral("200\tНасос"), QStringLiteral("300\tНасос")},
        QStringLiteral("1000.0"), QStringLiteral("250"), QStringLiteral("10"),
        QStringLiteral("1"))));
    f.close();
    h.load(path);
    QVERIFY(h.msgs.errors.isEmpty());
    QCOMPARE(h.state.Kol_izw, 3);
    const QStringList log = h.logLines();
    QCOMPARE(log.size(), 3);
    QCOMPARE(log[0], txt::logStart);
    QVERIFY(
        log[1].contains(QStringLiteral("указано отказов: 1, а строк отказов в файле больше: 3")));
    QVERIFY(log[2].contains(QStringLiteral("всего 3 строк отказов")));
}

// ------------------------------------------------------------------------- warranty file

void Form1Test::warrantyFile_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("period") << QStringLiteral("period");
    QTest::newRow("comma") << QStringLiteral("comma");
}

void Form1Test::warrantyFile()
{
    QFETCH(QString, locale);
    setLocale(locale);
    Harness h;
    TForm1 &f = h.form1;
    h.load(dataPath(QStringLiteral("small.fdt")));
    const QString path = dataPath(QStringLiteral("gar_three.txt"));
    h.loadWarranty(path);
    QCOMPARE(h.msgs.total(), 0);
    const QChar d = h.dec();
    QCOMPARE(f.Edit4->text(), TForm1::fileLocationText(path));
    QVERIFY(f.Edit4->text().endsWith(QStringLiteral("/gar_three.txt")));
    QCOMPARE(f.Label15->text(), QStringLiteral("Три изделия"));
    QCOMPARE(f.MaskEdit1->text(), QStringLiteral("3"));
    QCOMPARE(f.meSred->text(), QStringLiteral("200") + d + QStringLiteral("0"));
    QCOMPARE(f.meSKO->text(), QStringLiteral("100") + d + QStringLiteral("0"));
    QCOMPARE(f.MaskEditSrednee->text(), QStringLiteral("200") + d + QStringLiteral("000"));
    QCOMPARE(f.MaskEditSKO->text(), QStringLiteral("100") + d + QStringLiteral("000"));
    QCOMPARE(h.state.Sred, 200.0);
    QCOMPARE(h.state.SKO, 100.0);
    QCOMPARE(h.state.Comment, QStringLiteral("Три изделия"));
    QCOMPARE(h.state.MasTGarant.size(), size_t(3));
    // The failure data and the period box stay as the failure file left them.
    QCOMPARE(h.state.MasProbl.size(), size_t(5));
    QCOMPARE(f.LabeledEdit2->text(), QStringLiteral("500"));
    QCOMPARE(f.gridModel()->rowCount(), 5);

    // The next calculation reads the boxes the warranty load wrote.
    h.quickSteps();
    f.bbRaschetClick();
    f.waitForCalculation();
    QCOMPARE(h.msgs.total(), 0);
    QCOMPARE(h.state.MPirsS.Sred, 200.0);
    h.form2.hide();
}

void Form1Test::saveLog()
{
    Harness h;
    const QString out = QDir(m_cwd.path()).filePath(QStringLiteral("log.txt"));
    // Cancel writes nothing.
    h.form1.SaveFileBTNClick();
    QCOMPARE(h.chooser.saves, 1);
    QVERIFY(!QFile::exists(out));
    // Before any calculation: the single first line.
    h.chooser.saveAnswer = out;
    h.form1.SaveFileBTNClick();
    QCOMPARE(fileBytes(out), QByteArray("\xD5\xEE\xE4 \xF0\xE5\xF8\xE5\xED\xE8\xFF\r\n"));
    // Lines in Windows-1251 with CR LF; an existing file is replaced.
    h.form1.Memo2->appendPlainText(QStringLiteral("СКО 1.5"));
    h.form1.SaveFileBTNClick();
    QStringDecoder cp1251("windows-1251");
    QCOMPARE(QString(cp1251(fileBytes(out))), QStringLiteral("Ход решения\r\nСКО 1.5\r\n"));
    // A file that cannot be written: its message, nothing else.
    h.chooser.saveAnswer = QDir(m_cwd.path()).filePath(QStringLiteral("no_dir/log.txt"));
    h.form1.SaveFileBTNClick();
    QCOMPARE(h.msgs.errors.size(), 1);
    QVERIFY(h.msgs.errors.first().contains(QStringLiteral("log.txt")));
}

void Form1Test::nonparametric()
{
    Harness h;
    h.load(samplePath());
    h.form1.PageControl->setCurrentIndex(2);
    QTest::mouseClick(h.form1.Button1, Qt::LeftButton);
    QCOMPARE(h.msgs.total(), 0);
    QVERIFY(h.form3.isVisible());
    QVERIFY(h.form3.Label2->text().startsWith(QStringLiteral("- без учета цензурирования:")));
    QVERIFY(!h.state.Hist_Arr.empty());
    h.form3.hide();
}

// ------------------------------------------------------------------------- genetic optimiser

void Form1Test::geneticRunStoppedMidway()
{
    Harness h;
    TForm1 &f = h.form1;
    h.load(samplePath());
    h.geneticSettings("30", "100000");
    f.CheckBoxProm->setChecked(true);
    QSignalSpy finished(&f, &TForm1::geneticRunFinished);
    const int before = int(h.logLines().size());

    f.PageControl->setCurrentIndex(1);
    QTest::mouseClick(f.ToolBRunGenOptim, Qt::LeftButton);
    QCOMPARE(h.msgs.total(), 0);
    QVERIFY(f.genRunning());
    // Everything that would disturb the run waits for its end.
    for (QWidget *w : std::initializer_list<QWidget *>{f.ToolBRunGenOptim, f.Edit3, f.OpenFileStart,
                                                       f.SpeedButton1, f.bbRaschet, f.Button1})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(f.StopBtn->isEnabled() && f.btnCopyBest->isEnabled());
    // A handler reached another way refuses as well.
    const auto histBefore = h.state.Hist_Arr.size();
    f.bbRaschetClick();
    f.waitForCalculation();
    QVERIFY(!h.state.MPirsS.Executed);
    QCOMPARE(h.state.Hist_Arr.size(), histBefore);

    // The log grows on the user-interface thread while the run goes on.
    QTRY_VERIFY_WITH_TIMEOUT(h.logLines().size() > before + 3, 60000);
    QTest::mouseClick(f.btnCopyBest, Qt::LeftButton);
    QTest::mouseClick(f.StopBtn, Qt::LeftButton);
    QVERIFY(finished.wait(120000));

    for (QWidget *w : std::initializer_list<QWidget *>{f.ToolBRunGenOptim, f.Edit3, f.OpenFileStart,
                                                       f.SpeedButton1, f.bbRaschet, f.Button1})
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(!f.genRunning());
    QVERIFY(h.state.MGenet.Executed);
    QVERIFY(h.state.MGenet.A > 0 && h.state.MGenet.B > 0);
    QVERIFY(h.form2.isVisible());
    QVERIFY(h.resultCaptions().contains(QStringLiteral("Генетическая")));
    QCOMPARE(h.logLines().last(), histMadeLine(h.state.MGenet.SKO_out, h.dec()));
    QCOMPARE(h.msgs.total(), 0);

    // A later calculation keeps the genetic model beside the new one.
    h.quickSteps();
    f.bbRaschetClick();
    f.waitForCalculation();
    QCOMPARE(h.resultCaptions(),
             (QStringList{QStringLiteral("Пирсона/спир.спуск"), QStringLiteral("Генетическая"),
                          QStringLiteral("Данные эксплуатации")}));
    h.form2.hide();
}

void Form1Test::closingDuringRunStopsIt()
{
    Harness h;
    TForm1 &f = h.form1;
    h.load(samplePath());
    h.geneticSettings("30", "100000");
    f.show();
    f.ToolBRunGenOptimClick();
    auto *gen = f.findChild<TGen *>(QStringLiteral("Gen"));
    QVERIFY(gen);
    QPointer<TGen> watch(gen);
    QVERIFY(f.close());
    // close() returned only after the worker ended; nothing of the run is shown later.
    QVERIFY(gen->isFinished());
    QVERIFY(!f.genRunning());
    QVERIFY(f.ToolBRunGenOptim->isEnabled());
    QTRY_VERIFY(watch.isNull());
    QTest::qWait(50);
    QVERIFY(!h.form2.isVisible());
}

void Form1Test::startStopStress()
{
    Harness h;
    TForm1 &f = h.form1;
    h.load(samplePath());
    f.Edit3->setText(QStringLiteral("20"));
    f.LabeledEdit1->setText(QStringLiteral("3"));
    QSignalSpy finished(&f, &TForm1::geneticRunFinished);
    for (int i = 0; i < 20; ++i) {
        // A run leaves its count of stored bests in the generations box; ask for many again.
        f.NPokoleny->setText(QStringLiteral("1000000"));
        f.ToolBRunGenOptimClick();
        QVERIFY(f.genRunning());
        if (i % 2) {
            // Copy and stop in the same generation: both requests wait for its end.
            f.btnCopyBestClick();
            f.StopBtnClick();
        } else {
            QCoreApplication::processEvents();
            f.StopBtnClick();
        }
        QVERIFY2(finished.wait(60000), qPrintable(QStringLiteral("run %1 did not end").arg(i)));
        QVERIFY(!f.genRunning());
        QCOMPARE(finished.size(), i + 1);
    }
    QCOMPARE(h.msgs.total(), 0);
    for (QWidget *w : std::initializer_list<QWidget *>{f.ToolBRunGenOptim, f.Edit3, f.OpenFileStart,
                                                       f.SpeedButton1, f.bbRaschet, f.Button1})
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(f.findChildren<TGen *>().isEmpty() || !f.findChild<TGen *>()->isRunning());
    // The last run's model stands and the window still calculates.
    QVERIFY(h.state.MGenet.Executed);
    h.quickSteps();
    f.bbRaschetClick();
    f.waitForCalculation();
    QCOMPARE(h.msgs.total(), 0);
    QVERIFY(h.state.MPirsS.Executed);
    h.form2.hide();
}

namespace {

//! A Newton fit that runs for minutes: tiny steps shrinking by a millionth per pass.
void slowNewton(Harness &h)
{
    TForm1 &f = h.form1;
    f.SpirSpusk->setChecked(false);
    f.BoxNewton->setChecked(true);
    f.BoxSmirnow->setChecked(false);
    f.Edit6->setText(QStringLiteral("1") + h.dec() + QStringLiteral("000001"));
}

//! What a calculation may change in the state, for before/after comparisons.
QStringList calcSnapshot(const State &s)
{
    QStringList out{QString::number(s.Hist_Arr.size()), QString::number(s.Sred, 'g', 17),
                    QString::number(s.SKO, 'g', 17),    QString::number(s.tGar, 'g', 17),
                    QString::number(s.Sred_Opt),        QString::number(s.SKO_Opt)};
    for (const Mod_Weib *m : {&s.MPirsS, &s.MPirsN, &s.MSmirn, &s.MGenet})
        out << QStringLiteral("%1 %2 %3 %4")
                   .arg(m->Executed)
                   .arg(m->A, 0, 'g', 17)
                   .arg(m->B, 0, 'g', 17)
                   .arg(m->K_powtor, 0, 'g', 17);
    return out;
}

}   // namespace

void Form1Test::calculationRunsOffTheWindowThread()
{
    Harness h;
    TForm1 &f = h.form1;
    h.load(samplePath());
    slowNewton(h);
    f.show();
    f.bbRaschetClick();
    QVERIFY(f.calcRunning());
    // While the fit runs the window's own thread goes on: timers fire, the window
    // repaints, the progress names the method, the stop button takes clicks.
    int ticks = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(10);
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 5, 5000);
    f.repaint();
    QTRY_VERIFY(f.CalcProgressBar->text().startsWith(QStringLiteral("Метод Ньютона (1 из 1)")));
    QVERIFY(f.CalcProgressBar->isVisible() && f.StopCalcBtn->isVisible());
    QVERIFY(f.StopCalcBtn->isEnabled());
    // They stand where «Расчет» stands, which comes back when the calculation ends.
    QVERIFY(!f.bbRaschet->isVisible());
    QVERIFY(f.bbRaschet->geometry().contains(f.CalcProgressBar->geometry()));
    QVERIFY(f.bbRaschet->geometry().contains(f.StopCalcBtn->geometry()));
    for (QWidget *w : std::initializer_list<QWidget *>{f.OpenFileStart, f.SpeedButton1, f.bbRaschet,
                                                       f.Button1, f.ToolBRunGenOptim})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QSignalSpy finished(&f, &TForm1::calculationFinished);
    QTimer::singleShot(50, f.StopCalcBtn,
                       [&] { QTest::mouseClick(f.StopCalcBtn, Qt::LeftButton); });
    QVERIFY(finished.wait(10000));
    QVERIFY(!f.calcRunning());
    QVERIFY(!f.CalcProgressBar->isVisible() && !f.StopCalcBtn->isVisible());
    QVERIFY(f.bbRaschet->isVisible());
    for (QWidget *w : std::initializer_list<QWidget *>{f.OpenFileStart, f.SpeedButton1, f.bbRaschet,
                                                       f.Button1, f.ToolBRunGenOptim})
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    QCOMPARE(h.logLines().last(), QStringLiteral("Расчет прерван пользователем"));
    QCOMPARE(h.msgs.total(), 0);
}

void Form1Test::stoppedCalculationKeepsTheEarlierState()
{
    Harness h;
    TForm1 &f = h.form1;
    h.load(samplePath());
    // A finished calculation first: its models and the shown results window stand.
    h.quickSteps();
    f.BoxSmirnow->setChecked(true);
    f.bbRaschetClick();
    f.waitForCalculation();
    QVERIFY(h.form2.isVisible());
    QVERIFY(h.state.MPirsS.Executed && h.state.MSmirn.Executed);
    const QStringList before = calcSnapshot(h.state);
    const QStringList captions = h.resultCaptions();
    const int rows = f.gridModel()->rowCount();
    const QString firstRow = h.cell(0, 1);

    // Another calculation with other figures, stopped while its slow fit runs.
    f.meSred->setText(QStringLiteral("900"));
    slowNewton(h);
    f.Sred_flag->setChecked(true);
    f.bbRaschetClick();
    QVERIFY(!h.form2.isVisible());
    QTRY_VERIFY(f.CalcProgressBar->text().startsWith(QStringLiteral("Метод Ньютона")));
    f.StopCalcBtnClick();
    f.waitForCalculation();
    QCOMPARE(calcSnapshot(h.state), before);
    QCOMPARE(f.gridModel()->rowCount(), rows);
    QCOMPARE(h.cell(0, 1), firstRow);
    QVERIFY(h.form2.isVisible());
    QCOMPARE(h.resultCaptions(), captions);
    h.form2.hide();
}

void Form1Test::closingDuringCalculation()
{
    auto h = std::make_unique<Harness>();
    TForm1 &f = h->form1;
    h->load(samplePath());
    slowNewton(*h);
    f.show();
    f.bbRaschetClick();
    QTRY_VERIFY(f.CalcProgressBar->text().startsWith(QStringLiteral("Метод Ньютона")));
    QVERIFY(f.close());
    // close() returned after the worker ended; nothing of the run is published later.
    QVERIFY(!f.calcRunning());
    QTest::qWait(50);
    QVERIFY(!h->form2.isVisible());
    QVERIFY(!h->state.MPirsN.Executed);
    // A window destroyed while it calculates stops the run as well.
    auto g = std::make_unique<Harness>();
    g->load(samplePath());
    slowNewton(*g);
    g->form1.bbRaschetClick();
    QVERIFY(g->form1.calcRunning());
    g.reset();
}

void Form1Test::calculationStartCancelCycles()
{
    Harness h;
    TForm1 &f = h.form1;
    h.load(samplePath());
    slowNewton(h);
    const QStringList before = calcSnapshot(h.state);
    QSignalSpy finished(&f, &TForm1::calculationFinished);
    for (int i = 0; i < 20; ++i) {
        f.bbRaschetClick();
        QVERIFY(f.calcRunning());
        if (i % 2)
            QCoreApplication::processEvents();
        f.StopCalcBtnClick();
        QVERIFY2(finished.wait(10000), qPrintable(QStringLiteral("cycle %1 did not end").arg(i)));
        QVERIFY(!f.calcRunning());
    }
    QCOMPARE(finished.size(), 20);
    QCOMPARE(calcSnapshot(h.state), before);
    QCOMPARE(h.msgs.total(), 0);
    // The window still calculates to the end afterwards.
    h.quickSteps();
    f.bbRaschetClick();
    f.waitForCalculation();
    QVERIFY(h.state.MPirsN.Executed);
    QVERIFY(h.form2.isVisible());
    h.form2.hide();
}

void Form1Test::trackBarsDoNotWriteBackRunPositions()
{
    Harness h;
    TForm1 &f = h.form1;
    h.load(samplePath());
    h.geneticSettings("20", "40");
    QSignalSpy finished(&f, &TForm1::geneticRunFinished);
    f.ToolBRunGenOptimClick();
    auto *gen = f.findChild<TGen *>(QStringLiteral("Gen"));
    QVERIFY(gen);
    // Hold the event loop until the run has ended: its positions wait in the queue.
    QVERIFY(gen->wait(60000));
    // The run's own value may have moved on since it queued a position; showing an older
    // position must not write it back.
    GenControl &c = f.genControl();
    c.trackBar1.store(97);
    c.trackBar2.store(3);
    QVERIFY(finished.wait(60000));
    QCOMPARE(c.trackBar1.load(), 97);
    QCOMPARE(c.trackBar2.load(), 3);
    // What the user sets on a bar is the run's next setting.
    f.TrackBar1->setValue(f.TrackBar1->value() == 40 ? 41 : 40);
    QCOMPARE(c.trackBar1.load(), f.TrackBar1->value());
    h.form2.hide();
}

void Form1Test::detailedGeneticLogStopsAndStaysBounded()
{
    Harness h;
    TForm1 &f = h.form1;
    h.load(samplePath());
    h.geneticSettings("3000", "100000");
    f.CheckBoxProm->setChecked(true);
    QSignalSpy finished(&f, &TForm1::geneticRunFinished);
    f.show();
    f.ToolBRunGenOptimClick();
    // Every generation logs a line per child: thousands of lines a second.
    QTRY_VERIFY_WITH_TIMEOUT(f.Memo2->document()->blockCount() > 6000, 60000);
    f.StopBtnClick();
    QVERIFY(finished.wait(30000));
    QVERIFY(!f.genRunning());
    QVERIFY(f.Memo2->document()->blockCount() <= LogPump::kHeadLines + LogPump::kTailLines + 1);
    h.form2.hide();
}

void Form1Test::logKeepsItsHeadAndTail()
{
    QPlainTextEdit memo;
    memo.setPlainText(QStringLiteral("Ход решения"));
    LogPump pump(&memo);
    const qint64 head = LogPump::kHeadLines, tail = LogPump::kTailLines;
    // From a worker, in two parts, the second flushed in several ticks.
    const qint64 total = head + tail + 12345;
    std::thread worker([&] {
        for (qint64 i = 1; i < head + 500; ++i)
            pump.push(QStringLiteral("строка %1").arg(i));
    });
    worker.join();
    pump.flush();
    for (qint64 i = head + 500; i < total; ++i) {
        pump.push(QStringLiteral("строка %1").arg(i));
        if (i % 4000 == 0)
            pump.flush();
    }
    pump.flush();
    const QStringList lines = memo.toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), qsizetype(head + 1 + tail));
    QCOMPARE(lines.first(), QStringLiteral("Ход решения"));
    QCOMPARE(lines[head - 1], QStringLiteral("строка %1").arg(head - 1));
    QCOMPARE(lines[head], LogPump::omittedLine(total - head - tail));
    QCOMPARE(lines[head + 1], QStringLiteral("строка %1").arg(total - tail));
    QCOMPARE(lines.last(), QStringLiteral("строка %1").arg(total - 1));
    QCOMPARE(pump.omitted(), total - head - tail);
}

void Form1Test::geneticModelFollowsANewHistogram()
{
    Harness h;
    TForm1 &f = h.form1;
    h.load(samplePath());
    h.geneticSettings("30", "5");
    QSignalSpy finished(&f, &TForm1::geneticRunFinished);
    f.ToolBRunGenOptimClick();
    QVERIFY(finished.wait(60000));
    QVERIFY(h.state.MGenet.Executed);
    const Mod_Weib fitted = h.state.MGenet;
    h.form2.hide();

    // Another data set: the genetic model belongs to the earlier data. The next
    // calculation sets it aside and says so; it is neither shown nor exported.
    h.load(dataPath(QStringLiteral("small.fdt")));
    h.quickSteps();
    f.bbRaschetClick();
    f.waitForCalculation();
    QCOMPARE(h.msgs.total(), 0);
    QVERIFY(h.state.Hist_Arr.size() != fitted.F_Weib.size());
    const Mod_Weib &g = h.state.MGenet;
    QVERIFY(!g.Executed);
    QCOMPARE(g.A, fitted.A);   // the record itself is kept
    QVERIFY(h.logLines().contains(ctxt::genetSetAside));
    QVERIFY(!h.resultCaptions().contains(QStringLiteral("Генетическая")));
    h.form2.hide();
}

// ------------------------------------------------------------------------- screenshot

void Form1Test::coreMessagesReachTheWindow()
{
    // Core code reports through the core notifier; from a worker thread the message is
    // queued to the user-interface thread, never shown from the worker.
    test::FakeMessages msgs;
    WindowCoreNotifier n(&msgs);
    setCoreNotifier(&n);
    weibCDF2(1e-3, 1.5, 20, 10);
    QCOMPARE(msgs.errors, QStringList{txt::x2x1});
    std::thread worker([] { coreNotifier()->error(QString(), QStringLiteral("из потока")); });
    worker.join();
    QCOMPARE(msgs.errors.size(), 1);
    QTRY_COMPARE(msgs.errors.size(), 2);
    QCOMPARE(msgs.errors.last(), QStringLiteral("из потока"));
    setCoreNotifier(nullptr);
}

void Form1Test::qtSpeaksRussian()
{
    // The buttons of Qt's own dialogs and message boxes.
    QObject owner;
    QVERIFY(installQtRussian(&owner));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
}

void Form1Test::startUpWindows()
{
    State state;
    {
        AppWindows w(&state);
        w.Form1.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.Form1));
        for (QWidget *other : std::initializer_list<QWidget *>{&w.Form2, &w.Form3, &w.ExpandForm}) {
            QVERIFY(!other->isVisible());
            QVERIFY(!other->testAttribute(Qt::WA_QuitOnClose));
        }
        QVERIFY(w.Form1.testAttribute(Qt::WA_QuitOnClose));
        QVERIFY(coreNotifier() != nullptr);
        // The main window drives the other windows over the same state.
        test::FakeChooser chooser;
        chooser.openAnswers << dataPath(QStringLiteral("small.fdt"));
        w.Form1.setFileChooser(&chooser);
        w.Form1.OpenFileStartClick();
        QCOMPARE(w.Form2.Label10->text(), QStringLiteral("Малая выборка"));
        w.Form1.setFileChooser(nullptr);
    }
    QVERIFY(coreNotifier() == nullptr);
}

void Form1Test::screenshot()
{
    const QString out = qEnvironmentVariable("OBROTK_SCREENSHOT");
    if (out.isEmpty())
        QSKIP("set OBROTK_SCREENSHOT to a PNG path to take the main window's screenshot");
    Harness h;
    h.form1.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.form1));
    h.load(samplePath());
    h.form1.BoxNewton->setChecked(true);
    h.form1.bbRaschetClick();
    h.form1.waitForCalculation();
    h.form2.hide();
    h.form1.Mass_List->selectRow(0);
    QTest::qWait(50);
    QVERIFY(h.form1.grab().save(out));
    // The other two tabs, for a look at their controls.
    for (int tab : {1, 2}) {
        h.form1.PageControl->setCurrentIndex(tab);
        QTest::qWait(20);
        QString name = out;
        name.replace(QStringLiteral(".png"), QStringLiteral("-tab%1.png").arg(tab + 1));
        QVERIFY(h.form1.PageControl->grab().save(name));
    }
}

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
