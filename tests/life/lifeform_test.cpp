// SPDX-License-Identifier: MIT
// The life-data window offscreen: the fourth tab of the main window opens it, a paste
// from the clipboard fills its grid, a fit fills the table and the plot, and it prints.
#include "app/buttontabs.h"
#include "app/obrotk2015.h"
#include "chart/printing.h"
#include "desktop/worker.h"
#include "life/ui/lifeform.h"
#include "model/seams.h"
#include "support/print_dialogs.h"
#include "model/state.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <thread>

using namespace obr;
using namespace obr::lifeui;

namespace {

class Recorder : public Notifier {
public:
    QStringList errors;
    void error(const QString &, const QString &text) override { errors << text; }
};

using PdfDialogs = obr::test::RecordingPrintDialogs;

const char *kIssueTab =
    "175.0\tF\n368.6\tF\n383.6\tF\n420.3\tF\n423.2\tF\n426.0\tF\n509.3\tF\n523.8\tF\n545.1\tF\n"
    "545.4\tF\n586.6\tF\n661.1\tF\n263.3\tS\n264.7\tS\n281.5\tS\n321.7\tS\n370.5\tS\n384.8\tS\n"
    "410.9\tS\n519.0\tS\n";

QString cell(QTableWidget *t, int r, int c)
{
    const QTableWidgetItem *it = t->item(r, c);
    return it ? it->text() : QString();
}

//! Presses «Расчет» and waits for the worker to end (it runs off the window's thread).
void fitAndWait(LifeForm &w)
{
    QSignalSpy done(&w, &LifeForm::fitFinished);
    QTest::mouseClick(w.btnFit, Qt::LeftButton);
    if (w.isRunning()) {
        ASSERT_TRUE(done.wait(120000));
    }
    ASSERT_FALSE(w.isRunning());
}

QStringList tableCells(QTableWidget *t)
{
    QStringList all;
    for (int r = 0; r < t->rowCount(); ++r)
        for (int c = 0; c < t->columnCount(); ++c)
            all << cell(t, r, c);
    return all;
}

struct Fixture : ::testing::Test {
    Recorder rec;
    void SetUp() override { setCoreNotifier(&rec); }
    void TearDown() override
    {
        setCoreNotifier(nullptr);
        QLocale::setDefault(QLocale::c());
    }
};

}   // namespace

TEST_F(Fixture, FourthTabOpensTheWindow)
{
    State state;
    TForm1 form1(&state);
    form1.show();
    auto *tabs = form1.findChild<ButtonTabs *>(QStringLiteral("PageControl"));
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 5);   // the fifth opens the cohort window
    EXPECT_EQ(tabs->tabButton(3)->text(), QStringLiteral("4. Данные с приостановками"));
    QTest::mouseClick(tabs->tabButton(3), Qt::LeftButton);
    EXPECT_EQ(tabs->currentIndex(), 3);
    auto *open = form1.findChild<QPushButton *>(QStringLiteral("btnLifeData"));
    ASSERT_NE(open, nullptr);
    QTest::mouseClick(open, Qt::LeftButton);
    auto *life = form1.findChild<LifeForm *>(QStringLiteral("LifeForm"));
    ASSERT_NE(life, nullptr);
    EXPECT_TRUE(life->isVisible());
    QTest::mouseClick(open, Qt::LeftButton);   // the same window again, not a second one
    EXPECT_EQ(form1.findChildren<LifeForm *>().size(), 1);
}

TEST_F(Fixture, PasteFitAndTableInBothLocales)
{
    for (const QLocale &loc : {QLocale(QLocale::English, QLocale::UnitedStates),
                               QLocale(QLocale::Russian, QLocale::Russia)}) {
        QLocale::setDefault(loc);
        LifeForm w;
        w.show();
        QGuiApplication::clipboard()->setText(QString::fromLatin1(kIssueTab));
        QTest::mouseClick(w.btnPaste, Qt::LeftButton);
        ASSERT_TRUE(rec.errors.isEmpty()) << rec.errors.join(u'\n').toStdString();
        EXPECT_EQ(cell(w.LifeGrid, 0, 0), QStringLiteral("175"));
        EXPECT_EQ(cell(w.LifeGrid, 12, 2), QStringLiteral("приост."));
        w.edTimes->setText(loc.toString(500.0));
        fitAndWait(w);
        ASSERT_TRUE(rec.errors.isEmpty()) << rec.errors.join(u'\n').toStdString();
        // survreg: scale 528.582194, shape 5.08002872.
        const QString eta =
            loc.decimalPoint() == u',' ? QStringLiteral("528,5822") : QStringLiteral("528.5822");
        EXPECT_EQ(cell(w.LifeResults, 0, 1), eta);
        EXPECT_TRUE(cell(w.LifeResults, 0, 3).startsWith(u'['));
        EXPECT_TRUE(w.LifePlot->plot().has_value());
        EXPECT_FALSE(w.lbSummary->text().contains(QStringLiteral("nan"), Qt::CaseInsensitive));
    }
}

TEST_F(Fixture, BadPasteIsRefusedAndAllFitsAreRanked)
{
    LifeForm w;
    w.pasteText(QStringLiteral("Наработка\tСостояние\n100\tF\nabc\tS\n"));
    ASSERT_EQ(rec.errors.size(), 1);
    EXPECT_TRUE(rec.errors[0].contains(QStringLiteral("строке 3")));
    EXPECT_EQ(cell(w.LifeGrid, 0, 0), QString());   // nothing half-pasted

    w.pasteText(QStringLiteral("time\tstate\tcount\n100\tF\t2\n150\tF\t1\n230\tF\t1\n300\tS\t5\n"));
    EXPECT_EQ(rec.errors.size(), 1);
    w.cbDist->setCurrentIndex(w.cbDist->findData(QStringLiteral("all")));
    fitAndWait(w);
    ASSERT_EQ(rec.errors.size(), 1) << rec.errors.join(u'\n').toStdString();
    bool ranked = false;
    for (int r = 0; r < w.LifeResults->rowCount(); ++r)
        ranked = ranked || cell(w.LifeResults, r, 0).contains(QStringLiteral("лучшее"));
    EXPECT_TRUE(ranked);

    // A grid error names its row.
    w.LifeGrid->setItem(1, 2, new QTableWidgetItem(QStringLiteral("?")));
    fitAndWait(w);
    ASSERT_EQ(rec.errors.size(), 2);
    EXPECT_TRUE(rec.errors[1].contains(QStringLiteral("строке 2"))) << rec.errors[1].toStdString();
}

TEST_F(Fixture, PrintsOnePage)
{
    QTemporaryDir dir;
    PdfDialogs dialogs;
    dialogs.file = dir.filePath(QStringLiteral("life.pdf"));
    setPrintDialogs(&dialogs);
    LifeForm w;
    w.show();
    w.pasteText(QString::fromLatin1(kIssueTab));
    fitAndWait(w);
    QTest::mouseClick(w.btnPrint, Qt::LeftButton);
    setPrintDialogs(nullptr);
    EXPECT_TRUE(dialogs.failures.isEmpty()) << dialogs.failures.join(u'\n').toStdString();
    QFile f(dialogs.file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("%PDF"));
}

TEST_F(Fixture, StopDuringALongFitKeepsTheEarlierResults)
{
    // A three-parameter Weibull fit of many rows with the likelihood-ratio bounds of a
    // hundred figures runs long enough to be stopped before its first figure is done.
    QString text = QStringLiteral("Наработка\tСостояние\tКол-во\n");
    for (int i = 0; i < 20000; ++i) {
        const double t = 100 + 900 * std::pow((i * 0.618034) - std::floor(i * 0.618034), 0.7);
        text += QStringLiteral("%1\t%2\t1\n")
                    .arg(t, 0, 'f', 3)
                    .arg(i % 3 ? QStringLiteral("F") : QStringLiteral("S"));
    }
    LifeForm w;
    w.show();
    w.pasteText(text);
    ASSERT_TRUE(rec.errors.isEmpty()) << rec.errors.join(u'\n').toStdString();
    fitAndWait(w);   // two-parameter Weibull: the results to keep
    ASSERT_TRUE(rec.errors.isEmpty()) << rec.errors.join(u'\n').toStdString();
    const QStringList before = tableCells(w.LifeResults);
    const QString summary = w.lbSummary->text();
    ASSERT_TRUE(summary.contains(QStringLiteral("Вейбулла (2 пар.)")));

    w.cbDist->setCurrentIndex(w.cbDist->findData(QStringLiteral("weibull3")));
    QStringList many;
    for (int p = 1; p < 100; ++p)
        many << QString::number(p);
    w.edBLives->setText(many.join(u';'));
    QSignalSpy done(&w, &LifeForm::fitFinished);
    QTest::mouseClick(w.btnFit, Qt::LeftButton);
    ASSERT_TRUE(w.isRunning());
    // While it runs, what would change its inputs is closed and «Стоп» is open.
    EXPECT_FALSE(w.btnFit->isEnabled());
    EXPECT_FALSE(w.LifeGrid->isEnabled());
    EXPECT_FALSE(w.cbDist->isEnabled());
    EXPECT_TRUE(w.btnStop->isEnabled());
    QTest::mouseClick(w.btnStop, Qt::LeftButton);
    ASSERT_TRUE(done.wait(60000));
    EXPECT_FALSE(w.isRunning());
    EXPECT_TRUE(rec.errors.isEmpty()) << rec.errors.join(u'\n').toStdString();
    EXPECT_EQ(tableCells(w.LifeResults), before);
    EXPECT_EQ(w.lbSummary->text(), summary);
    EXPECT_TRUE(w.btnFit->isEnabled());
    EXPECT_FALSE(w.btnStop->isEnabled());
    EXPECT_EQ(w.pbFit->value(), 0);
}

TEST_F(Fixture, TheWorkerMapsEveryExceptionToTheUsersMessage)
{
    struct Case {
        std::function<int()> job;
        QString message;
    };
    const Case cases[] = {
        {[]() -> int { throw UserError(QStringLiteral("нет данных")); },
         QStringLiteral("нет данных")},
        {[]() -> int { throw std::bad_alloc(); },
         QStringLiteral("Недостаточно памяти для выполнения действия")},
        {[]() -> int { throw std::runtime_error("disk"); }, QStringLiteral("disk")},
    };
    for (const Case &c : cases) {
        auto *worker = Worker::make(
            c.job, [](const std::function<int()> &job, WorkControl &) { return job(); });
        QSignalSpy done(worker, &Worker::finished);
        worker->start();
        ASSERT_TRUE(done.wait(10000));
        const WorkOutcome out = worker->takeOutcome();
        EXPECT_FALSE(out.cancelled);
        EXPECT_FALSE(out.result.has_value());
        EXPECT_EQ(out.error.value_or(QString()), c.message);
        delete worker;
    }
    // A stop drops what the work returned, even when it ended regardless.
    auto *worker = Worker::make(0, [](int, WorkControl &c) {
        while (!c.stopRequested())
            std::this_thread::yield();
        return 42;
    });
    QSignalSpy done(worker, &Worker::finished);
    worker->start();
    worker->cancel();
    ASSERT_TRUE(done.wait(10000));
    const WorkOutcome out = worker->takeOutcome();
    EXPECT_TRUE(out.cancelled);
    EXPECT_FALSE(out.result.has_value());
    delete worker;
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
