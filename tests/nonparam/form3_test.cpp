// SPDX-License-Identifier: MIT
// The window Form3: controls, filling from the state in both locales, the chart after
// repeated analyses and a refused analysis (printing: window_printing_test.cpp).
#include "chart/chartwidget.h"
#include "model/errors.h"
#include "model/texts.h"
#include "nonparam/ui/form3.h"
#include "stats/stat2018.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace obr;

namespace {

// Failures at the given times and causes, a fleet of N, warranty far beyond them.
State makeState(const std::vector<std::pair<double, int>> &recs, double N)
{
    State s;
    std::vector<Problems> failures;
    for (auto [t, c] : recs)
        failures.push_back(Problems{t, c});
    s.MasProbl = std::move(failures);
    const char *names[] = {"", "Насос", "Генератор", "Стартер"};
    for (int j = 1; j <= 3; ++j)
        s.Vidy_otkazov[j].Nazv_Prich = QString::fromUtf8(names[j]);
    s.Izd_Prived = N;
    s.Kol_Izd_All = int32_t(N);
    s.KolOtk = int32_t(recs.size());
    s.Sred = 1520.5;
    s.SKO = 250;
    s.Comment = QStringLiteral("Изделие К-120");
    hist(s);
    return s;
}

//! Titles of the bar sets drawn by the chart, in drawing order.
QStringList drawnBars(const ChartWidget *w)
{
    QStringList t;
    for (QAbstractSeries *s : w->chart()->series())
        if (auto *b = qobject_cast<QBarSeries *>(s))
            for (QBarSet *set : b->barSets())
                if (set->count() > 0)
                    t << set->label();
    return t;
}

}   // namespace

class Form3Test : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void controlsAsDesigned()
    {
        State s;
        TForm3 form(&s);
        QCOMPARE(form.objectName(), QStringLiteral("Form3"));
        QVERIFY(form.windowTitle().startsWith(
            "Результат непараметрического анализа. Анализ надежности в эксплуатации. "));
        QVERIFY(form.windowTitle().endsWith(QStringLiteral("Версия ") +
                                            QStringLiteral(OBROTK_VERSION)));
        QCOMPARE(form.size(), QSize(814, 604));
        const std::pair<const char *, const char *> labels[] = {
            {"Label10", "Комментарий"},
            {"Label1", "Средняя наработка на отказ по гарантийным изделиям"},
            {"Label2", "Без учета цензурирования"},
            {"Label3", "С учетом цензурирования"},
            {"Label4", "Параметры цензурирования"},
            {"Label5", "Среднее время"},
            {"Label6", "СКО"},
            {"Label7", "Количество контролируемых изделий"},
            {"Label8", "Общее число отказов"},
        };
        for (auto [name, text] : labels) {
            auto *l = form.findChild<QLabel *>(QString::fromLatin1(name));
            QVERIFY2(l, name);
            QCOMPARE(l->text(), QString::fromUtf8(text));
        }
        auto *b = form.findChild<QPushButton *>(QStringLiteral("Button1"));
        QVERIFY(b);
        QCOMPARE(b->text(), QStringLiteral("Печать формы"));
        QVERIFY(form.findChild<ChartWidget *>(QStringLiteral("Chart3")));
        QVERIFY(!form.isVisible());
    }

    void fillsFromTheStateInTheUsersLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("label5");
        QTest::addColumn<QString>("label2");
        QTest::newRow("period") << QLocale::c() << "Среднее время цензурирования:  1520.5 ч"
                                << "- без учета цензурирования:  450.0 ч";
        QTest::newRow("comma") << QLocale(QLocale::Russian, QLocale::Russia)
                               << "Среднее время цензурирования:  1520,5 ч"
                               << "- без учета цензурирования:  450,0 ч";
    }
    void fillsFromTheStateInTheUsersLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, label5);
        QFETCH(QString, label2);
        QLocale::setDefault(locale);
        std::vector<std::pair<double, int>> recs;
        for (int k = 1; k <= 10; ++k)
            recs.push_back({100.0 * k, k % 2 ? 1 : 3});
        State s = makeState(recs, 9);
        TForm3 form(&s);
        form.Histogram_Exp();
        QVERIFY(form.isVisible());
        QVERIFY(!form.isModal());
        QCOMPARE(form.Label5->text(), label5);
        QCOMPARE(form.Label2->text(), label2);
        QCOMPARE(form.Label7->text(), QStringLiteral("Кол-во контролируемых изделий:9 шт."));
        QCOMPARE(form.Label10->text(), QStringLiteral("Изделие К-120"));
        QCOMPARE(form.Chart3->chartData().decimal, locale.decimalPoint().at(0));
        // Legend: the three lines, then one entry per cause with failures.
        QCOMPARE(form.Chart3->legend()->texts(),
                 QStringList({"Выбытие из наблюдения,%", "Число отказов / количество изделий,%",
                              "Отказов / количество изделий с цензур-м,%", "Насос", "Стартер"}));
    }

    void repeatedAnalysesKeepOneBarPerCause()
    {
        State s = makeState({{100, 1}, {200, 2}, {300, 3}, {400, 2}}, 10);
        TForm3 form(&s);
        form.Histogram_Exp();
        form.Histogram_Exp();
        QCOMPARE(drawnBars(form.Chart3), QStringList({"Насос", "Генератор", "Стартер"}));

        // New data without failures of the second cause: its bars go.
        State next = makeState({{100, 1}, {300, 3}}, 10);
        s.MasProbl = next.MasProbl;
        hist(s);
        form.Histogram_Exp();
        QCOMPARE(drawnBars(form.Chart3), QStringList({"Насос", "Стартер"}));
        QCOMPARE(form.Chart3->legend()->texts().size(), 3 + 2);
    }

    void refusedAnalysisLeavesTheWindowAsItWas()
    {
        State s = makeState({{100, 1}, {200, 2}}, 10);
        TForm3 form(&s);
        form.Histogram_Exp();
        const QString before = form.Label5->text();
        const QStringList bars = drawnBars(form.Chart3);
        s.SKO = 0;
        s.Sred = 999;
        QVERIFY_THROWS_EXCEPTION(UserError, form.Histogram_Exp());
        QCOMPARE(form.Label5->text(), before);
        QCOMPARE(drawnBars(form.Chart3), bars);

        State empty;
        TForm3 fresh(&empty);
        try {
            fresh.Histogram_Exp();
            QFAIL("accepted an empty state");
        } catch (const UserError &e) {
            QCOMPARE(e.message(), txt::noFailures);
        }
        QVERIFY(!fresh.isVisible());
    }
};

QTEST_MAIN(Form3Test)
#include "form3_test.moc"
