// SPDX-License-Identifier: MIT
#include "loaders.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace obr {

QString decodeText(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(view.sliced(3));
    bool ascii = true;
    for (char c : view)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (!ascii) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString s = utf8.decode(view);
        if (!utf8.hasError())
            return s;
    }
    QStringDecoder cp1251("windows-1251");
    if (cp1251.isValid())
        return cp1251.decode(view);
    return QString::fromLatin1(view);
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QByteArray encodeLines(const QStringList &lines)
{
    QStringEncoder enc("windows-1251");
    QByteArray out;
    for (const QString &l : lines) {
        out += enc.isValid() ? QByteArray(enc.encode(l)) : l.toLocal8Bit();
        out += "\r\n";
    }
    return out;
}

QString messageQuote(const QString &text)
{
    constexpr qsizetype kMax = 40;
    if (text.size() <= kMax)
        return text;
    return text.left(kMax) + QStringLiteral("…");
}

} // namespace obr
