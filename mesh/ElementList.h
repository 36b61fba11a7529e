#pragma once

#include <cassert>
#include <cstddef>
#include <iterator>

#include "mesh/ElementArena.h"

// The records of one ElementArena as a list of element pointers in id order. The list holds no
// storage of its own: it is the run of records the arena has made, now and later, so the two can
// never disagree, and a walk over it reads the records in memory order. Iterating yields the
// element pointers.
template <typename T>
class ElementList {
public:
    // A position in the list; dereferencing gives the element pointer.
    class iterator {
    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = T*;
        using difference_type = std::ptrdiff_t;
        using pointer = T* const*;
        using reference = T*;

        iterator() = default;
        explicit iterator(T* element) : element_(element) {}
        // The element at this position.
        T* operator*() const { return element_; }
        iterator& operator++() {
            ++element_;
            return *this;
        }
        iterator operator++(int) {
            iterator before = *this;
            ++element_;
            return before;
        }
        iterator& operator--() {
            --element_;
            return *this;
        }
        iterator operator--(int) {
            iterator before = *this;
            --element_;
            return before;
        }
        bool operator==(const iterator& other) const { return element_ == other.element_; }
        bool operator!=(const iterator& other) const { return element_ != other.element_; }

    private:
        T* element_ = nullptr;
    };
    using const_iterator = iterator;

    // The list of the records arena makes; the arena must outlive the list.
    explicit ElementList(const ElementArena<T>& arena) : arena_(&arena) {}

    // Position of the first element.
    iterator begin() const { return iterator(arena_->Data()); }
    // Position after the last element.
    iterator end() const { return iterator(arena_->Data() + arena_->Size()); }
    // Number of elements.
    std::size_t size() const { return arena_->Size(); }
    // True without elements.
    bool empty() const { return arena_->Size() == 0; }
    // The first element; the list must not be empty.
    T* front() const { return arena_->Data(); }
    // The last element; the list must not be empty.
    T* back() const { return arena_->Data() + arena_->Size() - 1; }
    // The element at a position, which is its id.
    T* operator[](std::size_t position) const {
        assert(position < arena_->Size());
        return arena_->Data() + position;
    }
    // The position of an element of this list: its offset from the first, which is its id.
    std::size_t PositionOf(const T* element) const {
        assert(element >= arena_->Data() && element < arena_->Data() + arena_->Size());
        return static_cast<std::size_t>(element - arena_->Data());
    }

private:
    const ElementArena<T>* arena_;
};
