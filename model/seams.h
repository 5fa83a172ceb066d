// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The small interfaces through which core code reaches the user.
 */
#include <QString>
#include <functional>

namespace obr {

//! Receives whole lines for the progress log (the main window's Memo2).
using LogSink = std::function<void(const QString &line)>;

//! A log sink that drops every line.
inline LogSink nullLog()
{
    return [](const QString &) {};
}

//! Shows a message to the user (a message box in the program, a recorder in tests).
class Notifier {
public:
    virtual ~Notifier() = default;
    //! A message with a caption and an error icon.
    virtual void error(const QString &caption, const QString &text) = 0;
};

/*! \brief The notifier used by core routines that report without a caller-given seam.
 *
 * Null until the program installs one; then messages are dropped. Thread-safe.
 */
Notifier *coreNotifier();
void setCoreNotifier(Notifier *n);

}   // namespace obr
