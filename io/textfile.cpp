// SPDX-License-Identifier: MIT
#include "loaders.h"
#include "model/errors.h"
#include "textlines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cstring>
#if __has_include(<sys/stat.h>) && !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace obr {

namespace detail {

namespace {

//! At most this many replaced sequences, each with four valid multi-byte characters
//! beside it, make a file "UTF-8 with a few stray bytes"; Windows-1251 text gives nearly
//! one invalid sequence per Cyrillic letter.
constexpr int kMaxStrayBytes = 16;

struct Utf8Scan {
    qsizetype valid = 0;   // valid multi-byte characters
    int bad = 0;           // invalid sequences
    std::vector<int> lines;
};

Utf8Scan scanUtf8(QByteArrayView v, int stopAfterBad)
{
    Utf8Scan r;
    const auto *b = reinterpret_cast<const unsigned char *>(v.data());
    const qsizetype n = v.size();
    int line = 1;
    for (qsizetype i = 0; i < n;) {
        const unsigned c = b[i];
        if (c < 0x80) {
            if (c == '\n') {
                ++line;
            } else if (c == '\r') {
                ++line;
                if (i + 1 < n && b[i + 1] == '\n')
                    ++i;
            }
            ++i;
            continue;
        }
        int len = 0;
        unsigned lo = 0x80, hi = 0xBF;   // range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0;
            else if (c == 0xED)
                hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F;
        }
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k) {
            const unsigned x = b[i + k];
            ok = k == 1 ? (x >= lo && x <= hi) : (x >= 0x80 && x <= 0xBF);
        }
        if (ok) {
            ++r.valid;
            i += len;
            continue;
        }
        ++r.bad;
        if (r.lines.empty() || r.lines.back() != line)
            r.lines.push_back(line);
        if (r.bad > stopAfterBad)
            return r;
        ++i;
    }
    return r;
}

bool allAscii(QByteArrayView v)
{
    for (char c : v)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

}   // namespace

TextEncoding detectEncoding(QByteArrayView bytes)
{
    TextEncoding e;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        e.utf8 = true;
        e.start = 3;
        const Utf8Scan s = scanUtf8(bytes.sliced(3), INT32_MAX);
        e.badSequences = s.bad;
        e.badLines = s.lines;
        return e;
    }
    if (allAscii(bytes))
        return e;
    const Utf8Scan s = scanUtf8(bytes, kMaxStrayBytes);
    if (s.bad == 0 || (s.bad <= kMaxStrayBytes && s.valid >= 4 * qsizetype(s.bad))) {
        e.utf8 = true;
        e.badSequences = s.bad;
        e.badLines = s.lines;
    }
    return e;
}

QString replacedBytesWarning(const TextEncoding &e)
{
    if (!e.utf8 || e.badSequences == 0)
        return {};
    QStringList lines;
    for (int l : e.badLines)
        lines << QString::number(l);
    constexpr qsizetype kShown = 20;
    QString list = lines.mid(0, kShown).join(QStringLiteral(", "));
    if (lines.size() > kShown)
        list += QStringLiteral(" и др.");
    return QStringLiteral("Файл прочитан в кодировке UTF-8, но в нем есть недопустимые в ней "
                          "байты (%1): они заменены особым знаком. Строки: %2")
        .arg(e.badSequences)
        .arg(list);
}

LineDecoder::LineDecoder(const TextEncoding &e)
    : m_utf8(e.utf8), m_cp1251("windows-1251", QStringDecoder::Flag::Stateless)
{
}

QString LineDecoder::operator()(QByteArrayView line)
{
    if (m_utf8)
        return QString::fromUtf8(line);
    if (m_cp1251.isValid())
        return m_cp1251.decode(line);
    return QString::fromLatin1(line);
}

int firstNulLine(QByteArrayView text)
{
    const char *d = text.data();
    const void *z = std::memchr(d, 0, size_t(text.size()));
    if (!z)
        return 0;
    const qsizetype end = static_cast<const char *>(z) - d;
    int line = 1;
    for (qsizetype i = 0; i < end; ++i) {
        if (d[i] == '\n') {
            ++line;
        } else if (d[i] == '\r') {
            ++line;
            if (i + 1 < end && d[i + 1] == '\n')
                ++i;
        }
    }
    return line;
}

}   // namespace detail

QString decodeText(const QByteArray &bytes)
{
    const detail::TextEncoding e = detail::detectEncoding(bytes);
    const QByteArrayView body = QByteArrayView(bytes).sliced(e.start);
    if (e.utf8)
        return QString::fromUtf8(body);
    QStringDecoder cp1251("windows-1251");
    if (cp1251.isValid())
        return cp1251.decode(body);
    return QString::fromLatin1(body);
}

namespace {

//! What a path that is neither a folder nor a regular file names.
QString specialFileKind(const QString &path)
{
#if __has_include(<sys/stat.h>) && !defined(_WIN32)
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        if (S_ISFIFO(st.st_mode))
            return QStringLiteral("канал");
        if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
            return QStringLiteral("устройство");
        if (S_ISSOCK(st.st_mode))
            return QStringLiteral("сокет");
    }
#else
    Q_UNUSED(path);
#endif
    return QStringLiteral("устройство, канал или сокет");
}

}   // namespace

std::optional<QByteArray> readInputFile(const QString &path, qint64 maxBytes)
{
    if (path.isEmpty())
        return std::nullopt;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    const QString shown = QDir::toNativeSeparators(path);
    if (info.isDir())
        throw UserError(QStringLiteral("«%1» — это папка, а не файл данных").arg(shown));
    if (!info.exists())
        return std::nullopt;   // a link to nothing
    if (!info.isFile())
        throw UserError(QStringLiteral("«%1» — не обычный файл (%2): такой файл не читается как "
                                       "файл данных")
                            .arg(shown, specialFileKind(path)));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw UserError(
            QStringLiteral("Не удалось открыть файл «%1»: %2").arg(shown, f.errorString()));
    if (f.size() > maxBytes)
        throw UserError(
            QStringLiteral("Файл «%1» слишком велик (%2 МБ): допускается не больше %3 МБ")
                .arg(shown)
                .arg(f.size() >> 20)
                .arg(maxBytes >> 20));
    // Read no more than the limit even if the file grows meanwhile.
    QByteArray bytes = f.read(maxBytes + 1);
    if (f.error() != QFileDevice::NoError)
        throw UserError(
            QStringLiteral("Не удалось прочитать файл «%1»: %2").arg(shown, f.errorString()));
    if (bytes.size() > maxBytes)
        throw UserError(QStringLiteral("Файл «%1» слишком велик: допускается не больше %2 МБ")
                            .arg(shown)
                            .arg(maxBytes >> 20));
    return bytes;
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

}   // namespace obr
