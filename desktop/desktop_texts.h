// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Texts of the desktop helpers, each written once.
 */
#include <QString>

namespace obr::desktop::txt {

inline const QString unknownFailure = QStringLiteral("Расчет прерван непредвиденной ошибкой");

}   // namespace obr::desktop::txt
