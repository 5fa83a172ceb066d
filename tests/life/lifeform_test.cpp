// SPDX-License-Identifier: MIT
// The life-data window offscreen: the fourth tab of the main window opens it, a paste
// from the clipboard fills its grid, a fit fills the table and the plot, and it prints.
#include "app/buttontabs.h"
#include "app/obrotk2015.h"
#include "chart/printing.h"
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
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

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
        QTest::mouseClick(w.btnFit, Qt::LeftButton);
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
    QTest::mouseClick(w.btnFit, Qt::LeftButton);
    ASSERT_EQ(rec.errors.size(), 1) << rec.errors.join(u'\n').toStdString();
    bool ranked = false;
    for (int r = 0; r < w.LifeResults->rowCount(); ++r)
        ranked = ranked || cell(w.LifeResults, r, 0).contains(QStringLiteral("лучшее"));
    EXPECT_TRUE(ranked);

    // A grid error names its row.
    w.LifeGrid->setItem(1, 2, new QTableWidgetItem(QStringLiteral("?")));
    QTest::mouseClick(w.btnFit, Qt::LeftButton);
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
    QTest::mouseClick(w.btnFit, Qt::LeftButton);
    QTest::mouseClick(w.btnPrint, Qt::LeftButton);
    setPrintDialogs(nullptr);
    EXPECT_TRUE(dialogs.failures.isEmpty()) << dialogs.failures.join(u'\n').toStdString();
    QFile f(dialogs.file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("%PDF"));
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
