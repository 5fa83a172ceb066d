// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Fonts of the windows and their charts (design fonts with their installed
 * stand-ins, fitted captions) and the busy cursor guard.
 */
#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>

#include <algorithm>

namespace obr::ui {

/*! \brief The installed font closest to a design font, with Cyrillic glyphs. The design
 *  fonts ("MS Sans Serif", "Tahoma", "Arial", "Arial Black") are rarely installed
 *  outside their home platform; an Arial-metric sans comes first, then DejaVu Sans. */
inline QFont designFont(const QString &design, int px, bool bold = false)
{
    const QStringList have = QFontDatabase::families();
    QString family = design;
    if (!have.contains(design)) {
        family.clear();
        for (const char *f : {"Liberation Sans", "DejaVu Sans", "Noto Sans", "FreeSans"})
            if (have.contains(QString::fromLatin1(f))) {
                family = QString::fromLatin1(f);
                break;
            }
    }
    QFont font(family);
    font.setPixelSize(px);
    font.setBold(bold || design == QStringLiteral("Arial Black"));
    return font;
}

/*! \brief The font of the results grid. The design's grid font is a narrow one; the
 *  designed column widths hold the longest texts only in a narrow font. */
inline QFont gridFont(int px)
{
    const QStringList have = QFontDatabase::families();
    for (const char *f : {"Liberation Sans Narrow", "DejaVu Sans Condensed"})
        if (have.contains(QString::fromLatin1(f))) {
            QFont font{QString::fromLatin1(f)};
            font.setPixelSize(px);
            return font;
        }
    return designFont(QStringLiteral("MS Sans Serif"), px);
}

/*! \brief Puts a caption into a label of fixed width: in the label's design font when it
 *  fits, otherwise a few pixels smaller (down to \a minPx), and only then elided with the
 *  whole text as the tool tip. Only \a head is ever elided: \a tail (a fleet count after
 *  the data-set comment) is always shown whole. */
inline void setFittedText(QLabel *label, const QString &head, const QString &tail,
                          const QFont &design, int minPx)
{
    const QString text = head + tail;
    QFont f = design;
    const int width = label->width() - 2;
    for (int px = design.pixelSize(); px >= minPx; --px) {
        f.setPixelSize(px);
        if (QFontMetrics(f).horizontalAdvance(text) <= width)
            break;
    }
    label->setFont(f);
    const QFontMetrics fm(f);
    if (fm.horizontalAdvance(text) <= width) {
        label->setText(text);
        label->setToolTip(QString());
    } else {
        const int room = std::max(0, width - fm.horizontalAdvance(tail));
        label->setText(fm.elidedText(head, Qt::ElideRight, room) + tail);
        label->setToolTip(text);
    }
}

//! The same for a caption without a part that must stay whole.
inline void setFittedText(QLabel *label, const QString &text, const QFont &design, int minPx)
{
    setFittedText(label, text, QString(), design, minPx);
}

//! Shows the busy cursor for the lifetime of the guard.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

}   // namespace obr::ui
