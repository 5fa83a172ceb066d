// SPDX-License-Identifier: MIT
#include "desktop_integration.h"

#include "app/obrotk2015.h"
#include "desktop/tablecopy.h"
#include "desktop/version.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>

namespace obr {

namespace {

const QString kOnlyFdt =
    QStringLiteral("Открыть можно только файл данных по отказам (*.fdt): «%1»");
const QString kOneFile = QStringLiteral("Перетащите на окно один файл данных по отказам (*.fdt)");

bool isFailureFile(const QString &path)
{
    const QFileInfo fi(path);
    return fi.suffix().compare(QStringLiteral("fdt"), Qt::CaseInsensitive) == 0 && !fi.isDir();
}

bool localFiles(const QMimeData *m)
{
    if (!m || !m->hasUrls() || m->urls().isEmpty())
        return false;
    for (const QUrl &u : m->urls())
        if (!u.isLocalFile())
            return false;
    return true;
}

//! Takes the drag-and-drop events of the window and of its controls that take drops of
//! their own (edit boxes, the log), so a file is loaded wherever it is dropped.
class DropFilter : public QObject {
public:
    explicit DropFilter(TForm1 *form) : QObject(form), m_form(form) {}

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        switch (e->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *de = static_cast<QDragMoveEvent *>(e);
            if (!localFiles(de->mimeData()))
                return false;   // text for an edit box goes on as before
            // A file is read, never taken away from where it lies: a copy, whatever the
            // source proposes.
            if (m_form->OpenFileStart->isEnabled()) {
                de->setDropAction(Qt::CopyAction);
                de->accept();
            } else
                de->ignore();   // no load while a genetic run holds the data
            return true;
        }
        case QEvent::Drop: {
            auto *de = static_cast<QDropEvent *>(e);
            if (!localFiles(de->mimeData()))
                return false;
            de->setDropAction(Qt::CopyAction);
            de->accept();
            dropFiles(*m_form, de->mimeData()->urls());
            return true;
        }
        default:
            break;
        }
        return QObject::eventFilter(watched, e);
    }

private:
    TForm1 *m_form;
};

}   // namespace

QString startUsage()
{
    return QStringLiteral(
        "Usage: obrotk [FILE.fdt]\n"
        "Opens the reliability analysis window; a failure data file given here is\n"
        "loaded at start as the «Путь» button loads it.\n"
        "  --version   print the version and exit\n"
        "  --help      print this text and exit\n");
}

StartArgs parseStartArgs(const QStringList &args)
{
    StartArgs a;
    bool onlyFiles = false;
    for (const QString &arg : args) {
        if (!onlyFiles && arg == u"--") {
            onlyFiles = true;
        } else if (!onlyFiles && (arg == u"--version" || arg == u"-v")) {
            a.version = true;
        } else if (!onlyFiles && (arg == u"--help" || arg == u"-h")) {
            a.help = true;
        } else if (!onlyFiles && arg.startsWith(u'-') && arg.size() > 1) {
            a.error = QStringLiteral("unknown option %1").arg(arg);
        } else if (!a.file.isEmpty()) {
            a.error = QStringLiteral("only one data file can be given");
        } else {
            const QUrl url(arg);
            const QString path = url.isLocalFile() ? url.toLocalFile() : arg;
            a.file = QFileInfo(path).absoluteFilePath();
        }
    }
    return a;
}

void openStartFile(TForm1 &form, const QString &file)
{
    if (!file.isEmpty())
        form.openFailureFile(file);
}

bool dropFiles(TForm1 &form, const QList<QUrl> &urls)
{
    if (!form.OpenFileStart->isEnabled())
        return false;
    if (urls.size() != 1) {
        form.messageNotifier()->message(&form, kOneFile);
        return false;
    }
    const QString path = urls.first().toLocalFile();
    if (path.isEmpty() || !isFailureFile(path)) {
        const QString name = path.isEmpty() ? urls.first().toString() : QFileInfo(path).fileName();
        form.messageNotifier()->message(&form, kOnlyFdt.arg(name));
        return false;
    }
    form.openFailureFile(path);
    return true;
}

void installDesktopIntegration(TForm1 &form)
{
    auto *filter = new DropFilter(&form);
    form.setAcceptDrops(true);
    form.installEventFilter(filter);
    for (QWidget *w : form.findChildren<QWidget *>())
        if (w->acceptDrops())
            w->installEventFilter(filter);
    installTableCopy(form.Mass_List);
}

}   // namespace obr
