// SPDX-License-Identifier: MIT
#pragma once
// Reads the few facts the printing tests check out of a PDF file written by Qt: the
// pages with their media boxes and the images with their pixel sizes.
#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QVector>

struct PdfFacts {
    bool ok = false;
    QVector<QSizeF> pages;   //!< media box of every page, points
    QVector<QSize> images;   //!< width and height of every image object, pixels
};

inline PdfFacts readPdfFacts(const QString &path)
{
    PdfFacts f;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return f;
    const QByteArray pdf = file.readAll();
    f.ok = pdf.startsWith("%PDF-");
    const QString text = QString::fromLatin1(pdf);
    // Object dictionaries are written uncompressed; only stream bodies are compressed.
    static const QRegularExpression page(QStringLiteral(
        R"(/Type\s*/Page\b(?!s)[^>]*?/MediaBox\s*\[\s*([\d.]+)\s+([\d.]+)\s+([\d.]+)\s+([\d.]+)\s*\])"));
    for (auto it = page.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        f.pages.push_back(QSizeF(m.captured(3).toDouble() - m.captured(1).toDouble(),
                                 m.captured(4).toDouble() - m.captured(2).toDouble()));
    }
    static const QRegularExpression image(QStringLiteral(
        R"(/Type\s*/XObject\s*/Subtype\s*/Image\s*/Width\s+(\d+)\s*/Height\s+(\d+))"));
    for (auto it = image.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        f.images.push_back(QSize(m.captured(1).toInt(), m.captured(2).toInt()));
    }
    return f;
}
