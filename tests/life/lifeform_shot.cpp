// SPDX-License-Identifier: MIT
// Renders the life-data window with the bundled fixture fitted by a Weibull law:
//   lifeform_shot DATA.csv OUT.png
// or shows it maximised while a long three-parameter Weibull fit with a hundred B-lives
// runs on its worker, until the fit ends (for a screenshot of the running fit):
//   lifeform_shot --running DATA.csv
#include "life/reader.h"
#include "life/ui/lifeform.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const bool running = argc >= 3 && QByteArray(argv[1]) == "--running";
    if (argc < 3)
        return 2;
    QFile f(QString::fromLocal8Bit(argv[running ? 2 : 1]));
    if (!f.open(QIODevice::ReadOnly))
        return 1;
    obr::lifeui::LifeForm w;
    w.setData(obr::life::readLifeTable(f.readAll()));
    if (running) {
        w.cbDist->setCurrentIndex(w.cbDist->findData(QStringLiteral("weibull3")));
        QStringList many;
        for (int p = 1; p < 100; ++p)
            many << QString::number(p);
        w.edBLives->setText(many.join(u';'));
        w.showMaximized();
        QObject::connect(&w, &obr::lifeui::LifeForm::fitFinished, &app, &QApplication::quit);
        w.btnFitClick();
        return app.exec();
    }
    w.show();
    w.btnFitClick();
    while (w.isRunning())
        app.processEvents(QEventLoop::WaitForMoreEvents);
    app.processEvents();
    return w.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
