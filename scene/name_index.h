// Finds objects of a list by name in constant time, with the answer of a
// walk from the head: the first object in list order with exactly that name.
// Binding thousands of nodes to thousands of objects stays fast this way.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>

#include "scene/object_list.h"

template <typename T>
class NameIndex {
public:
    NameIndex() = default;
    ~NameIndex() { delete[] m_slots; }
    NameIndex(const NameIndex&) = delete;
    NameIndex& operator=(const NameIndex&) = delete;

    // Indexes the named objects of `list`. 0, or 1 when memory is short.
    int Build(const CObjectList<T>& list)
    {
        delete[] m_slots;
        m_slots = nullptr;
        m_mask = 0;
        if (list.Empty()) {
            return 0;
        }
        size_t capacity = 16;
        while (capacity < static_cast<size_t>(list.Count()) * 2) {
            capacity <<= 1;
        }
        m_slots = new (std::nothrow) T*[capacity]();
        if (m_slots == nullptr) {
            return 1;
        }
        m_mask = capacity - 1;
        // In list order, and a name already there keeps its object: the
        // first of equal names is the first in the list.
        for (T* item : list) {
            if (item != nullptr && item->name != nullptr) {
                T** slot = SlotOf(item->name);
                if (*slot == nullptr) {
                    *slot = item;
                }
            }
        }
        return 0;
    }

    T* Find(const char* name) const { return name != nullptr && m_slots != nullptr ? *SlotOf(name) : nullptr; }

private:
    // The slot of the object named `name`, or the empty slot where it belongs.
    T** SlotOf(const char* name) const
    {
        uint64_t h = 0xCBF29CE484222325ull; // FNV-1a
        for (const unsigned char* c = reinterpret_cast<const unsigned char*>(name); *c != 0; ++c) {
            h = (h ^ *c) * 0x100000001B3ull;
        }
        h ^= h >> 32;
        for (size_t i = static_cast<size_t>(h) & m_mask;; i = (i + 1) & m_mask) {
            if (m_slots[i] == nullptr || std::strcmp(m_slots[i]->name, name) == 0) {
                return &m_slots[i];
            }
        }
    }

    T** m_slots = nullptr;
    size_t m_mask = 0;
};
