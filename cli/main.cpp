// SPDX-License-Identifier: MIT
// obrotk-cli: the whole analysis of a failure data file without a window.
#include "cli/analysis.h"
#include "cli/life_cli.h"
#include "cli/options.h"
#include "cli/render.h"
#include "cli/report.h"

#include "io/loaders.h"
#include "model/errors.h"
#include "model/seams.h"

#include <QApplication>
#include <QSaveFile>
#include <cstdio>
#include <exception>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

using namespace obr;
using namespace obr::cli;

namespace {

void put(FILE *to, const QString &text)
{
    const QByteArray b = text.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), to);
    std::fflush(to);
}

//! Messages of core routines that have no caller-given seam go to stderr.
class StderrNotifier : public Notifier {
public:
    void error(const QString &caption, const QString &text) override
    {
        put(stderr, caption.isEmpty() ? text + u'\n' : caption + QStringLiteral(": ") + text + u'\n');
    }
};

//! Qt's own chatter (platform plugin notes and the like) stays off stderr.
void qtMessages(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        put(stderr, msg + u'\n');
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw UserError(QStringLiteral("Не удалось записать файл %1: %2").arg(path, f.errorString()));
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (isLifeCommand(args))
        return lifeMain(args, argc, argv);

    Options o;
    try {
        o = parseOptions(args, QLocale::system());
        if (!o.help)
            checkOptionNumbers(o);
    } catch (const UsageError &e) {
        put(stderr, QStringLiteral("obrotk-cli: ") + e.message() + QStringLiteral("\n\n") + usageText());
        return 2;
    } catch (const UserError &e) {
        put(stderr, QStringLiteral("obrotk-cli: ") + e.message() + QStringLiteral("\n\n") + usageText());
        return 2;
    }
    if (o.help) {
        put(stdout, usageText());
        return 0;
    }

    // Charts and the grid's font metrics need a GUI application; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(qtMessages);
    int qtArgc = 1; // the program's own arguments are not Qt's
    QApplication app(qtArgc, argv);
    StderrNotifier notifier;
    setCoreNotifier(&notifier);

    const bool progressShown = !o.quiet && isatty(fileno(stderr));
    bool progressOpen = false;
    const GenProgress progress = [&](int32_t generation, int32_t generations, int percent) {
        if (!progressShown)
            return;
        put(stderr, QStringLiteral("\rГенетический алгоритм: поколение %1 из %2, %3%")
                        .arg(generation)
                        .arg(generations)
                        .arg(percent));
        progressOpen = true;
    };

    int status = 0;
    try {
        const Analysis a = runAnalysis(o, gridTextWidth(), progress);
        if (progressOpen)
            put(stderr, QStringLiteral("\n"));
        // Every output is complete before it appears: files through QSaveFile.
        QByteArray json;
        if (!o.json.isEmpty())
            json = analysisJson(a, o.file);
        if (!o.log.isEmpty())
            writeFile(o.log, encodeLines(a.log));
        if (!o.charts.isEmpty())
            writeCharts(a, o.charts);
        if (!o.pdf.isEmpty())
            writePdf(a, o.file, o.pdf);
        if (!o.json.isEmpty() && o.json != u"-")
            writeFile(o.json, json);
        if (o.json == u"-") {
            std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        } else if (!o.quiet) {
            QString text = tableText(a.results);
            if (a.nonparam)
                text += u'\n' + nonparamText(*a.nonparam);
            put(stdout, text);
        }
        std::fflush(stdout);
    } catch (const UserError &e) {
        if (progressOpen)
            put(stderr, QStringLiteral("\n"));
        put(stderr, e.message() + u'\n');
        status = 1;
    } catch (const std::exception &e) {
        if (progressOpen)
            put(stderr, QStringLiteral("\n"));
        put(stderr, QString::fromLocal8Bit(e.what()) + u'\n');
        status = 1;
    }
    setCoreNotifier(nullptr);
    return status;
}
