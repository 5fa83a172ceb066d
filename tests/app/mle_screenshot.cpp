// SPDX-License-Identifier: MIT
// Not a test: shows the real windows of the maximum-likelihood model on the display it is
// given and saves what the screen shows (scripts/screenshot_mle.sh): the results window
// with all five models, the bounds window on the fleet file (likelihood-ratio bounds at
// 95%, then Fisher bounds at 80%) and on a file with a ridge, its probability plot and
// causes chart, and the refusal on the bundled sample.
//   mle_screenshot FLEET.fdt SAMPLE.fdt OUT-DIR
#include "app/form1_texts.h"
#include "app/obrotk2015.h"
#include "fit/genetic.h"
#include "mle/simulate.h"
#include "mleview/ui/formmle.h"
#include "nonparam/ui/form3.h"
#include "results/ui/expandform.h"
#include "results/ui/form2.h"

#include "chart/chartwidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cmath>

using namespace obr;

namespace {

class ScriptedChooser : public FileChooser {
public:
    QStringList answers;
    QString openFile(QWidget *, const QString &, const QString &) override
    {
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QString saveFile(QWidget *, const QString &) override { return {}; }
};

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void shootScreen(const QString &path)
{
    pause(700);
    QApplication::primaryScreen()->grabWindow(0).save(path);
}

//! A fleet whose failures all come early in the life: only K·A and B are determined.
QString writeRidgeFile(const QString &dir)
{
    mle::SimParams p;
    p.B = 1.5;
    p.A = 0.0151 / std::pow(1500.0, 1.5);
    p.K = 2;
    p.Nprived = 20000;
    p.seed = 3;
    p.resolution = 0.1;
    const std::vector<double> t = mle::simulateFailures(p);
    QStringList lines = {QStringLiteral("Гребень: ранние отказы большого парка"),
                         QStringLiteral("1000.0"),
                         QStringLiteral("250.0"),
                         QStringLiteral("20000"),
                         QString::number(t.size()),
                         QStringLiteral("1"),
                         QStringLiteral("Насос")};
    for (size_t i = 0; i < t.size(); ++i)
        lines << QString::number(t[i], 'f', 1) +
                     (i % 3 ? QStringLiteral("\tНасос") : QStringLiteral("\t"));
    const QString path = QDir(dir).filePath(QStringLiteral("ridge.fdt"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    return path;
}

}   // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 4)
        return 2;
    const QString fleet = QString::fromLocal8Bit(argv[1]);
    const QString sample = QString::fromLocal8Bit(argv[2]);
    const QString out = QString::fromLocal8Bit(argv[3]);
    QDir().mkpath(out);
    QDir::setCurrent(out);
    const QString ridge = writeRidgeFile(out);

    State state;
    TExpandForm expand(&state);
    TForm2 form2(&state, &expand);
    TForm3 form3(&state);
    TForm1 form1(&state);
    ScriptedChooser chooser;
    form1.setResultWindows(&form2, &form3);
    form1.setFileChooser(&chooser);
    form1.show();
    pause(800);

    auto load = [&](const QString &path) {
        chooser.answers << path;
        form1.OpenFileStartClick();
        form1.Edit1->setText(QStringLiteral("1.05"));
        form1.Edit6->setText(QStringLiteral("1.05"));
        form1.Edit5->setText(QStringLiteral("1.05"));
    };
    auto calculate = [&] {
        form1.bbRaschetClick();
        form1.waitForCalculation();
        pause(500);
    };

    // All five models: the genetic one first (it is shown again by the calculation).
    load(fleet);
    form1.Edit3->setText(QStringLiteral("30"));
    form1.NPokoleny->setText(QStringLiteral("15"));
    QEventLoop gen;
    QObject::connect(&form1, &TForm1::geneticRunFinished, &gen, &QEventLoop::quit);
    form1.ToolBRunGenOptimClick();
    if (form1.genRunning())
        gen.exec();
    form1.SpirSpusk->setChecked(true);
    form1.BoxNewton->setChecked(true);
    form1.BoxSmirnow->setChecked(true);
    form1.BoxMaxPr->setChecked(true);
    shootScreen(QDir(out).filePath(QStringLiteral("main_window.png")));
    calculate();
    shootScreen(QDir(out).filePath(QStringLiteral("results_all_models.png")));

    form2.ButtonMle->click();
    TFormMle *w = form2.mleWindow();
    if (!w)
        return 1;
    shootScreen(QDir(out).filePath(QStringLiteral("mle_fleet.png")));
    w->ProbPlot->grab().save(QDir(out).filePath(QStringLiteral("mle_probplot.png")));
    w->CausesChart->grab().save(QDir(out).filePath(QStringLiteral("mle_causes.png")));
    w->ObsExpChart->grab().save(QDir(out).filePath(QStringLiteral("mle_observed_expected.png")));
    // The switches: Fisher bounds, then the level 0.8 (computed again at once).
    form1.MleKind->setCurrentIndex(1);
    form1.MleLevel->setCurrentIndex(0);
    form1.waitForCalculation();
    shootScreen(QDir(out).filePath(QStringLiteral("mle_fleet_fisher80.png")));
    w->ProbPlot->grab().save(QDir(out).filePath(QStringLiteral("mle_probplot_fisher80.png")));
    form1.MleKind->setCurrentIndex(0);
    form1.MleLevel->setCurrentIndex(2);
    form1.waitForCalculation();
    pause(500);
    w->hide();

    // A ridge: K and 1/A are not determined.
    load(ridge);
    form1.BoxNewton->setChecked(false);
    form1.BoxSmirnow->setChecked(false);
    calculate();
    form2.ButtonMle->click();
    shootScreen(QDir(out).filePath(QStringLiteral("mle_ridge.png")));
    w->ProbPlot->grab().save(QDir(out).filePath(QStringLiteral("mle_ridge_probplot.png")));
    w->hide();

    // The bundled sample: a failure at 0 h, the fit refuses; the message box is shot and
    // closed, the earlier models stay shown.
    load(sample);
    QTimer::singleShot(2500, [&] {
        shootScreen(QDir(out).filePath(QStringLiteral("mle_refusal.png")));
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    calculate();
    shootScreen(QDir(out).filePath(QStringLiteral("results_after_refusal.png")));
    return 0;
}
