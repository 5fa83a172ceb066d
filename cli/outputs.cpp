// SPDX-License-Identifier: MIT
#include "outputs.h"
#include "options.h"

#include "chart/export.h"
#include "model/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#if __has_include(<sys/stat.h>)
#include <sys/stat.h>
#define OBROTK_HAVE_STAT 1
#endif

namespace obr::cli {

namespace {

QString cannotWrite(const QString &path, const QString &why)
{
    return QStringLiteral("Не удалось записать файл %1: %2")
        .arg(QDir::toNativeSeparators(path), why);
}

//! The path with its existing folders resolved (symbolic links, "..").
QString resolvedPath(const QString &path)
{
    const QFileInfo fi(path);
    if (fi.exists() && !fi.canonicalFilePath().isEmpty())
        return fi.canonicalFilePath();
    const QFileInfo parent(fi.absolutePath());
    const QString base = parent.exists() && !parent.canonicalFilePath().isEmpty()
                             ? parent.canonicalFilePath()
                             : QDir::cleanPath(fi.absolutePath());
    return base + u'/' + fi.fileName();
}

}   // namespace

QStringList chartFileNames(const QString &format)
{
    const QString suffix = imageSuffix(imageFormatNamed(format).value_or(ImageFormat::Png));
    QStringList names;
    for (const char *base : {"Form2_Chart1", "Form2_Chart2", "Form2_Chart3", "ExpandForm_Chart1",
                             "Form3_Chart3", "FormMle_ProbPlot", "FormMle_Causes"})
        names << QLatin1String(base) + u'.' + suffix;
    return names;
}

bool sameFile(const QString &a, const QString &b)
{
#ifdef OBROTK_HAVE_STAT
    struct stat sa {
    }, sb{};
    const QByteArray pa = QFile::encodeName(a), pb = QFile::encodeName(b);
    const bool ea = ::stat(pa.constData(), &sa) == 0, eb = ::stat(pb.constData(), &sb) == 0;
    if (ea && eb)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (ea != eb)
        return false;
#endif
    return resolvedPath(a) == resolvedPath(b);
}

namespace {

//! What an existing path is when it is not a regular file or folder; empty otherwise.
QString specialKind(const QString &path)
{
#ifdef OBROTK_HAVE_STAT
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("a pipe");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("a socket");
#else
    (void)path;
#endif
    return {};
}

}   // namespace

void checkTargets(const std::vector<Target> &inputs, const std::vector<Target> &given)
{
    // Each file an output writes, a folder's files included, under its option.
    std::vector<Target> outputs;
    for (const Target &t : given) {
        outputs.push_back(t);
        for (const QString &name : t.names)
            outputs.push_back({t.option, QDir(t.path).filePath(name)});
    }
    for (const Target &out : outputs) {
        if (const QString kind = specialKind(out.path); !kind.isEmpty())
            throw UsageError(QStringLiteral("%1: «%2» is %3, not a file; outputs go to files")
                                 .arg(out.option, out.path, kind));
        const QFileInfo fi(out.path);
        if (fi.exists() && !out.folder && fi.isDir())
            throw UsageError(
                QStringLiteral("%1: «%2» is a folder, not a file").arg(out.option, out.path));
        if (fi.exists() && out.folder && !fi.isDir())
            throw UsageError(
                QStringLiteral("%1: «%2» is a file, not a folder").arg(out.option, out.path));
    }
    for (const Target &out : outputs)
        for (const Target &in : inputs)
            if (sameFile(out.path, in.path))
                throw UsageError(QStringLiteral("%1: «%2» is the input file given as %3; "
                                                "the output would overwrite it")
                                     .arg(out.option, out.path, in.option));
    for (size_t i = 0; i < outputs.size(); ++i)
        for (size_t j = i + 1; j < outputs.size(); ++j)
            if (outputs[i].option != outputs[j].option &&
                sameFile(outputs[i].path, outputs[j].path))
                throw UsageError(QStringLiteral("%1 and %2 name the same file «%3»")
                                     .arg(outputs[i].option, outputs[j].option, outputs[j].path));
}

QStringList unusedOptionWarnings(const QStringList &args, const Options &o)
{
    auto given = [&](const QString &name) {
        for (const QString &a : args)
            if (a == name || a.startsWith(name + u'='))
                return true;
        return false;
    };
    struct Rule {
        const char *option;
        bool used;
        const char *why;
    };
    const Rule rules[] = {
        {"--level", o.mle, "the mle method is not among --methods"},
        {"--warranty-law", o.mle, "the mle method is not among --methods"},
        {"--fleet", o.mle, "the mle method is not among --methods"},
        {"--mle-bounds", o.mle && (!o.pdf.isEmpty() || !o.charts.isEmpty()),
         "it sets the bounds of the mle fit in --pdf and --charts, and neither is given with "
         "the mle method"},
        {"--chart-format", !o.charts.isEmpty(), "no --charts folder is given"},
    };
    QStringList out;
    for (const Rule &r : rules)
        if (!r.used && given(QLatin1String(r.option)))
            out << QStringLiteral("obrotk-cli: warning: %1 is not used: %2")
                       .arg(QLatin1String(r.option), QLatin1String(r.why));
    return out;
}

void checkOutputTargets(const Options &o)
{
    std::vector<Target> inputs{{QStringLiteral("FILE"), o.file}};
    if (!o.warranty.isEmpty())
        inputs.push_back({QStringLiteral("--warranty"), o.warranty});
    std::vector<Target> outputs;
    if (!o.json.isEmpty() && o.json != u"-")
        outputs.push_back({QStringLiteral("--json"), o.json});
    if (!o.log.isEmpty())
        outputs.push_back({QStringLiteral("--log"), o.log});
    if (!o.pdf.isEmpty())
        outputs.push_back({QStringLiteral("--pdf"), o.pdf});
    if (!o.charts.isEmpty())
        outputs.push_back(
            {QStringLiteral("--charts"), o.charts, true, chartFileNames(o.chartFormat)});
    checkTargets(inputs, outputs);
}

// ------------------------------------------------------------------ OutputSet

OutputSet::OutputSet() = default;
OutputSet::~OutputSet() = default;   // QSaveFile and QTemporaryDir remove what is not committed

void OutputSet::addFile(const QString &path, QByteArray bytes)
{
    m_files.push_back({path, std::move(bytes)});
}

void OutputSet::addFolder(const QString &dir, std::vector<OutputFile> files)
{
    Folder f;
    f.dir = dir;
    f.files = std::move(files);
    m_folders.push_back(std::move(f));
}

void OutputSet::stageFolder(Folder &f)
{
    const QFileInfo info(f.dir);
    if (info.exists() && !info.isDir())
        throw UserError(cannotWrite(f.dir, QStringLiteral("это не папка")));
    if (info.isDir()) {
        for (const OutputFile &file : f.files) {
            auto save = std::make_unique<QSaveFile>(QDir(f.dir).filePath(file.name));
            save->setDirectWriteFallback(false);
            if (!save->open(QIODevice::WriteOnly) || save->write(file.bytes) != file.bytes.size())
                throw UserError(cannotWrite(save->fileName(), save->errorString()));
            m_saves.push_back(std::move(save));
        }
        return;
    }
    // The folder is missing: build it, with any missing folders above it, inside a
    // temporary folder in the deepest folder that exists, and move it into place last.
    QString existing = QDir::cleanPath(info.absoluteFilePath());
    QStringList missing;
    while (!QFileInfo(existing).exists()) {
        const QFileInfo e(existing);
        missing.prepend(e.fileName());
        const QString up = e.absolutePath();
        if (up == existing)
            break;
        existing = up;
    }
    if (!QFileInfo(existing).isDir() || missing.isEmpty())
        throw UserError(cannotWrite(f.dir, QStringLiteral("папку нельзя создать")));
    f.temp =
        std::make_unique<QTemporaryDir>(QDir(existing).filePath(QStringLiteral(".obrotk-XXXXXX")));
    if (!f.temp->isValid())
        throw UserError(cannotWrite(f.dir, f.temp->errorString()));
    const QString built = QDir(f.temp->path()).filePath(missing.join(u'/'));
    if (!QDir().mkpath(built))
        throw UserError(cannotWrite(f.dir, QStringLiteral("папку нельзя создать")));
    for (const OutputFile &file : f.files) {
        QFile out(QDir(built).filePath(file.name));
        if (!out.open(QIODevice::WriteOnly) || out.write(file.bytes) != file.bytes.size() ||
            !out.flush())
            throw UserError(cannotWrite(QDir(f.dir).filePath(file.name), out.errorString()));
    }
    f.top = QDir(f.temp->path()).filePath(missing.first());
    f.target = QDir(existing).filePath(missing.first());
}

void OutputSet::stage()
{
    if (m_staged)
        return;
    try {
        for (const OutputFile &file : m_files) {
            auto save = std::make_unique<QSaveFile>(file.name);
            save->setDirectWriteFallback(false);
            if (!save->open(QIODevice::WriteOnly) || save->write(file.bytes) != file.bytes.size())
                throw UserError(cannotWrite(file.name, save->errorString()));
            m_saves.push_back(std::move(save));
        }
        for (Folder &f : m_folders)
            stageFolder(f);
    } catch (...) {
        m_saves.clear();
        for (Folder &f : m_folders)
            f.temp.reset();
        throw;
    }
    m_staged = true;
}

void OutputSet::commit()
{
    stage();
    for (Folder &f : m_folders) {
        if (f.temp && !QDir().rename(f.top, f.target))
            throw UserError(
                cannotWrite(f.dir, QStringLiteral("папку нельзя переместить на место")));
    }
    for (auto &save : m_saves)
        if (!save->commit())
            throw UserError(cannotWrite(save->fileName(), save->errorString()));
    m_saves.clear();
    m_folders.clear();
}

bool putBytes(FILE *to, const QByteArray &b)
{
    const size_t n = std::fwrite(b.constData(), 1, size_t(b.size()), to);
    return n == size_t(b.size()) && std::fflush(to) == 0 && !std::ferror(to);
}

void showResults(const QByteArray &shown)
{
    if (!shown.isEmpty() && !putBytes(stdout, shown))
        throw UserError(QStringLiteral("Не удалось вывести результаты в стандартный вывод: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno))));
}

}   // namespace obr::cli
