// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief obrotk-cli run as a process (the test target defines OBROTK_CLI_EXE): its exit
 * status and what it wrote on its standard streams.
 */
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace obr::test {

inline const QString &cliExe()
{
    static const QString exe = QStringLiteral(OBROTK_CLI_EXE);
    return exe;
}

//! Where the program's standard output goes.
enum class Stdout {
    Normal,   //!< a pipe the test reads
    Full,     //!< /dev/full: every write fails
    Closed    //!< closed by the shell before the program starts
};

struct CliRun {
    int exitCode = -1;   //!< -1 when the program crashed or did not finish
    QByteArray out, err;
    QString outText() const { return QString::fromUtf8(out); }
    QString errText() const { return QString::fromUtf8(err); }
};

//! Runs obrotk-cli with \a args; a run that does not finish in two minutes fails the test.
inline CliRun runCli(const QStringList &args, Stdout mode = Stdout::Normal)
{
    QProcess p;
    if (mode == Stdout::Closed) {
        // The shell closes the descriptor; the program must not write into another file.
        QStringList quoted;
        for (const QString &a : QStringList{cliExe()} + args)
            quoted << u'\'' + QString(a).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
        p.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), quoted.join(u' ') + QStringLiteral(" >&-")});
    } else {
        if (mode == Stdout::Full)
            p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(cliExe(), args);
    }
    CliRun r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "obrotk-cli did not finish: " << args.join(u' ').toStdString();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

//! The bytes of a file; empty when it cannot be read.
inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}   // namespace obr::test
