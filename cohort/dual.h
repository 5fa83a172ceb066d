// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Numbers that carry their gradient and Hessian in N variables (forward
 * differentiation to second order), so that the likelihoods and figures are written once
 * and give exact scores and observed information.
 */
#include <array>
#include <cmath>

namespace obr::cohort::detail {

using std::exp;
using std::log;

template <int N>
struct Dual {
    double v = 0;
    std::array<double, N> g{};
    std::array<std::array<double, N>, N> h{};

    Dual() = default;
    Dual(double x) : v(x) {}   // NOLINT: constants mix freely with variables
    static Dual variable(double x, int i)
    {
        Dual d(x);
        d.g[size_t(i)] = 1;
        return d;
    }
};

//! f(x) with f' and f'' at x.
template <int N>
Dual<N> chain(const Dual<N> &x, double f, double f1, double f2)
{
    Dual<N> r(f);
    for (int i = 0; i < N; ++i) {
        r.g[size_t(i)] = f1 * x.g[size_t(i)];
        for (int j = 0; j < N; ++j)
            r.h[size_t(i)][size_t(j)] =
                f1 * x.h[size_t(i)][size_t(j)] + f2 * x.g[size_t(i)] * x.g[size_t(j)];
    }
    return r;
}

template <int N>
Dual<N> operator+(const Dual<N> &a, const Dual<N> &b)
{
    Dual<N> r(a.v + b.v);
    for (int i = 0; i < N; ++i) {
        r.g[size_t(i)] = a.g[size_t(i)] + b.g[size_t(i)];
        for (int j = 0; j < N; ++j)
            r.h[size_t(i)][size_t(j)] = a.h[size_t(i)][size_t(j)] + b.h[size_t(i)][size_t(j)];
    }
    return r;
}
template <int N>
Dual<N> operator-(const Dual<N> &a)
{
    return chain(a, -a.v, -1.0, 0.0);
}
template <int N>
Dual<N> operator-(const Dual<N> &a, const Dual<N> &b)
{
    return a + (-b);
}
template <int N>
Dual<N> operator*(const Dual<N> &a, const Dual<N> &b)
{
    Dual<N> r(a.v * b.v);
    for (int i = 0; i < N; ++i) {
        r.g[size_t(i)] = a.g[size_t(i)] * b.v + a.v * b.g[size_t(i)];
        for (int j = 0; j < N; ++j)
            r.h[size_t(i)][size_t(j)] =
                a.h[size_t(i)][size_t(j)] * b.v + a.v * b.h[size_t(i)][size_t(j)] +
                a.g[size_t(i)] * b.g[size_t(j)] + b.g[size_t(i)] * a.g[size_t(j)];
    }
    return r;
}
template <int N>
Dual<N> operator*(double c, const Dual<N> &a)
{
    return chain(a, c * a.v, c, 0.0);
}
template <int N>
Dual<N> operator*(const Dual<N> &a, double c)
{
    return c * a;
}
template <int N>
Dual<N> inverse(const Dual<N> &a)
{
    const double i = 1 / a.v;
    return chain(a, i, -i * i, 2 * i * i * i);
}
template <int N>
Dual<N> operator/(const Dual<N> &a, const Dual<N> &b)
{
    return a * inverse(b);
}
template <int N>
Dual<N> operator/(const Dual<N> &a, double c)
{
    return (1 / c) * a;
}
template <int N>
Dual<N> &operator+=(Dual<N> &a, const Dual<N> &b)
{
    return a = a + b;
}
template <int N>
Dual<N> &operator-=(Dual<N> &a, const Dual<N> &b)
{
    return a = a - b;
}

// Constants on either side.
template <int N>
Dual<N> operator+(const Dual<N> &a, double c)
{
    Dual<N> r = a;
    r.v += c;
    return r;
}
template <int N>
Dual<N> operator+(double c, const Dual<N> &a)
{
    return a + c;
}
template <int N>
Dual<N> operator-(const Dual<N> &a, double c)
{
    return a + (-c);
}
template <int N>
Dual<N> operator-(double c, const Dual<N> &a)
{
    return (-a) + c;
}
template <int N>
Dual<N> operator/(double c, const Dual<N> &a)
{
    return c * inverse(a);
}
template <int N>
Dual<N> &operator+=(Dual<N> &a, double c)
{
    a.v += c;
    return a;
}

template <int N>
Dual<N> exp(const Dual<N> &a)
{
    const double e = std::exp(a.v);
    return chain(a, e, e, e);
}
template <int N>
Dual<N> log(const Dual<N> &a)
{
    return chain(a, std::log(a.v), 1 / a.v, -1 / (a.v * a.v));
}
//! −expm1(−x) = 1 − e^−x, exact for small x.
template <int N>
Dual<N> oneMinusExpNeg(const Dual<N> &a)
{
    const double e = std::exp(-a.v);
    return chain(a, -std::expm1(-a.v), e, -e);
}
inline double oneMinusExpNeg(double x) { return -std::expm1(-x); }
//! ln(1 − x) for x < 1.
template <int N>
Dual<N> log1mx(const Dual<N> &a)
{
    const double d = 1 - a.v;
    return chain(a, std::log1p(-a.v), -1 / d, -1 / (d * d));
}
inline double log1mx(double x) { return std::log1p(-x); }

inline double value(double x) { return x; }
template <int N>
double value(const Dual<N> &x)
{
    return x.v;
}

}   // namespace obr::cohort::detail
