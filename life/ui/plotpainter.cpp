// SPDX-License-Identifier: MIT
#include "life/ui/plotpainter.h"

#include <QPainterPath>
#include <cmath>

namespace obr::lifeui {

using namespace obr::life;

namespace {
QString tickText(double v, QChar decimal)
{
    QString s = QString::number(v, 'g', 6);
    if (decimal != u'.')
        s.replace(u'.', decimal);
    return s;
}
}   // namespace

void paintProbabilityPlot(QPainter &p, const QRectF &area, const ProbabilityPlot &plot,
                          QChar decimal)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(area, Qt::white);
    QFont f = p.font();
    f.setPixelSize(std::max(10, int(area.height() / 45)));
    p.setFont(f);
    const double fh = QFontMetricsF(f).height();
    const QRectF box(area.left() + 6 * fh, area.top() + 2.5 * fh, area.width() - 8 * fh,
                     area.height() - 6 * fh);
    const Paper paper = plot.paper;
    const double x0 = paperX(paper, plot.tMin), x1 = paperX(paper, plot.tMax);
    const double y0 = paperY(paper, plot.fMin), y1 = paperY(paper, plot.fMax);
    auto X = [&](double t) {
        return box.left() + (paperX(paper, t) - x0) / (x1 - x0) * box.width();
    };
    auto Y = [&](double F) {
        return box.bottom() - (paperY(paper, F) - y0) / (y1 - y0) * box.height();
    };

    // Title
    QFont tf = f;
    tf.setBold(true);
    p.setFont(tf);
    p.setPen(Qt::black);
    p.drawText(QRectF(area.left(), area.top(), area.width(), 2 * fh), Qt::AlignCenter, plot.title);
    p.setFont(f);

    // Grid: probabilities
    const double fticks[] = {0.0001, 0.001, 0.005, 0.01, 0.02, 0.05, 0.1,  0.2,   0.3,
                             0.5,    0.632, 0.7,   0.8,  0.9,  0.95, 0.99, 0.999, 0.9999};
    p.setPen(QPen(QColor(0xC8, 0xC8, 0xC8), 1));
    for (double F : fticks) {
        if (F < plot.fMin || F > plot.fMax)
            continue;
        const double y = Y(F);
        p.setPen(QPen(QColor(0xC8, 0xC8, 0xC8), 1));
        p.drawLine(QPointF(box.left(), y), QPointF(box.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(area.left(), y - fh / 2, box.left() - area.left() - 4, fh),
                   Qt::AlignRight | Qt::AlignVCenter, tickText(F * 100, decimal) + u'%');
    }
    // Grid: times
    std::vector<double> tt;
    if (paperLogTime(paper)) {
        for (double dec = std::pow(10, std::floor(std::log10(plot.tMin))); dec <= plot.tMax;
             dec *= 10)
            for (double m : {1.0, 2.0, 5.0})
                if (m * dec >= plot.tMin && m * dec <= plot.tMax)
                    tt.push_back(m * dec);
    } else {
        const double span = plot.tMax - plot.tMin;
        const double step0 = std::pow(10, std::floor(std::log10(span / 5)));
        double step = step0;
        for (double m : {1.0, 2.0, 5.0})
            if (span / (m * step0) >= 4)
                step = m * step0;
        for (double t = std::ceil(plot.tMin / step) * step; t <= plot.tMax; t += step)
            tt.push_back(t);
    }
    for (double t : tt) {
        const double x = X(t);
        p.setPen(QPen(QColor(0xC8, 0xC8, 0xC8), 1));
        p.drawLine(QPointF(x, box.top()), QPointF(x, box.bottom()));
        p.setPen(Qt::black);
        p.drawText(QRectF(x - 4 * fh, box.bottom() + 2, 8 * fh, fh), Qt::AlignCenter,
                   tickText(t, decimal));
    }
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(box);
    p.drawText(QRectF(box.left(), box.bottom() + fh + 4, box.width(), fh), Qt::AlignCenter,
               plot.xTitle);
    p.save();
    p.translate(area.left() + fh * 0.8, box.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-box.height() / 2, -fh, box.height(), fh * 1.5), Qt::AlignCenter,
               plot.yTitle);
    p.restore();

    p.setClipRect(box);
    auto polyline = [&](const std::vector<double> &t, const std::vector<double> &F) {
        QPainterPath path;
        for (size_t i = 0; i < t.size(); ++i) {
            const QPointF pt(X(t[i]), Y(F[i]));
            if (i == 0)
                path.moveTo(pt);
            else
                path.lineTo(pt);
        }
        p.drawPath(path);
    };
    p.setPen(QPen(QColor(0x00, 0x80, 0x00), 1.5, Qt::DashLine));
    polyline(plot.bandT, plot.bandLow);
    polyline(plot.bandT, plot.bandHigh);
    p.setPen(QPen(QColor(0xFF, 0x00, 0x00), 2));
    polyline(plot.lineT, plot.lineF);
    p.setPen(QPen(QColor(0x00, 0x00, 0xFF), 1.5));
    const double r = std::max(2.5, fh / 4);
    for (const PlotPoint &pt : plot.points) {
        const QPointF c(X(pt.t), Y(pt.F));
        p.drawEllipse(c, r, r);
    }
    p.setClipping(false);

    // Legend
    const QString items[] = {QStringLiteral("Отказы (%1)").arg(plot.positionsName),
                             QStringLiteral("Модель"),
                             QStringLiteral("Доверительные границы (матрица Фишера)")};
    const QColor colours[] = {QColor(0, 0, 255), QColor(255, 0, 0), QColor(0, 128, 0)};
    double ly = box.top() + fh * 0.5;
    for (int i = 0; i < 3; ++i) {
        // Each entry is drawn the way its curve is: the points as a circle, the band dashed.
        const QPointF mid(box.left() + 1.75 * fh, ly + fh / 2);
        if (i == 0) {
            p.setPen(QPen(colours[i], 1.5));
            p.drawEllipse(mid, r, r);
        } else {
            p.setPen(QPen(colours[i], i == 1 ? 2 : 1.5, i == 1 ? Qt::SolidLine : Qt::DashLine));
            p.drawLine(QPointF(box.left() + fh, mid.y()), QPointF(box.left() + 2.5 * fh, mid.y()));
        }
        p.setPen(Qt::black);
        p.drawText(QRectF(box.left() + 3 * fh, ly, box.width() * 0.8, fh),
                   Qt::AlignLeft | Qt::AlignVCenter, items[i]);
        ly += fh * 1.2;
    }
    p.restore();
}

}   // namespace obr::lifeui
