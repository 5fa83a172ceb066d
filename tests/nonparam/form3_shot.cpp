// SPDX-License-Identifier: MIT
// Renders Form3 filled from a failure data file to a PNG file, offscreen.
//   form3_shot FILE.fdt OUT.png [ru|c]
#include "io/loaders.h"
#include "model/errors.h"
#include "nonparam/ui/form3.h"
#include "stats/stat2018.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QPixmap>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: form3_shot FILE.fdt OUT.png [ru|c]\n");
        return 2;
    }
    const bool russian = argc < 4 || QByteArray(argv[3]) != "c";
    QLocale::setDefault(russian ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c());

    QFile f(QString::fromLocal8Bit(argv[1]));
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    obr::State state;
    try {
        obr::applyFailureFile(state, obr::readFailureFile(f.readAll()));
        obr::hist(state);
        TForm3 form(&state);
        form.Histogram_Exp();
        app.processEvents();
        if (!form.grab().save(QString::fromLocal8Bit(argv[2]))) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
    } catch (const obr::UserError &e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    return 0;
}
