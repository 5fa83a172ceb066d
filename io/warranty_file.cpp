// SPDX-License-Identifier: MIT
#include "loaders.h"
#include "model/errors.h"
#include "model/plainnum.h"
#include "model/texts.h"
#include "textlines.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>

namespace obr {

namespace {

bool isBlankChar(QChar c) { return c.unicode() <= 0x20 || c.isSpace(); }

std::optional<double> periodReal(const QString &tok)
{
    if (tok.isEmpty() || tok.size() > 64)
        return std::nullopt;
    const QByteArray b = tok.toLatin1();
    // The same grammar as the header numbers of the failure file.
    static const QRegularExpression re(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (!re.match(tok).hasMatch())
        return std::nullopt;
    return plainNumber<double>(b);
}

}   // namespace

WarrantyFile readWarrantyFile(const QByteArray &bytes)
{
    const QStringList lines = splitLines(decodeText(bytes));
    WarrantyFile w;
    w.Comment = lines.value(0);
    for (int i = 1; i < lines.size(); ++i) {
        const QString &l = lines[i];
        if (l.contains(QChar(0)))
            throw UserError(txt::dataErrorInLine + QString::number(i + 1) +
                            QStringLiteral(": недопустимый символ с кодом 0"));
        qsizetype b = 0;
        while (b < l.size() && isBlankChar(l.at(b)))
            ++b;
        if (l.size() > kMaxLineBytes)
            throw UserError(txt::dataErrorInLine + QString::number(i + 1) +
                            QStringLiteral(": строка длиннее %1 символов").arg(kMaxLineBytes));
        if (b == l.size())
            continue;   // blank lines are skipped, also at the end of the file
        qsizetype e = b;
        while (e < l.size() && !isBlankChar(l.at(e)))
            ++e;
        const QString tok = l.mid(b, e - b);
        const auto v = periodReal(tok);
        if (!v)
            throw UserError(
                txt::dataErrorInLine + QString::number(i + 1) +
                QStringLiteral(": «%1» не является числом (дробная часть пишется через точку)")
                    .arg(messageQuote(tok)));
        if (*v < 0)
            throw UserError(
                txt::dataErrorInLine + QString::number(i + 1) +
                QStringLiteral(": отрицательный срок гарантии %1").arg(messageQuote(tok)));
        w.MasTGarant.push_back(*v);
    }
    const size_t n = w.MasTGarant.size();
    if (n == 0)
        throw UserError(
            QStringLiteral("В файле нет ни одного срока гарантии: среднее вычислить нельзя"));
    if (n == 1)
        throw UserError(
            QStringLiteral("В файле только один срок гарантии: для СКО нужно не меньше двух"));
    // Compensated (Kahan) summation of the values.
    double sum = 0, c = 0;
    for (double x : w.MasTGarant) {
        const double y = x - c;
        const double t = sum + y;
        c = (t - sum) - y;
        sum = t;
    }
    w.Sred = sum / double(n);
    double ss = 0;
    for (double x : w.MasTGarant)
        ss += (x - w.Sred) * (x - w.Sred);
    w.SKO = std::sqrt(ss / double(n - 1));
    // The warranty law needs a positive mean and spread, as the failure file's header does.
    if (!std::isfinite(w.Sred) || !std::isfinite(w.SKO))
        throw UserError(QStringLiteral("Сроки гарантии в файле слишком велики для расчета"));
    if (!(w.Sred > 0))
        throw UserError(QStringLiteral("Среднее время гарантии по файлу должно быть больше 0"));
    if (!(w.SKO > 0))
        throw UserError(QStringLiteral("Все сроки гарантии в файле одинаковы: СКО равно 0, "
                                       "закон гарантии не построить"));
    if (const QString warn = detail::replacedBytesWarning(detail::detectEncoding(bytes));
        !warn.isEmpty())
        w.warnings << warn;
    return w;
}

QString driveAndName(const QString &filePath)
{
    QString p = filePath;
    p.replace(u'/', u'\\');
    const qsizetype slash = p.lastIndexOf(u'\\');
    const QString name = slash >= 0 ? p.mid(slash + 1) : p;
    if (p.size() >= 2 && p.at(1) == u':' && p.at(0).isLetter())
        return p.left(1) + QStringLiteral(":\\..") + name;
    return QStringLiteral("..\\") + name;
}

void applyWarrantyFile(State &s, WarrantyFile &&w)
{
    s.uk = true;
    s.Comment = std::move(w.Comment);
    s.Sred = w.Sred;
    s.SKO = w.SKO;
    s.MasTGarant = std::move(w.MasTGarant);
}

WarrantyTexts warrantyTexts(const WarrantyFile &w, const QString &filePath, QChar dec)
{
    WarrantyTexts t;
    t.Edit4 = driveAndName(filePath);
    t.Label15 = w.Comment;
    t.MaskEdit1 = QString::number(w.MasTGarant.size());
    t.meSred = fmtFixedSig(w.Sred, 3, 1, dec);
    t.meSKO = fmtFixedSig(w.SKO, 3, 1, dec);
    t.MaskEditSrednee = fmtFixedSig(w.Sred, 6, 3, dec);
    t.MaskEditSKO = fmtFixedSig(w.SKO, 6, 3, dec);
    return t;
}

}   // namespace obr
