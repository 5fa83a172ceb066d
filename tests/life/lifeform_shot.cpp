// SPDX-License-Identifier: MIT
// Renders the life-data window with the bundled fixture fitted by a Weibull law:
//   lifeform_shot DATA.csv OUT.png
#include "life/reader.h"
#include "life/ui/lifeform.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    QFile f(QString::fromLocal8Bit(argv[1]));
    if (!f.open(QIODevice::ReadOnly))
        return 1;
    obr::lifeui::LifeForm w;
    w.setData(obr::life::readLifeTable(f.readAll()));
    w.show();
    w.btnFitClick();
    app.processEvents();
    return w.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
