// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The one reading of a plain number text (digits, a period, an exponent, a sign;
 * no locale) behind the number parsers of the boxes and the data files.
 */
#include <QByteArray>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <system_error>

namespace obr {

/*! \brief The number that the whole of \a b writes, with an optional leading '+'; nothing
 *  when anything is left over, the text is not a number, or the value does not fit (a
 *  double must be finite). */
template <class T>
std::optional<T> plainNumber(const QByteArray &b)
{
    const char *p = b.constData();
    const char *end = p + b.size();
    if (p != end && *p == '+')
        ++p;
    T v{};
    const auto r = std::from_chars(p, end, v);
    if (r.ec != std::errc() || r.ptr != end)
        return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(v))
            return std::nullopt;
    }
    return v;
}

}   // namespace obr
