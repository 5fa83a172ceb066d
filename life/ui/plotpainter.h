// SPDX-License-Identifier: MIT
#pragma once
#include "life/plot.h"

#include <QPainter>
#include <QRectF>

namespace obr::lifeui {

//! Draws the probability plot into the rectangle (paper grid, positions, line, band).
void paintProbabilityPlot(QPainter &p, const QRectF &area, const life::ProbabilityPlot &plot,
                          QChar decimal);

}   // namespace obr::lifeui
