// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Small builders shared by the chart passes of the results window and the
 * enlarged chart and the maximum-likelihood charts.
 */
#include "model/chartdata.h"

#include <optional>
#include <vector>

namespace obr::detail {

inline SeriesData line(const QString &name, const QString &title, Rgb color, AxisSide axis,
                       double width, int transparency = 0)
{
    SeriesData s;
    s.name = name;
    s.title = title;
    s.kind = SeriesKind::Line;
    s.color = color;
    s.axis = axis;
    s.lineWidth = width;
    s.transparency = transparency;
    return s;
}

//! DiaBarCol / DiaBarNo: a new bar series with hidden marks, its title, colour and transparency.
inline SeriesData bar(const QString &name, const QString &title, Rgb color, int transparency)
{
    SeriesData s;
    s.name = name;
    s.title = title;
    s.kind = SeriesKind::Bar;
    s.color = color;
    s.transparency = transparency;
    s.marksVisible = false;
    return s;
}

inline void addPoint(SeriesData &s, double v, const QString &label)
{
    s.points.push_back({v, label, s.color, {}});
}

inline void addPoint(SeriesData &s, double v, const QString &label, Rgb color)
{
    s.points.push_back({v, label, color, {}});
}

/*! Element i of a model array. A model kept from an earlier histogram (the genetic model
 *  survives a recalculation) can have fewer entries than the current histogram; the
 *  missing ones are absent rather than read past the end. */
inline std::optional<double> at(const std::vector<double> &v, size_t i)
{
    if (i < v.size())
        return v[i];
    return std::nullopt;
}

}   // namespace obr::detail
