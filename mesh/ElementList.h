#pragma once

#include <cassert>
#include <cstddef>
#include <iterator>

// An append-only list of element pointers in id order. The mesh makes its elements one after
// another in an ElementArena and appends them in the same order, so the list is the run of
// records from the first appended one: it needs no storage of its own, and a walk over it reads
// the records in memory order. Iterating yields the element pointers.
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

    // Appends an element; it must be the record right after the last one appended.
    void push_back(T* element) {
        if (size_ == 0) {
            first_ = element;
        }
        assert(element == first_ + size_);
        ++size_;
    }
    // Position of the first element.
    iterator begin() const { return iterator(first_); }
    // Position after the last element.
    iterator end() const { return iterator(first_ + size_); }
    // Number of elements.
    std::size_t size() const { return size_; }
    // True without elements.
    bool empty() const { return size_ == 0; }
    // The first element; the list must not be empty.
    T* front() const { return first_; }
    // The last element; the list must not be empty.
    T* back() const { return first_ + size_ - 1; }

private:
    T* first_ = nullptr;
    std::size_t size_ = 0;
};
