// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Chart content as plain data. The result and analysis passes compute it; the
 * chart adapter only draws it. Every point stands at the next category position of its
 * series and carries its category label (the interval's end time) and its colour.
 */
#include <QChar>
#include <QString>
#include <cstdint>
#include <vector>

namespace obr {

//! 0xRRGGBB
using Rgb = uint32_t;

enum class SeriesKind { Line, Bar, Area };
enum class AxisSide { Left, Right };
enum class LineStyle { Solid, Dash, DashDot };

struct ChartPoint {
    double value = 0;
    QString label;   //!< category label: the interval's end time in whole hours
    Rgb color = 0;
    QString mark;   //!< value mark text (shown when the series shows marks)
};

struct SeriesData {
    QString name;    //!< the series' name in the program (Series1, ...)
    QString title;   //!< legend text
    SeriesKind kind = SeriesKind::Line;
    Rgb color = 0;
    int transparency = 0;   //!< percent, 0 = opaque
    AxisSide axis = AxisSide::Left;
    double lineWidth = 1;
    LineStyle style = LineStyle::Solid;
    bool marksVisible = false;   //!< value marks above the points
    bool marksBold = false;
    int marksPx = 0;             //!< mark font size in pixels, 0 = default
    bool crossMarkers = false;   //!< point markers drawn as diagonal crosses
    bool visible = true;         //!< hidden designed series take no legend entry
    bool outline = true;         //!< area series: outline drawn
    std::vector<ChartPoint> points;
};

struct AxisData {
    QString title;
    bool used = true;
    bool fixedRange = false;
    double min = 0;
    double max = 100;
    bool percentLabels = false;   //!< labels in the picture format "#,##0.#%"
    //! Labels at chosen values instead of evenly spaced numbers (an axis of transformed
    //! values labelled in the quantity itself); used with a fixed range.
    struct Tick {
        double value = 0;
        QString label;
    };
    std::vector<Tick> ticks;
};

struct ChartData {
    QString title;
    int titlePx = 16;
    int axisTitlePx = 13;
    int axisLabelPx = 0;   //!< 0 = default
    int legendPx = 0;      //!< 0 = default
    AxisData left;
    AxisData right;
    AxisData bottom;   //!< title only; the categories come from the points
    bool legendVisible = true;
    bool whiteBackWall = false;
    bool wideSwatches = false;   //!< legend swatches wider than tall
    QChar decimal = u'.';        //!< decimal separator of the axis labels
    std::vector<SeriesData> series;

    //! The series with the given program name, or nullptr.
    SeriesData *find(const QString &name)
    {
        for (auto &s : series)
            if (s.name == name)
                return &s;
        return nullptr;
    }
    const SeriesData *find(const QString &name) const
    {
        return const_cast<ChartData *>(this)->find(name);
    }
};

//! The cause palette of twelve colours (index 0..11).
constexpr Rgb kCausePalette[12] = {0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00,
                                   0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000};
//! Palette colour of index i; indices beyond 11 repeat the palette.
constexpr Rgb paletteColor(int i) { return kCausePalette[((i % 12) + 12) % 12]; }

}   // namespace obr
