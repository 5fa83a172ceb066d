// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The command line of obrotk-cli: what the user asked for, as the texts that the
 * main window's boxes would hold.
 */
#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace obr::cli {

//! A command line that cannot be run: exit status 2 with the usage text.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

/*! \brief A command line as QCommandLineParser reads it against the program's options:
 *  "--opt VALUE" and "--opt=VALUE", single-letter options after one dash, "--" before
 *  words that are not options, a lone "-" as such a word. */
struct CommandWords {
    //! The options in the order given, named as the program spells them (with dashes),
    //! each with its value (empty for a flag).
    std::vector<std::pair<QString, QString>> options;
    QStringList others;   //!< the words that are not options, in order
    //! What made the words unreadable, and the word concerned (as typed, without a value).
    enum class Problem { None, UnknownOption, MissingValue, FlagWithValue } problem = Problem::None;
    QString word;
};

/*! \brief Reads \a args (without the program's name). \a valued and \a flags are the
 *  options that take a value and those that do not, with their dashes ("--json", "-h"). */
CommandWords readCommandWords(const QStringList &args, const QStringList &valued,
                              const QStringList &flags);

//! What the command line asks for. Number texts are kept as typed (see numberText).
struct Options {
    QString file;       //!< failure data file
    QString warranty;   //!< warranty-times file, empty when not given

    // Methods, in the order they run
    bool spiral = true;
    bool newton = false;
    bool smirnov = false;
    bool genetic = false;
    bool nonparam = false;
    bool mle = false;   //!< the maximum-likelihood fit, after the Smirnov fit

    // The maximum-likelihood fit
    double mleLevel = 0.95;            //!< confidence level of its bounds
    bool mleEmpirical = false;         //!< the warranty file's empirical law instead of the normal
    std::optional<int64_t> mleFleet;   //!< fleet of the claims forecast (default: the loaded one)
    bool mleLr = true;                 //!< bounds of the report's table and band: LR, or Fisher

    // The boxes of the main window; empty = the text the loaders write
    std::optional<QString> meSred, meSKO, LabeledEdit2;
    bool Sred_flag = false;
    bool SKO_Flag = false;
    int RadioGroup1 = 1;   //!< 0 Стандарт, 1 Спец 1, 2 Спец 2
    std::optional<QString> Edit1, Edit6, Edit5;       //!< spiral, Newton, Smirnov steps
    std::optional<QString> Edit2, Edit3, NPokoleny;   //!< precision, population, generations
    std::optional<uint32_t> gaSeed;
    std::optional<int> threads;

    // Outputs
    QString json;   //!< path, "-" for stdout, empty for none
    QString log;
    QString charts;
    QString chartFormat = QStringLiteral("png");   //!< png, svg or pdf: the files of --charts
    QString pdf;
    QLocale locale;   //!< decides the decimal separator of all texts
    bool quiet = false;
    bool help = false;
    bool version = false;
};

/*! \brief The usage text (English option names, as in --help). Written out rather than
 *  made by QCommandLineParser::helpText, which would list the options one by one in its
 *  own words and lose the grouped synopsis and the exit statuses. */
QString usageText();

/*! \brief Parses the arguments (without the program name) with readCommandWords; a
 *  repeated option's last value counts. Throws UsageError for an unknown option, a
 *  missing or malformed value, or a missing or second data file. Number texts of the boxes are
 * checked later, with the same parsers the window uses. */
Options parseOptions(const QStringList &args, const QLocale &userLocale = QLocale());

/*! \brief A number typed on the command line as the box would hold it: both "." and ","
 *  stand for the locale's decimal separator, so 1520.5 and 1520,5 mean the same in any
 *  locale (as the failure times of the data file do). */
QString numberText(const QString &typed, QChar dec);

}   // namespace obr::cli
