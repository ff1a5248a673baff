// The system's own singly linked list, and its node record.
//
// Lists cross the boundary with the host by value (title identifiers,
// associated streams); the holder frees the nodes through the allocator the
// list carries. A List is not synchronised: one thread uses it at a time.
#pragma once

#include <cstdint>
#include <new>

#include "media/StandardAllocator.h"

namespace Qel {

template <class T>
struct Node {
    T value;
    Node* next;  // null at the end
};

template <class T>
struct List {
    Node<T>* head;
    Node<T>* tail;
    int32_t count;
    StandardAllocator<Node<T>>* allocator;

    // The empty list, bound to the process-wide allocator for its nodes.
    List() : List(&StandardAllocator<Node<T>>::instance()) {}

    explicit List(StandardAllocator<Node<T>>* allocator)
        : head(nullptr), tail(nullptr), count(0), allocator(allocator)
    {
    }

    // Copies other's values into nodes from the given allocator. Each value
    // is found by walking from other's head, so the copy is quadratic in the
    // length; the lists of this system hold a handful of entries.
    List(const List& other, StandardAllocator<Node<T>>* allocator) : List(allocator)
    {
        for (int32_t index = 0; index < other.count; ++index) {
            const Node<T>* node = other.head;
            for (int32_t step = 0; step < index; ++step)
                node = node->next;
            pushBack(node->value);
        }
    }

    List(const List& other) : List(other, other.allocator) {}

    List(List&& other) noexcept
        : head(other.head), tail(other.tail), count(other.count), allocator(other.allocator)
    {
        other.head = nullptr;
        other.tail = nullptr;
        other.count = 0;
    }

    List& operator=(const List&) = delete;

    ~List() { clear(); }

    void pushBack(T value)
    {
        Node<T>* node = new (allocator->allocate(1)) Node<T>{value, nullptr};
        if (tail)
            tail->next = node;
        else
            head = node;
        tail = node;
        ++count;
    }

    void clear()
    {
        Node<T>* node = head;
        while (node) {
            Node<T>* next = node->next;
            allocator->deallocate(node);
            node = next;
        }
        head = nullptr;
        tail = nullptr;
        count = 0;
    }
};

} // namespace Qel
