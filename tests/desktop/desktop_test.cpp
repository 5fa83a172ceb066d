// SPDX-License-Identifier: MIT
// The programs as desktop programs: grids copied as cells (read back from the clipboard),
// the results window's CSV export, failure data files dropped on the main window or
// given at start, the remembered file as the open dialog's start, and --version.
#include "app/desktop_integration.h"
#include "app/failuregridmodel.h"
#include "app/obrotk2015.h"
#include "app/startup.h"
#include "chart/export.h"
#include "desktop/tablecopy.h"
#include "desktop/version.h"
#include "io/loaders.h"
#include "model/numfmt.h"
#include "model/texts.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace obr;

namespace {

QString sourcePath(const QString &rel)
{
    return QDir(QString::fromLocal8Bit(qgetenv("OBROTK_SOURCE_DIR"))).filePath(rel);
}
QString samplePath() { return sourcePath(QStringLiteral("examples/sample.fdt")); }

class FakeChooser : public FileChooser {
public:
    QStringList starts;
    QString openFile(QWidget *, const QString &, const QString &start) override
    {
        starts << start;
        return QString();
    }
    QString saveFile(QWidget *, const QString &) override { return QString(); }
};

class FakeMessages : public MessageNotifier {
public:
    QStringList messages, errors;
    void message(QWidget *, const QString &text) override { messages << text; }
    void error(QWidget *, const QString &, const QString &text) override { errors << text; }
};

class FakeExport : public ExportDialogs {
public:
    QString answer;
    QString filter;
    QStringList failures;
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &,
                         QString *chosen) override
    {
        if (chosen && !filter.isEmpty())
            *chosen = filter;
        return answer;
    }
    void failed(QWidget *, const QString &message) override { failures << message; }
};

//! The program's windows as main() makes them, with recording dialogs, in a working
//! directory of their own (the link file is written there).
struct Program {
    QTemporaryDir dir;
    QString oldCwd = QDir::currentPath();
    FakeChooser chooser;
    FakeMessages msgs;
    State state;
    std::unique_ptr<AppWindows> w;

    Program()
    {
        QDir::setCurrent(dir.path());
        w = std::make_unique<AppWindows>(&state);
        w->Form1.setFileChooser(&chooser);
        w->Form1.setMessageNotifier(&msgs);
        w->Form1.setGenThreads(1);
    }
    ~Program()
    {
        w.reset();
        QDir::setCurrent(oldCwd);
    }
    TForm1 &form1() { return w->Form1; }
    QString linkFile() const
    {
        QFile f(QStringLiteral("linkFdt.txt"));
        return f.open(QIODevice::ReadOnly) ? decodeText(f.readAll()).trimmed() : QString();
    }
    //! The sample loaded and fitted by spiral descent with a coarse step.
    void calculate()
    {
        openStartFile(form1(), samplePath());
        const QChar dec = NumLocale::from(QLocale()).dec;
        form1().Edit1->setText(QStringLiteral("1") + dec + QStringLiteral("05"));
        form1().bbRaschetClick();
        form1().waitForCalculation();
        QVERIFY(state.MPirsS.Executed);
    }
};

QStringList clipboardLines()
{
    QString t = QApplication::clipboard()->text();
    if (t.endsWith(u'\n'))
        t.chop(1);
    return t.split(u'\n');
}

void dropOn(QWidget *target, const QList<QUrl> &urls, bool *accepted = nullptr)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (accepted)
        *accepted = enter.isAccepted();
    if (!enter.isAccepted())
        return;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

}   // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void resultsTableCopiesAsCells_data();
    void resultsTableCopiesAsCells();
    void failureGridCopiesWithHeaderAndLocaleSeparator();
    void csvExportWritesTheFile();
    void startFileGoodBadAndMissing();
    void startArguments();
    void dropLoadsFdtAndRefusesOthers();
    void openDialogStartsAtRememberedFile();
    void versionOfBothPrograms();
};

void DesktopTest::resultsTableCopiesAsCells_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("period") << QLocale::c();
    QTest::newRow("comma") << QLocale(QLocale::Russian, QLocale::Russia);
}

void DesktopTest::resultsTableCopiesAsCells()
{
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    Program p;
    p.calculate();
    QTableWidget *grid = p.w->Form2.Result_Grid;
    const int dataCol = p.w->Form2.view().table.dataColumn;
    QCOMPARE(dataCol, 2);

    // Nothing selected: the whole table, each cell without its padding, no empty columns.
    grid->clearSelection();
    QAction *copy = grid->findChild<QAction *>(QStringLiteral("copyCellsAction"));
    QVERIFY(copy);
    QCOMPARE(copy->text(), QStringLiteral("Копировать"));
    QApplication::clipboard()->clear();
    copy->trigger();
    QStringList lines = clipboardLines();
    QCOMPARE(lines.size(), 12);
    for (int r = 0; r < 12; ++r) {
        const QStringList cells = lines[r].split(u'\t');
        QCOMPARE(cells.size(), dataCol + 1);
        for (int c = 0; c <= dataCol; ++c) {
            QCOMPARE(cells[c], grid->item(r, c)->text().trimmed());
            QVERIFY(!cells[c].startsWith(u' ') && !cells[c].endsWith(u' '));
        }
    }
    QCOMPARE(lines[0],
             QStringLiteral("Параметры для моделей:\tПирсона/спир.спуск\tДанные эксплуатации"));
    // The repeat coefficient, "%6.3f", with the locale's separator.
    const QString k = lines[2].split(u'\t')[1];
    QCOMPARE(k, fmtF(p.state.MPirsS.K_powtor, 6, 3, NumLocale::from(locale).dec).trimmed());
    QVERIFY(k.contains(NumLocale::from(locale).dec));

    // A selection: its rectangle only, by Ctrl+C on the grid.
    grid->setFocus();
    grid->setRangeSelected(QTableWidgetSelectionRange(1, 0, 2, 1), true);
    QApplication::clipboard()->clear();
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    lines = clipboardLines();
    QCOMPARE(lines, QStringList({grid->item(1, 0)->text().trimmed() + u'\t' +
                                     grid->item(1, 1)->text().trimmed(),
                                 grid->item(2, 0)->text().trimmed() + u'\t' +
                                     grid->item(2, 1)->text().trimmed()}));
}

void DesktopTest::failureGridCopiesWithHeaderAndLocaleSeparator()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    Program p;
    openStartFile(p.form1(), samplePath());
    QTableView *grid = p.form1().Mass_List;
    QApplication::clipboard()->clear();
    grid->findChild<QAction *>(QStringLiteral("copyCellsAction"))->trigger();
    const QStringList lines = clipboardLines();
    QCOMPARE(lines.size(), p.form1().gridModel()->rowCount() + 1);
    QCOMPARE(lines[0], QStringLiteral("№ отказа\tНаработка, час\tИсточник отказа\t"
                                      "Что ремонтировалось или заменено"));
    // Row by row what the grid shows, the times with a decimal comma.
    bool sawComma = false;
    for (int r = 0; r < p.form1().gridModel()->rowCount(); r += 37) {
        const QStringList cells = lines[r + 1].split(u'\t');
        QCOMPARE(cells.size(), 4);
        for (int c = 0; c < 4; ++c)
            QCOMPARE(cells[c], p.form1().gridModel()->index(r, c).data().toString().trimmed());
        QVERIFY(!cells[1].contains(u'.'));
        sawComma = sawComma || cells[1].contains(u',');
    }
    QVERIFY(sawComma);
}

void DesktopTest::csvExportWritesTheFile()
{
    Program p;
    p.calculate();
    FakeExport fake;
    setExportDialogs(&fake);
    fake.answer = p.dir.filePath(QStringLiteral("results"));   // the suffix is added
    QCOMPARE(p.w->Form2.ButtonCsv->text(), QStringLiteral("Экспорт в CSV…"));
    QTest::mouseClick(p.w->Form2.ButtonCsv, Qt::LeftButton);
    QFile f(fake.answer + QStringLiteral(".csv"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QString csv = QString::fromUtf8(bytes.mid(3));
    QVERIFY(csv.contains(QStringLiteral("Пирсона/спир.спуск: ожидаемое число отказов")));
    QVERIFY(csv.contains(QStringLiteral("Непараметрический анализ")));
    QVERIFY(csv.contains(p.state.Comment));

    // A file that cannot be written: the user is told, nothing half-written remains.
    fake.answer = p.dir.filePath(QStringLiteral("no/such/dir/r.csv"));
    p.w->Form2.ExportCsvClick();
    QCOMPARE(fake.failures.size(), 1);
    QVERIFY(fake.failures.first().startsWith(QStringLiteral("Не удалось записать файл")));
    fake.answer.clear();   // cancelled: nothing happens
    p.w->Form2.ExportCsvClick();
    QCOMPARE(fake.failures.size(), 1);
    setExportDialogs(nullptr);
}

void DesktopTest::startFileGoodBadAndMissing()
{
    {
        Program p;
        openStartFile(p.form1(), samplePath());
        QVERIFY(p.msgs.messages.isEmpty() && p.msgs.errors.isEmpty());
        QCOMPARE(p.state.MasProbl.size(), size_t(594));
        QCOMPARE(p.form1().FilePath->text(), QDir::toNativeSeparators(samplePath()));
        QCOMPARE(p.linkFile(), QDir::toNativeSeparators(samplePath()));
        // The dialog then holds the file, as if it had been chosen there.
        QCOMPARE(p.form1().dialogFileName(), samplePath());
    }
    {
        Program p;
        const QString bad = sourcePath(QStringLiteral("tests/app/data/bad_header.fdt"));
        openStartFile(p.form1(), bad);
        QCOMPARE(p.msgs.errors.size(), 1);
        QVERIFY(p.state.MasProbl.empty());
        QCOMPARE(p.linkFile(), QDir::toNativeSeparators(bad));
    }
    {
        Program p;
        const QString missing = p.dir.filePath(QStringLiteral("нет_такого.fdt"));
        openStartFile(p.form1(), missing);
        QCOMPARE(p.msgs.messages, QStringList{txt::fileNotFound});
        QVERIFY(!p.state.uk);
        QCOMPARE(p.linkFile(), QDir::toNativeSeparators(missing));
    }
    {
        Program p;   // no file given: nothing happens
        openStartFile(p.form1(), QString());
        QVERIFY(p.msgs.messages.isEmpty() && p.msgs.errors.isEmpty());
        QVERIFY(!QFile::exists(QStringLiteral("linkFdt.txt")));
    }
}

void DesktopTest::startArguments()
{
    const QString cwd = QDir::currentPath();
    struct Case {
        QStringList args;
        bool version, help;
        QString file;
        bool error;
    } cases[] = {
        {{}, false, false, QString(), false},
        {{QStringLiteral("data.fdt")},
         false,
         false,
         QDir(cwd).filePath(QStringLiteral("data.fdt")),
         false},
        {{QStringLiteral("file:///tmp/a%20b.fdt")},
         false,
         false,
         QStringLiteral("/tmp/a b.fdt"),
         false},
        {{QStringLiteral("--"), QStringLiteral("/tmp/-x.fdt")},
         false,
         false,
         QStringLiteral("/tmp/-x.fdt"),
         false},
        {{QStringLiteral("--version")}, true, false, QString(), false},
        {{QStringLiteral("-h")}, false, true, QString(), false},
        {{QStringLiteral("--frob")}, false, false, QString(), true},
        {{QStringLiteral("/a.fdt"), QStringLiteral("/b.fdt")},
         false,
         false,
         QStringLiteral("/a.fdt"),
         true},
    };
    for (const Case &c : cases) {
        const StartArgs a = parseStartArgs(c.args);
        const QByteArray what = c.args.join(u' ').toUtf8();
        QVERIFY2(a.version == c.version && a.help == c.help, what.constData());
        QVERIFY2(a.file == c.file, what.constData());
        QVERIFY2(a.error.isEmpty() != c.error, what.constData());
    }
}

void DesktopTest::dropLoadsFdtAndRefusesOthers()
{
    Program p;
    TForm1 &f = p.form1();
    QVERIFY(f.acceptDrops());
    const QString other = sourcePath(QStringLiteral("examples/gar_sample.txt"));

    // Another kind of file: a clear message, nothing loaded, no link file.
    bool accepted = false;
    dropOn(&f, {QUrl::fromLocalFile(other)}, &accepted);
    QVERIFY(accepted);
    QCOMPARE(p.msgs.messages,
             QStringList{QStringLiteral("Открыть можно только файл данных по отказам (*.fdt): "
                                        "«gar_sample.txt»")});
    QVERIFY(p.state.MasProbl.empty());
    QVERIFY(!QFile::exists(QStringLiteral("linkFdt.txt")));
    // Two files at once.
    dropOn(&f, {QUrl::fromLocalFile(samplePath()), QUrl::fromLocalFile(other)});
    QCOMPARE(p.msgs.messages.size(), 2);
    QVERIFY(p.msgs.messages.last().contains(QStringLiteral("один файл")));
    QVERIFY(p.state.MasProbl.empty());
    // A remote address is no file to open: the drag is not taken.
    dropOn(&f, {QUrl(QStringLiteral("https://example.org/a.fdt"))}, &accepted);
    QVERIFY(!accepted);

    // A failure data file dropped on an edit box loads as «Путь» loads it; the box keeps
    // the path the loader writes, not the dropped text.
    dropOn(f.meSred, {QUrl::fromLocalFile(samplePath())}, &accepted);
    QVERIFY(accepted);
    QCOMPARE(p.msgs.messages.size(), 2);
    QCOMPARE(p.state.MasProbl.size(), size_t(594));
    QCOMPARE(p.linkFile(), QDir::toNativeSeparators(samplePath()));
    QCOMPARE(f.FilePath->text(), QDir::toNativeSeparators(samplePath()));
    QVERIFY(!f.meSred->text().contains(QStringLiteral("file:")));

    // The handler itself, with the upper-case suffix of some file systems.
    QFile::copy(samplePath(), p.dir.filePath(QStringLiteral("COPY.FDT")));
    QVERIFY(dropFiles(f, {QUrl::fromLocalFile(p.dir.filePath(QStringLiteral("COPY.FDT")))}));
    QCOMPARE(f.dialogFileName(), p.dir.filePath(QStringLiteral("COPY.FDT")));
    // While «Путь» is disabled (a genetic run), a drop is not taken.
    f.OpenFileStart->setEnabled(false);
    dropOn(&f, {QUrl::fromLocalFile(samplePath())}, &accepted);
    QVERIFY(!accepted);
    QVERIFY(!dropFiles(f, {QUrl::fromLocalFile(samplePath())}));
}

void DesktopTest::openDialogStartsAtRememberedFile()
{
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    auto startOfFirstDialog = [](const QByteArray &link) {
        QFile f(QStringLiteral("linkFdt.txt"));
        f.open(QIODevice::WriteOnly);
        f.write(link);
        f.close();
        State s;
        TForm1 form(&s);
        FakeChooser chooser;
        FakeMessages msgs;
        form.setFileChooser(&chooser);
        form.setMessageNotifier(&msgs);
        form.OpenFileStartClick();
        return chooser.starts.value(0);
    };
    QCOMPARE(startOfFirstDialog(QDir::toNativeSeparators(samplePath()).toLocal8Bit() + "\r\n"),
             QDir::toNativeSeparators(samplePath()));
    // A remembered file that is gone: the home directory.
    QCOMPARE(startOfFirstDialog("/no/such/file.fdt\r\n"), QDir::homePath());
    QDir::setCurrent(old);
}

void DesktopTest::versionOfBothPrograms()
{
    for (const auto &[exe, name] :
         {std::pair{OBROTK_EXE, "obrotk"}, std::pair{OBROTK_CLI_EXE, "obrotk-cli"}}) {
        QProcess proc;
        // No display: the version is printed before any window is made.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        proc.setProcessEnvironment(env);
        proc.start(QString::fromLocal8Bit(exe), {QStringLiteral("--version")});
        QVERIFY(proc.waitForFinished(30000));
        QCOMPARE(proc.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(proc.readAllStandardOutput()),
                 QString::fromLatin1(name) + u' ' + QString::fromLatin1(kVersion) + u'\n');
    }
}

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
