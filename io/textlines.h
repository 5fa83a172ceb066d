// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Reading a text file line by line straight from its bytes: the encoding is decided
 * once for the whole file, and each line is decoded only when it is read, so a large file
 * is never held as a second, decoded copy.
 */
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <vector>

namespace obr::detail {

//! How the bytes of a file are read as text.
struct TextEncoding {
    bool utf8 = false;           //!< UTF-8 (else Windows-1251)
    qsizetype start = 0;         //!< bytes skipped at the start (a byte-order mark)
    std::vector<int> badLines;   //!< UTF-8 read with replaced bytes: their lines, 1-based
    int badSequences = 0;        //!< number of replaced byte sequences
};

/*! \brief UTF-8 when the bytes are valid UTF-8 with non-ASCII text (a byte-order mark is
 *  dropped), or valid UTF-8 but for a few stray bytes (then the bad lines are listed);
 *  Windows-1251 otherwise. */
TextEncoding detectEncoding(QByteArrayView bytes);

//! The warning that a file was read as UTF-8 with bytes replaced; empty when none were.
QString replacedBytesWarning(const TextEncoding &e);

//! Decodes single lines in the file's encoding.
class LineDecoder {
public:
    explicit LineDecoder(const TextEncoding &e);
    QString operator()(QByteArrayView line);

private:
    bool m_utf8;
    QStringDecoder m_cp1251;
};

//! The lines of a text, split at CR LF, LF or CR; a break at the very end opens no line.
class LineCursor {
public:
    explicit LineCursor(QByteArrayView text) : m_text(text) {}
    //! The next line, or false at the end of the text.
    bool next(QByteArrayView &line)
    {
        const qsizetype n = m_text.size();
        if (m_pos >= n)
            return false;
        const char *d = m_text.data();
        qsizetype i = m_pos;
        while (i < n && d[i] != '\n' && d[i] != '\r')
            ++i;
        line = m_text.sliced(m_pos, i - m_pos);
        if (i < n && d[i] == '\r' && i + 1 < n && d[i + 1] == '\n')
            ++i;
        m_pos = i + 1;
        ++m_line;
        return true;
    }
    //! 1-based number of the line last returned (0 before the first).
    int lineNo() const { return m_line; }
    bool atEnd() const { return m_pos >= m_text.size(); }

private:
    QByteArrayView m_text;
    qsizetype m_pos = 0;
    int m_line = 0;
};

//! 1-based line of the first NUL byte of \a text, or 0 when there is none.
int firstNulLine(QByteArrayView text);

}   // namespace obr::detail
