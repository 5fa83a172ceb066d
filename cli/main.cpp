// SPDX-License-Identifier: MIT
// obrotk-cli: the whole analysis of a failure data file without a window.
#include "cli/analysis.h"
#include "cli/cohort_cli.h"
#include "cli/life_cli.h"
#include "cli/options.h"
#include "cli/outputs.h"
#include "cli/render.h"
#include "cli/report.h"

#include "io/loaders.h"
#include "model/errors.h"
#include "model/seams.h"
#include "desktop/version.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <exception>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace obr;
using namespace obr::cli;

namespace {

void put(FILE *to, const QString &text) { putBytes(to, text.toUtf8()); }

/*! A standard stream that the caller closed: its descriptor is given /dev/null, so that no
 *  file opened later takes its number and receives what is meant for the stream. Returns
 *  true when the stream was closed. */
bool reserveClosedStream(int fd)
{
#ifndef _WIN32
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
        return false;
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0 && null != fd) {
        dup2(null, fd);
        close(null);
    }
    return true;
#else
    (void)fd;
    return false;
#endif
}

//! Messages of core routines that have no caller-given seam go to stderr.
class StderrNotifier : public Notifier {
public:
    void error(const QString &caption, const QString &text) override
    {
        put(stderr,
            caption.isEmpty() ? text + u'\n' : caption + QStringLiteral(": ") + text + u'\n');
    }
};

//! Qt's own chatter (platform plugin notes and the like) stays off stderr.
void qtMessages(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        put(stderr, msg + u'\n');
}

}   // namespace

int main(int argc, char **argv)
{
    reserveClosedStream(STDERR_FILENO);
    const bool stdoutClosed = reserveClosedStream(STDOUT_FILENO);
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (isLifeCommand(args))
        return lifeMain(args, argc, argv);
    if (isCohortCommand(args))
        return cohortMain(args, argc, argv);

    Options o;
    try {
        o = parseOptions(args, QLocale::system());
        if (!o.help && !o.version) {
            checkOptionNumbers(o);
            checkOutputTargets(o);
        }
    } catch (const UsageError &e) {
        put(stderr,
            QStringLiteral("obrotk-cli: ") + e.message() + QStringLiteral("\n\n") + usageText());
        return 2;
    } catch (const UserError &e) {
        put(stderr,
            QStringLiteral("obrotk-cli: ") + e.message() + QStringLiteral("\n\n") + usageText());
        return 2;
    }
    // What only goes to stdout says so on stderr when stdout cannot take it.
    auto shownOrSaid = [&](const QString &text) {
        if (!stdoutClosed && putBytes(stdout, text.toUtf8()))
            return 0;
        put(stderr, QStringLiteral("obrotk-cli: cannot write to standard output: %1\n")
                        .arg(stdoutClosed ? QStringLiteral("it is closed")
                                          : QString::fromLocal8Bit(std::strerror(errno))));
        return 1;
    };
    if (o.version)
        return shownOrSaid(
            QStringLiteral("obrotk-cli %1\n").arg(QString::fromLatin1(obr::kVersion)));
    if (o.help)
        return shownOrSaid(usageText());
    for (const QString &w : unusedOptionWarnings(args, o))
        put(stderr, w + u'\n');

    // Charts and the grid's font metrics need a GUI application; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(qtMessages);
    int qtArgc = 1;   // the program's own arguments are not Qt's
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
        // Every output is complete before it appears, and the files appear together: all
        // are staged beside their targets and put in place only when all of them and the
        // standard output were written.
        // Figures the formulas give but no data support: said on stderr, not hidden.
        for (const QString &w : a.results.implausible)
            put(stderr, w + u'\n');
        OutputSet outputs;
        QByteArray json;
        if (!o.json.isEmpty())
            json = analysisJson(a, o.file);
        if (!o.log.isEmpty())
            outputs.addFile(o.log, encodeLines(a.log));
        if (!o.charts.isEmpty())
            outputs.addFolder(o.charts, chartFiles(a, o.chartFormat));
        if (!o.pdf.isEmpty())
            outputs.addFile(o.pdf, pdfBytes(a, o.file));
        if (!o.json.isEmpty() && o.json != u"-")
            outputs.addFile(o.json, json);
        outputs.stage();
        QByteArray shown;
        if (o.json == u"-") {
            shown = json;
        } else if (!o.quiet) {
            QString text = tableText(a.results);
            if (a.nonparam)
                text += u'\n' + nonparamText(*a.nonparam);
            if (a.mle)
                text += u'\n' + mleText(*a.mle, a.nl.dec);
            shown = text.toUtf8();
        }
        if (!shown.isEmpty() && (stdoutClosed || !putBytes(stdout, shown)))
            throw UserError(QStringLiteral("Не удалось вывести результаты в стандартный вывод: %1")
                                .arg(stdoutClosed ? QStringLiteral("он закрыт")
                                                  : QString::fromLocal8Bit(std::strerror(errno))));
        outputs.commit();
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
