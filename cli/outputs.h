// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Writing the outputs of obrotk-cli all or nothing, and the checks made before any
 * of them is written: no output may be an input file, no two outputs the same file.
 */
#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

namespace obr::cli {

struct Options;

//! One file of an output: its name (in a folder) or path, and its bytes.
struct OutputFile {
    QString name;
    QByteArray bytes;
};

/*! \brief Outputs that appear together or not at all. stage() writes every file to a
 *  temporary file beside its target (a missing folder is built in a temporary folder
 *  beside the place it goes to); commit() then renames them into place. When staging
 *  fails, or the set is destroyed before commit(), nothing of it is left behind. */
class OutputSet {
public:
    OutputSet();
    ~OutputSet();
    OutputSet(const OutputSet &) = delete;
    OutputSet &operator=(const OutputSet &) = delete;

    void addFile(const QString &path, QByteArray bytes);
    void addFolder(const QString &dir, std::vector<OutputFile> files);
    //! Throws UserError naming the file that cannot be written; nothing is left then.
    void stage();
    //! Stages first when that was not done. Throws UserError when a rename fails.
    void commit();

private:
    struct Folder {
        QString dir;
        std::vector<OutputFile> files;
        std::unique_ptr<QTemporaryDir> temp;   //!< the folder built aside, when missing
        QString top;                           //!< its first missing component, in temp
        QString target;                        //!< where that component goes
    };
    void stageFolder(Folder &f);

    std::vector<OutputFile> m_files;   //!< name = path
    std::vector<Folder> m_folders;
    std::vector<std::unique_ptr<QSaveFile>> m_saves;
    bool m_staged = false;
};

//! \brief Whether two paths name the same file: by device and inode where both exist,
//! else by the absolute path with the existing folders resolved.
bool sameFile(const QString &a, const QString &b);

//! An input or output of a command: the option that names it and its path.
struct Target {
    Target(QString option_, QString path_, bool folder_ = false, QStringList names_ = {})
        : option(std::move(option_)), path(std::move(path_)), folder(folder_),
          names(std::move(names_))
    {
    }
    QString option, path;
    bool folder = false;   //!< an output folder (--charts)
    QStringList names;     //!< the files an output folder receives
};

/*! \brief The output rules of every mode, checked before anything is written: no output
 *  (nor any file of an output folder) may be an input, however spelled or linked; no two
 *  outputs of different options may be one file; an output that exists must be a regular
 *  file (a folder for a folder): devices, pipes and sockets are refused. Throws
 *  UsageError naming the options. */
void checkTargets(const std::vector<Target> &inputs, const std::vector<Target> &outputs);

/*! \brief Warnings for options given where nothing uses them (the fit's options without
 *  the maximum-likelihood method, the chart format without --charts), one line each. */
QStringList unusedOptionWarnings(const QStringList &args, const Options &o);

//! checkTargets for the failure-file mode's options.
void checkOutputTargets(const Options &o);

//! Writes bytes to a standard stream; false when they could not all be written.
bool putBytes(FILE *to, const QByteArray &b);
//! Writes the results shown on stdout; throws UserError with the reason when it cannot.
void showResults(const QByteArray &shown);

//! The names of the chart files that --charts may write in a format (png, svg, pdf).
QStringList chartFileNames(const QString &format = QStringLiteral("png"));

}   // namespace obr::cli
