// The engine's container: a singly linked list with a count that appends at
// the tail, so it keeps insertion order, and owns its items (it deletes them
// in list order when it is destroyed).
#pragma once

#include <new>

template <typename T>
class CObjectList {
public:
    struct Entry {
        T* item;
        Entry* next;
    };

    class Iterator {
    public:
        explicit Iterator(Entry* entry) : m_entry(entry) {}
        T* operator*() const { return m_entry->item; }
        Iterator& operator++()
        {
            m_entry = m_entry->next;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return m_entry != other.m_entry; }

    private:
        Entry* m_entry;
    };

    CObjectList() = default;
    ~CObjectList() { DeleteAll(); }
    CObjectList(const CObjectList&) = delete;
    CObjectList& operator=(const CObjectList&) = delete;

    // Appends `item`, which the list then owns. Returns 0, or 1 when the entry
    // cannot be allocated; the item is then not taken.
    int Append(T* item)
    {
        Entry* entry = new (std::nothrow) Entry{item, nullptr};
        if (entry == nullptr) {
            return 1;
        }
        if (m_tail != nullptr) {
            m_tail->next = entry;
        } else {
            m_head = entry;
        }
        m_tail = entry;
        ++m_count;
        return 0;
    }

    int Count() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    T* First() const { return m_head != nullptr ? m_head->item : nullptr; }
    T* Last() const { return m_tail != nullptr ? m_tail->item : nullptr; }

    // The item at `index` in list order, or null.
    T* At(int index) const
    {
        Entry* entry = m_head;
        for (int i = 0; entry != nullptr && i < index; ++i) {
            entry = entry->next;
        }
        return index >= 0 && entry != nullptr ? entry->item : nullptr;
    }

    // Unlinks the first item and hands it to the caller (null when empty).
    T* PopFront()
    {
        if (m_head == nullptr) {
            return nullptr;
        }
        Entry* entry = m_head;
        T* item = entry->item;
        m_head = entry->next;
        if (m_head == nullptr) {
            m_tail = nullptr;
        }
        delete entry;
        --m_count;
        return item;
    }

    // Destroys every item in list order, then the entries.
    void DeleteAll()
    {
        while (m_head != nullptr) {
            delete PopFront();
        }
    }

    Iterator begin() const { return Iterator(m_head); }
    Iterator end() const { return Iterator(nullptr); }

private:
    Entry* m_head = nullptr;
    Entry* m_tail = nullptr;
    int m_count = 0;
};
