/// TarnCList: the library's intrusive doubly linked list. The links live in the elements
/// themselves (T must carry the pointer fields nextSurface and prevSurface and a virtual
/// destructor), so the list allocates nothing. Its one use is a screen's list of the surfaces
/// loaded on it; the list owns its elements only when an operation is told to delete them.
#pragma once

template <class T> class TarnCList {
public:
    T* head;   ///< the first element, null when the list is empty
    T* tail;   ///< the last element, null when the list is empty
    int count; ///< the number of elements linked

    TarnCList() : head(nullptr), tail(nullptr), count(0) {}
    virtual ~TarnCList() { Clear(0); }

    /// Links the element at the tail (atTail nonzero) or at the head. A null element is ignored.
    void Insert(T* element, int atTail) {
        if (element == nullptr) return;
        if (head == nullptr) {
            element->nextSurface = nullptr;
            element->prevSurface = nullptr;
            head = element;
            tail = element;
        } else if (atTail != 0) {
            element->nextSurface = nullptr;
            element->prevSurface = tail;
            tail->nextSurface = element;
            tail = element;
        } else {
            element->nextSurface = head;
            element->prevSurface = nullptr;
            head->prevSurface = element;
            head = element;
        }
        count++;
    }

    /// Unlinks the element and sets the caller's pointer to its predecessor, which is also
    /// returned (null when the head was removed). The element is deleted only for a flag of
    /// exactly 1. An element that is not in this list changes nothing and gives null, so a
    /// stray pointer can never cut the list off.
    T* Remove(T*& element, int deleteIt) {
        if (element == nullptr || !Contains(element)) return nullptr;
        T* removed = element;
        if (removed->prevSurface != nullptr)
            removed->prevSurface->nextSurface = removed->nextSurface;
        else
            head = removed->nextSurface;
        if (removed->nextSurface != nullptr)
            removed->nextSurface->prevSurface = removed->prevSurface;
        else
            tail = removed->prevSurface;
        T* previous = removed->prevSurface;
        if (deleteIt == 1) delete removed;
        count--;
        element = previous;
        return previous;
    }

    /// Empties the list, deleting the elements for a flag of exactly 1. Each element is deleted
    /// only after its successor was read, so elements whose destructor unlinks them from this
    /// very list are safe.
    void Clear(int deleteIt) {
        if (head == nullptr) return;
        if (deleteIt == 1) {
            for (T* element = head; element != nullptr; element = element->nextSurface) {
                if (element->prevSurface != nullptr) delete element->prevSurface;
            }
            delete tail;
        }
        head = nullptr;
        tail = nullptr;
        count = 0;
    }

    /// Whether the element is linked into this list (a walk: the list is short and Remove is
    /// never on a per-frame path).
    bool Contains(const T* element) const {
        for (const T* e = head; e != nullptr; e = e->nextSurface) {
            if (e == element) return true;
        }
        return false;
    }
};
