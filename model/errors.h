// SPDX-License-Identifier: MIT
#pragma once
#include <QString>
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

}   // namespace obr
