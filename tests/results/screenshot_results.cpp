// SPDX-License-Identifier: MIT
// Renders the results window and the enlarged chart, filled from a failure data file,
// to PNG files (offscreen), so their look can be checked by eye.
//   results_screenshot <file.fdt> <out-dir> [--comma] [--genetic]
// --comma uses a decimal comma; --genetic also shows a genetic column (a copy of the
// Newton model) to check the widest table. With "--long" in place of the file, a
// simulated fleet with a long warranty gives the most intervals a histogram can have.
#include "io/loaders.h"
#include "io/sample_gen.h"
#include "model/errors.h"
#include "results/ui/expandform.h"
#include "results/ui/form2.h"
#include "stats/stat2018.h"
#include "fit/fits.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        QTextStream(stderr)
            << "usage: results_screenshot <file.fdt> <out-dir> [--comma] [--genetic]\n";
        return 2;
    }
    const bool comma = args.contains(QStringLiteral("--comma"));
    const bool genetic = args.contains(QStringLiteral("--genetic"));
    const obr::NumLocale nl = comma ? obr::NumLocale::comma() : obr::NumLocale::period();

    QByteArray bytes;
    if (args[1] == QStringLiteral("--long")) {
        obr::SampleParams p;
        p.sred = 3000;
        p.sko = 1400;
        p.eta = 9000;
        p.fleet = 3000;
        bytes = obr::generateFailureFile(p);
    } else {
        QFile f(args[1]);
        if (!f.open(QIODevice::ReadOnly)) {
            QTextStream(stderr) << "cannot open " << args[1] << "\n";
            return 1;
        }
        bytes = f.readAll();
    }
    obr::State s;
    try {
        obr::FailureFile ff = obr::readFailureFile(bytes);
        const obr::LoadBoxTexts boxes = obr::loadBoxTexts(ff, u'.');
        obr::applyFailureFile(s, std::move(ff));
        obr::hist(s);
        const obr::LogSink log = obr::nullLog();
        const auto c = obr::Criterion::Spec2;
        obr::SpirSp_Execute(s, obr::boxReal(boxes.Edit1, u'.'), c, log);
        obr::Hist_Made(s, s.MPirsS.A, s.MPirsS.B, s.MPirsS.K_powtor, s.Mas_Out_Like,
                       s.Kol_Nakopl_Like, s.MPirsS.SKO_out, log, nl.dec);
        obr::Podbor_Weib_Pirson(s, s.MPirsN.A, s.MPirsN.B, obr::boxReal(boxes.Edit6, u'.'), c, log);
        obr::Hist_Made(s, s.MPirsN.A, s.MPirsN.B, s.MPirsN.K_powtor, s.Mas_Out_Like,
                       s.Kol_Nakopl_Like, s.MPirsN.SKO_out, log, nl.dec);
        obr::Podbor_Weib_Smirnow(s, s.MSmirn.A, s.MSmirn.B, obr::boxReal(boxes.Edit5, u'.'), log);
        obr::Hist_Made(s, s.MSmirn.A, s.MSmirn.B, s.MSmirn.K_powtor, s.Mas_Out_Like,
                       s.Kol_Nakopl_Like, s.MSmirn.SKO_out, log, nl.dec);
        if (genetic) {
            s.MGenet = s.MPirsN;
            s.MGenet.K_powtor *= 1.05;
        }
    } catch (const obr::UserError &e) {
        QTextStream(stderr) << e.message() << "\n";
        return 1;
    }

    TExpandForm expand(&s);
    TForm2 form2(&s, &expand);
    form2.Diagrams(nl);
    form2.resize(TForm2::kDesignSize);   // the offscreen screen is smaller than the design
    expand.resize(1423, 861);
    expand.fill(nl);
    expand.show();
    app.processEvents();

    const QDir out(args[2]);
    QString suffix = comma ? QStringLiteral("_comma") : QString();
    if (args[1] == QStringLiteral("--long"))
        suffix += QStringLiteral("_long");
    const bool ok = form2.grab().save(out.filePath(QStringLiteral("form2%1.png").arg(suffix))) &&
                    expand.grab().save(out.filePath(QStringLiteral("expand%1.png").arg(suffix)));
    return ok ? 0 : 1;
}
