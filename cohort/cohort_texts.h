// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Texts of the warranty cohorts, each written once.
 */
#include <QString>

namespace obr::cohort::txt {

//! The title of a figure of the fit table, by its JSON key.
QString figureTitle(const QString &key);

}   // namespace obr::cohort::txt
