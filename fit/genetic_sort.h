// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Re-sorting a list that was sorted before and has since had some entries changed
 * or appended. Gives exactly the order of a stable sort by key, at the cost of sorting
 * only the marked entries and one merge.
 */
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

namespace obr {

//! Working arrays of sortMarked, kept between calls to avoid allocations.
template <class T>
struct MarkedSortScratch {
    struct Key {
        double f;
        uint32_t idx;
    };
    std::vector<Key> clean, moved, order;
    std::vector<T> tmp;
};

/*! \brief Stable sort of \a v by \a key (ascending) when the entries whose \a dirty flag is
 *  0 are already in order among themselves. \a dirty is resized to v (new entries count
 *  as dirty) and cleared. Entries are moved, never copied. */
template <class T, class KeyFn>
void sortMarked(std::vector<T> &v, std::vector<uint8_t> &dirty, KeyFn key,
                MarkedSortScratch<T> &s)
{
    using Key = typename MarkedSortScratch<T>::Key;
    const size_t n = v.size();
    dirty.resize(n, 1);
    s.clean.clear();
    s.moved.clear();
    for (size_t k = 0; k < n; ++k)
        (dirty[k] ? s.moved : s.clean).push_back({key(v[k]), uint32_t(k)});
    std::fill(dirty.begin(), dirty.end(), 0);
    if (s.moved.empty())
        return;
    // Ordering by (key, position) is the order of a stable sort.
    const auto before = [](const Key &a, const Key &b) {
        return a.f < b.f || (a.f == b.f && a.idx < b.idx);
    };
    std::sort(s.moved.begin(), s.moved.end(), before);
    s.order.clear();
    std::merge(s.clean.begin(), s.clean.end(), s.moved.begin(), s.moved.end(),
               std::back_inserter(s.order), before);
    s.tmp.resize(n);
    for (size_t k = 0; k < n; ++k)
        s.tmp[k] = std::move(v[s.order[k].idx]);
    v.swap(s.tmp);
}

} // namespace obr
