// Finds objects of a list by name in logarithmic time, with the answer of a
// walk from the head: the first object in list order with exactly that name.
// Binding thousands of nodes to thousands of objects stays fast this way.
#pragma once

#include <algorithm>
#include <cstring>
#include <new>

#include "scene/object_list.h"

template <typename T>
class NameIndex {
public:
    NameIndex() = default;
    ~NameIndex() { delete[] m_sorted; }
    NameIndex(const NameIndex&) = delete;
    NameIndex& operator=(const NameIndex&) = delete;

    // Indexes the named objects of `list`. 0, or 1 when memory is short.
    int Build(const CObjectList<T>& list)
    {
        delete[] m_sorted;
        m_sorted = nullptr;
        m_count = 0;
        if (list.Empty()) {
            return 0;
        }
        m_sorted = new (std::nothrow) T*[list.Count()];
        if (m_sorted == nullptr) {
            return 1;
        }
        for (T* item : list) {
            if (item != nullptr && item->name != nullptr) {
                m_sorted[m_count++] = item;
            }
        }
        // Stable: objects of equal names keep their list order, so the first
        // of a run is the first in the list.
        std::stable_sort(m_sorted, m_sorted + m_count, Less);
        return 0;
    }

    T* Find(const char* name) const
    {
        if (name == nullptr || m_count == 0) {
            return nullptr;
        }
        T** end = m_sorted + m_count;
        T** found = std::lower_bound(m_sorted, end, name,
                                     [](const T* item, const char* key) { return std::strcmp(item->name, key) < 0; });
        return found != end && std::strcmp((*found)->name, name) == 0 ? *found : nullptr;
    }

private:
    static bool Less(const T* a, const T* b) { return std::strcmp(a->name, b->name) < 0; }

    T** m_sorted = nullptr;
    int m_count = 0;
};
