// SPDX-License-Identifier: MIT
// The cohort window on the screen it is started on, with a Nevada table calculated (a
// warranty of 24 periods, a cost per claim, a backtest), one image of the whole screen per
// page of the window:
//   cohortform_shot TABLE.csv OUT-PREFIX
// writes OUT-PREFIX-<page>.png. Meant for a real X display with a window manager.
#include "cohort/ui/cohortform.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The user's locale may be given (a Russian one shows the decimal comma).
    if (!qEnvironmentVariableIsEmpty("OBROTK_LOCALE"))
        QLocale::setDefault(QLocale(qEnvironmentVariable("OBROTK_LOCALE")));
    if (argc < 3)
        return 2;
    const QString table = QString::fromLocal8Bit(argv[1]);
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    obr::cohortui::CohortForm w;
    w.chooseFile = [table](QWidget *, const QString &) { return table; };
    w.show();
    w.btnOpenClick();
    w.edWarrantyPeriods->setText(QStringLiteral("24"));
    w.edCost->setText(QLocale().toString(150.0));
    w.edCostSd->setText(QLocale().toString(30.0));
    w.edBacktest->setText(QStringLiteral("2024-12"));
    bool done = false;
    QObject::connect(&w, &obr::cohortui::CohortForm::calculationFinished, [&] { done = true; });
    w.btnCalcClick();
    for (int i = 0; i < 1200 && !done; ++i)
        QTest::qWait(100);
    if (!done || !w.result())
        return 1;
    const char *pages[] = {"data", "estimates", "claims", "forecast",
                           "cost", "backtest",  "monitor"};
    int failed = 0;
    for (int i = 0; i < w.Tabs->count() && i < 7; ++i) {
        w.Tabs->setCurrentIndex(i);
        QTest::qWait(600);
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        if (!shot.save(prefix + u'-' + QLatin1String(pages[i]) + QStringLiteral(".png")))
            ++failed;
    }
    return failed ? 1 : 0;
}
