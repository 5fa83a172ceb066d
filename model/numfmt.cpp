// SPDX-License-Identifier: MIT
#include "numfmt.h"
#include "errors.h"
#include "plainnum.h"
#include "texts.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace obr {

NumLocale NumLocale::from(const QLocale &l)
{
    NumLocale nl;
    const QString d = l.decimalPoint();
    const QString g = l.groupSeparator();
    nl.dec = d.isEmpty() ? QChar(u'.') : d.at(0);
    nl.group = g.isEmpty() ? QChar(u' ') : g.at(0);
    return nl;
}

double roundEven(double x)
{
    // nearbyint under the default rounding mode (to nearest, ties to even)
    return std::nearbyint(x);
}

double Frac(double x) { return x - std::trunc(x); }

static QString withDec(const char *b, const char *e, QChar dec)
{
    QString s = QString::fromLatin1(b, int(e - b));
    if (dec != u'.')
        s.replace(u'.', dec);
    return s;
}

QString fmtF(double v, int W, int P, QChar dec)
{
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, P);
    QString s = r.ec == std::errc() ? withDec(buf, r.ptr, dec) : QString::number(v);
    if (s.size() < W)
        s = QString(W - s.size(), u' ') + s;
    return s;
}

QString fmtInt(int64_t v) { return QString::number(v); }

QString fmtRound(double x)
{
    const double r = roundEven(x);
    if (std::isfinite(r) && std::fabs(r) < 9.2e18)
        return QString::number(static_cast<int64_t>(r));
    return fmtGeneral(r, u'.');
}

QString fmtGeneral(double v, QChar dec)
{
    if (std::isnan(v))
        return QStringLiteral("NAN");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    std::string s(buf, r.ptr);
    const auto e = s.find('e');
    if (e != std::string::npos) {
        std::string mant = s.substr(0, e);
        int ex = std::stoi(s.substr(e + 1));
        s = mant + "E" + std::to_string(ex);
    }
    return withDec(s.data(), s.data() + s.size(), dec);
}

QString fmtFixedSig(double v, int P, int D, QChar dec)
{
    if (!std::isfinite(v))
        return fmtGeneral(v, dec);
    const bool neg = v < 0;
    const double a = std::fabs(v);
    // Round to P significant digits first, then to D decimals.
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, P - 1);
    std::string sci(buf, r.ptr);   // d.ddde+XX
    const auto epos = sci.find('e');
    const int ex = std::stoi(sci.substr(epos + 1));
    std::string digits;
    for (char c : sci.substr(0, epos))
        if (c != '.')
            digits += c;
    QString out;
    if (a != 0 && ex + 1 > P) {
        // Scientific: first digit, separator and the rest without trailing zeros, E, power
        while (digits.size() > 1 && digits.back() == '0')
            digits.pop_back();
        std::string m = digits.substr(0, 1);
        if (digits.size() > 1)
            m += "." + digits.substr(1);
        std::string p = std::to_string(ex);
        while (int(p.size()) < D)
            p = "0" + p;
        m += "E" + p;
        out = withDec(m.data(), m.data() + m.size(), dec);
    } else {
        const double rounded = std::strtod(sci.c_str(), nullptr);
        auto r2 = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::fixed, D);
        out = withDec(buf, r2.ptr, dec);
    }
    if (neg && out.contains(QRegularExpression(QStringLiteral("[1-9]"))))
        out.prepend(u'-');
    return out;
}

QString fmtPicture(double v, bool group, bool leadingZero, int maxDec, const NumLocale &nl)
{
    if (!std::isfinite(v))
        return fmtGeneral(v, nl.dec);
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed, maxDec);
    std::string s(buf, r.ptr);
    std::string ip = s, fp;
    if (auto dot = s.find('.'); dot != std::string::npos) {
        ip = s.substr(0, dot);
        fp = s.substr(dot + 1);
    }
    while (!fp.empty() && fp.back() == '0')
        fp.pop_back();
    if (!leadingZero && ip == "0")
        ip.clear();
    QString out;
    for (size_t i = 0; i < ip.size(); ++i) {
        if (group && i > 0 && (ip.size() - i) % 3 == 0)
            out += nl.group;
        out += QChar(ip[i]);
    }
    if (!fp.empty()) {
        out += nl.dec;
        out += QString::fromLatin1(fp.data(), int(fp.size()));
    }
    const bool nonzero = out.contains(QRegularExpression(QStringLiteral("[1-9]")));
    if (v < 0 && nonzero)
        out.prepend(u'-');
    if (out.isEmpty())
        out = leadingZero ? QStringLiteral("0") : QString();
    return out;
}

QString fmtLongTime(int64_t seconds)
{
    if (seconds < 0)
        seconds = 0;
    const int64_t h = seconds / 3600, m = (seconds / 60) % 60, s = seconds % 60;
    return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QChar(u'0')).arg(s, 2, 10, QChar(u'0'));
}

std::optional<double> parseBoxReal(const QString &text, QChar dec)
{
    QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 64)
        return std::nullopt;
    // Only the locale's separator is a decimal separator; a period in a comma locale is
    // not accepted, as a user would expect of a box that follows the locale.
    if (dec != u'.') {
        if (t.contains(u'.'))
            return std::nullopt;
        t.replace(dec, u'.');
    }
    const QByteArray b = t.toLatin1();
    if (b.contains('?'))
        return std::nullopt;
    return plainNumber<double>(b);
}

std::optional<int32_t> parseBoxInt(const QString &text)
{
    const QByteArray b = text.trimmed().toLatin1();
    if (b.isEmpty())
        return std::nullopt;
    return plainNumber<int32_t>(b);
}

double boxReal(const QString &text, QChar dec, const QString &boxCaption)
{
    if (auto v = parseBoxReal(text, dec))
        return *v;
    // A separator the box does not take is the usual slip (a period typed under a comma
    // locale): say which one the box expects.
    const QChar other = dec == u',' ? u'.' : u',';
    const QString hint = text.contains(other) ? txt::fractionHint(dec) : QString();
    throw UserError(txt::notANumber(text, boxCaption, hint));
}

int32_t boxInt(const QString &text, const QString &boxCaption)
{
    if (auto v = parseBoxInt(text))
        return *v;
    throw UserError(txt::notAnInteger(text, boxCaption));
}

}   // namespace obr
