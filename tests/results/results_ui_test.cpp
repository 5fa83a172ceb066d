// SPDX-License-Identifier: MIT
// The results window and the enlarged chart: controls, refresh in place, and what a
// person reading them needs (no cut texts, readable axis labels).
#include "fixture.h"

#include "chart/chartwidget.h"
#include "results/ui/expandform.h"
#include "results/ui/form2.h"

#include <QAbstractBarSeries>
#include <QBarCategoryAxis>
#include <QChart>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>

using obr::test::histogram;
using obr::test::model;
using obr::test::smallState;

namespace {

//! Series of a rendered chart: Qt series, and bar sets counted one by one.
int seriesCount(obr::ChartWidget *w)
{
    int n = 0;
    for (QAbstractSeries *s : w->chart()->series()) {
        if (auto *b = qobject_cast<QAbstractBarSeries *>(s))
            n += int(b->count());
        else
            ++n;
    }
    return n;
}

QStringList gridTexts(QTableWidget *g)
{
    QStringList l;
    for (int r = 0; r < g->rowCount(); ++r)
        for (int c = 0; c < g->columnCount(); ++c)
            l << (g->item(r, c) ? g->item(r, c)->text() : QString());
    return l;
}

//! A state like a real calculation: four models with wide numbers in every row.
obr::State fourModels()
{
    obr::State s = smallState();
    const size_t n = s.Hist_Arr.size();
    s.MPirsN = model(46042.72, 1.37549, 14.56, n);
    s.MPirsS = model(1025.73, 0.78517, 0.995, n);
    s.MSmirn = model(342.17, 0.22975, 0.765, n);
    s.MGenet = model(123456.78, 2.5, 1.2, n);
    for (obr::Mod_Weib *m : {&s.MPirsN, &s.MPirsS, &s.MSmirn, &s.MGenet})
        m->SKO_out = 53.41;
    s.Vidy_otkazov[1].Nazv_Prich = QStringLiteral("Топливная аппаратура");
    s.Vidy_otkazov[3].Nazv_Prich = QStringLiteral("Электрооборудование");
    s.Hist_Arr[0].Nund = 3;
    s.Hist_Arr[0].Sum += 3;
    return s;
}

}   // namespace

class ResultsUiTest : public QObject {
    Q_OBJECT
private slots:
    void controlsAsDesigned()
    {
        obr::State s;
        TExpandForm expand(&s);
        TForm2 form(&s, &expand);
        QVERIFY(form.windowTitle().startsWith(QStringLiteral(
            "Количественный анализ закона распределения отказов. Анализ надежности в "
            "эксплуатации.  ")));
        auto *grid = form.findChild<QTableWidget *>(QStringLiteral("Result_Grid"));
        QVERIFY(grid);
        QCOMPARE(grid->rowCount(), 12);
        QCOMPARE(grid->columnCount(), 6);
        QCOMPARE(grid->geometry(), QRect(648, 95, 777, 267));
        QCOMPARE(grid->columnWidth(0), 170);
        QCOMPARE(grid->rowHeight(3), 20);
        for (const char *name : {"Chart1", "Chart2", "Chart3"})
            QVERIFY2(form.findChild<obr::ChartWidget *>(QString::fromLatin1(name)), name);
        QCOMPARE(form.findChild<QWidget *>(QStringLiteral("Chart3"))->geometry(),
                 QRect(648, 368, 777, 491));
        auto *b1 = form.findChild<QPushButton *>(QStringLiteral("Button1"));
        auto *pr = form.findChild<QPushButton *>(QStringLiteral("Prodolgenie"));
        auto *b2 = form.findChild<QPushButton *>(QStringLiteral("Button2"));
        QVERIFY(b1 && pr && b2);
        QCOMPARE(b1->text(), QStringLiteral("Печать"));
        QCOMPARE(pr->text(), QStringLiteral("Продолж."));
        QCOMPARE(b2->text(), QStringLiteral("Expand"));
        QCOMPARE(b2->parentWidget(), form.Chart1);
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("Label10"))->text(),
                 QStringLiteral("Комментарий"));
        for (const char *name : {"Chart1", "Label1", "Label2", "Label3", "Label4", "Button2"})
            QVERIFY2(expand.findChild<QWidget *>(QString::fromLatin1(name)), name);
        QCOMPARE(expand.Button2->text(), QStringLiteral("Print"));
        QVERIFY(expand.Label1->text().isEmpty());
    }

    void diagramsFillsAndShowsTheWindow()
    {
        obr::State s = smallState();
        s.MPirsN = model(250, 1.5, 1.2, s.Hist_Arr.size());
        TExpandForm expand(&s);
        TForm2 form(&s, &expand);
        form.Diagrams(obr::NumLocale::comma());
        QVERIFY(form.isVisible());
        QCOMPARE(form.Label10->text(), QStringLiteral("Проба (200 шт.)"));
        QCOMPARE(form.Result_Grid->item(0, 1)->text(), QStringLiteral("Пирсона/Ньютона"));
        QVERIFY(
            form.Result_Grid->item(1, 1)->text().startsWith(QStringLiteral(" 250,00, / 1,50000")));
        QCOMPARE(form.Result_Grid->columnWidth(1), 134);
        QCOMPARE(form.Result_Grid->columnWidth(2), 128);
        QCOMPARE(form.Chart1->legend()->texts().at(6),
                 QStringLiteral("Насос, всего 12 (12,5%) случаев"));
        // Designed series, then one bar set per active cause; the legend of Chart2 is hidden.
        QCOMPARE(seriesCount(form.Chart1), 6 + 2);
        QCOMPARE(seriesCount(form.Chart2), 7 + 2);
        QCOMPARE(seriesCount(form.Chart3), 4);
        QVERIFY(form.Chart2->legend()->texts().isEmpty());

        QTest::mouseClick(form.Prodolgenie, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        form.Diagrams(obr::NumLocale::comma());   // the next refresh shows it again
        QVERIFY(form.isVisible());

        QTest::mouseClick(form.Button2, Qt::LeftButton);
        QVERIFY(expand.isVisible());
        QCOMPARE(expand.Label1->text(), QStringLiteral("Проба (200 шт.,120 отказов)"));
    }

    void refreshesInPlace()
    {
        obr::State s = fourModels();
        TForm2 form(&s, nullptr);
        form.Diagrams(obr::NumLocale::period());
        const QStringList firstGrid = gridTexts(form.Result_Grid);
        const int c1 = seriesCount(form.Chart1), c2 = seriesCount(form.Chart2),
                  c3 = seriesCount(form.Chart3);
        form.Diagrams(obr::NumLocale::period());
        QCOMPARE(gridTexts(form.Result_Grid), firstGrid);
        QCOMPARE(seriesCount(form.Chart1), c1);
        QCOMPARE(seriesCount(form.Chart2), c2);
        QCOMPARE(seriesCount(form.Chart3), c3);

        // A calculation that refits only Newton (the genetic model keeps its flag), on data
        // without the unidentified failures: the run-time series of before are gone.
        s.MPirsS.Executed = false;
        s.MSmirn.Executed = false;
        s.Hist_Arr[0].Sum -= s.Hist_Arr[0].Nund;
        s.Hist_Arr[0].Nund = 0;
        form.Diagrams(obr::NumLocale::period());
        QCOMPARE(seriesCount(form.Chart1), c1 - 1);
        QCOMPARE(seriesCount(form.Chart3), c3 - 2);
        QCOMPARE(form.Result_Grid->item(0, 2)->text(), QStringLiteral("Генетическая"));
        QCOMPARE(form.Result_Grid->item(0, 3)->text(), QStringLiteral("Данные эксплуатации"));
        QVERIFY(form.Result_Grid->item(0, 4)->text().isEmpty());
        // Columns right of the data column keep the widths of the earlier table.
        QCOMPARE(form.Result_Grid->columnWidth(3), 128);
        QCOMPARE(form.Result_Grid->columnWidth(4), 118);
        QCOMPARE(form.Result_Grid->columnWidth(5), 128);
    }

    void everyCellAndLegendEntryIsReadable()
    {
        obr::State s = fourModels();
        s.MPirsS.K_powtor = 0.15;   // capped times: 10000000000 hours
        TExpandForm expand(&s);
        TForm2 form(&s, &expand);
        form.Diagrams(obr::NumLocale::comma());
        // The offscreen screen is smaller than the design: look at the design size.
        form.resize(TForm2::kDesignSize);
        const QFontMetrics fm(form.Result_Grid->font());
        for (int c = 0; c < 6; ++c)
            for (int r = 0; r < 12; ++r) {
                QString t = form.Result_Grid->item(r, c)->text();
                while (t.endsWith(u' '))
                    t.chop(1);
                // 6 px: the cell's own margins on both sides
                QVERIFY2(fm.horizontalAdvance(t) <= form.Result_Grid->columnWidth(c) - 6,
                         qPrintable(QStringLiteral("%1,%2: %3").arg(c).arg(r).arg(t)));
            }
        for (obr::ChartWidget *w : {form.Chart1, form.Chart3}) {
            QVERIFY2(w->legend()->allTextsFit(), qPrintable(w->objectName()));
            QVERIFY(w->legend()->height() <= w->height() / 4);
        }
        expand.resize(1423, 861);
        expand.fill(obr::NumLocale::comma());
        QVERIFY(expand.Chart1->legend()->allTextsFit());
        // The caption line of the 50% times: no label runs into the next.
        QVERIFY(expand.Label4->geometry().right() < expand.Label2->geometry().left());
        QVERIFY(expand.Label2->geometry().right() < expand.Label3->geometry().left());
    }

    void longCaptionsAreNotCutSilently()
    {
        struct Case {
            QString comment;
            bool whole;   // the whole text is shown (else elided with the text as tool tip)
        };
        const QList<Case> cases = {
            {QStringLiteral("Изделие К-120, гарантийная эксплуатация 2018-2019 гг."), true},
            {QStringLiteral("Изделие К-120, гарантийная эксплуатация 2018-2019 гг., "
                            "партия второго завода"),
             true},   // a smaller font
            {QString(200, u'Ж'), false},
        };
        for (const Case &c : cases) {
            obr::State s = smallState();
            s.Comment = c.comment;
            TForm2 form(&s, nullptr);
            form.Diagrams(obr::NumLocale::period());
            form.resize(TForm2::kDesignSize);
            const QString full = c.comment + QStringLiteral(" (200 шт.)");
            const QFontMetrics fm(form.Label10->font());
            QVERIFY(fm.horizontalAdvance(form.Label10->text()) <= form.Label10->width());
            QVERIFY(form.Label10->font().pixelSize() >= 12);
            QCOMPARE(form.Label10->text() == full, c.whole);
            QCOMPARE(form.Label10->toolTip(), c.whole ? QString() : full);
            // Only the comment is elided: the fleet count is always shown.
            QVERIFY(form.Label10->text().endsWith(QStringLiteral(" (200 шт.)")));
            if (!c.whole)
                QVERIFY(form.Label10->text().endsWith(QStringLiteral("Ж… (200 шт.)")));
        }
        // The enlarged chart's caption keeps both counts in the same way.
        obr::State s = smallState();
        s.Comment = QString(200, u'Ж');
        TExpandForm expand(&s);
        expand.resize(1423, 861);
        expand.fill(obr::NumLocale::period());
        QVERIFY(expand.Label1->text().endsWith(QStringLiteral("Ж… (200 шт.,120 отказов)")));
        QCOMPARE(expand.Label1->toolTip(), s.Comment + QStringLiteral(" (200 шт.,120 отказов)"));
    }

    void thirtyOneIntervalsStayReadable()
    {
        obr::State s = smallState();
        std::vector<double> ends;
        for (int i = 1; i <= 31; ++i)
            ends.push_back(i <= 8 ? 100.0 * i : 800.0 + 400.0 * (i - 8));
        s.Hist_Arr = histogram(ends, {{1, std::vector<int>(31, 1)}});
        TForm2 form(&s, nullptr);
        form.Diagrams(obr::NumLocale::period());
        form.resize(TForm2::kDesignSize);
        auto *x =
            qobject_cast<QBarCategoryAxis *>(form.Chart1->chart()->axes(Qt::Horizontal).first());
        QVERIFY(x);
        QCOMPARE(x->count(), 31);
        QCOMPARE(x->at(30), QStringLiteral("10000"));
        // Upright labels need a label's height per category, not its width.
        const double room = form.Chart1->chart()->plotArea().width() / 31;
        const QFontMetrics fm(x->labelsFont());
        if (x->labelsAngle() == 0)
            QVERIFY(fm.horizontalAdvance(QStringLiteral("10000")) < room);
        else
            QVERIFY(fm.height() < room);
    }

    void opensWholeOnScreenAndUsesTheRoomItGets()
    {
        obr::State s = fourModels();
        TExpandForm expand(&s);
        TForm2 form(&s, &expand);
        form.Diagrams(obr::NumLocale::period());
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The offscreen screen (800 x 800) is smaller than the design: the window opens
        // whole on it, and its contents scroll sideways.
        const QRect avail = form.screen()->availableGeometry();
        QVERIFY(avail.width() < TForm2::kDesignSize.width());
        QVERIFY2(avail.contains(form.frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(form.frameGeometry().x())
                                .arg(form.frameGeometry().y())
                                .arg(form.frameGeometry().width())
                                .arg(form.frameGeometry().height())));
        auto *scroll = form.findChild<QScrollArea *>();
        QVERIFY(scroll);
        QTRY_VERIFY(scroll->horizontalScrollBar()->maximum() > 0);
        QCOMPARE(scroll->widget()->width(), TForm2::kMinimumContents.width());
        QCOMPARE(scroll->widget()->height(), scroll->viewport()->height());

        // At the design size every control stands where the design puts it.
        form.resize(TForm2::kDesignSize);
        QTRY_COMPARE(form.Chart3->geometry(), QRect(648, 368, 777, 491));
        QCOMPARE(form.Chart2->geometry(), QRect(0, 0, 650, 369));
        QCOMPARE(form.Chart1->geometry(), QRect(1, 368, 649, 491));
        QCOMPARE(form.Result_Grid->geometry(), QRect(648, 95, 777, 267));
        QCOMPARE(form.Label10->geometry(), QRect(656, 6, 764, 30));
        QCOMPARE(form.Button1->geometry(), QRect(1232, 40, 73, 40));
        QCOMPARE(form.Prodolgenie->geometry(), QRect(1333, 40, 75, 40));
        QCOMPARE(scroll->horizontalScrollBar()->maximum(), 0);

        // Larger (maximised on a large screen): the charts take the room, the buttons stay
        // at the right edge, the table keeps its height, nothing scrolls.
        form.resize(1900, 1040);
        QTRY_COMPARE(form.Chart1->geometry().bottom(), 1040 - 4);
        QCOMPARE(form.Chart3->geometry().right(), 1900 - 4);
        QCOMPARE(form.Chart3->height(), form.Chart1->height());
        QVERIFY(form.Chart2->width() > 650 + 150);
        QCOMPARE(form.Chart2->height(), 369);
        QCOMPARE(form.Result_Grid->height(), 267);
        QCOMPARE(form.Result_Grid->geometry().left(), form.Chart3->geometry().left());
        QCOMPARE(form.Prodolgenie->geometry().right(), 1900 - 21);
        QCOMPARE(scroll->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(scroll->verticalScrollBar()->maximum(), 0);
        for (obr::ChartWidget *w : {form.Chart1, form.Chart3})
            QVERIFY(w->legend()->allTextsFit());
    }

    void expandFillsMaximisedWithMarks()
    {
        obr::State s = smallState();
        s.Izd_Prived = 50;
        TExpandForm expand(&s);
        expand.ExpandDia_1(obr::NumLocale::period());
        QVERIFY(expand.isVisible());
        QVERIFY(expand.windowState() & Qt::WindowMaximized);
        // 96 failures on a reduced fleet of 50: accumulated failures pass the fleet.
        const obr::SeriesData *s7 = expand.view().chart.find(QStringLiteral("Series7"));
        QVERIFY(s7);
        QVERIFY(s7->points.size() < s.Hist_Arr.size());
        QCOMPARE(expand.Chart1->markCount(), int(s7->points.size()));
        QVERIFY(expand.Label2->text().startsWith(QStringLiteral("- без учета цензурирования: ")));
        const int before = seriesCount(expand.Chart1);
        const size_t points = s7->points.size();
        expand.ExpandDia_1(obr::NumLocale::period());
        QCOMPARE(seriesCount(expand.Chart1), before);
        QCOMPARE(expand.Chart1->markCount(), int(points));
    }
};

QTEST_MAIN(ResultsUiTest)
#include "results_ui_test.moc"
