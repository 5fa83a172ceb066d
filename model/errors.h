// SPDX-License-Identifier: MIT
#pragma once
#include <QString>
#include <new>
#include <stdexcept>

namespace obr {

/*! \brief An expected problem that ends the current user action.
 *
 * Carries the message the user is shown. Every window handler catches it; core
 * code throws it instead of letting a division by zero or a bad number run on.
 */
class UserError : public std::runtime_error {
public:
    explicit UserError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

/*! \brief A long calculation was stopped at the user's request.
 *
 * Thrown between the passes of a fit when its cancel flag is set; the caller drops
 * the work of the stopped calculation.
 */
class Cancelled : public std::exception {
public:
    const char *what() const noexcept override { return "cancelled"; }
};

/*! \brief The message the user is shown for an exception that ended an action: a
 *  UserError's own text, a running out of memory in words, anything else by its what(). */
inline QString userMessage(const std::exception &e)
{
    if (auto *u = dynamic_cast<const UserError *>(&e))
        return u->message();
    if (dynamic_cast<const std::bad_alloc *>(&e))
        return QStringLiteral("Недостаточно памяти для выполнения действия");
    return QString::fromLocal8Bit(e.what());
}

}   // namespace obr
