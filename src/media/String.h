// The system's own string: a block of T ending in 0, its length, and the
// allocator that owns the block.
//
// Strings cross the boundary with the host by value (MIME types, paths,
// identifiers); the holder of a String frees it through the allocator it
// carries, never through another one. A non-empty String always holds
// length + 1 elements, the last one 0; an empty one has null data.
// String<char> is used for component identifiers, String<unsigned char>
// (UTF-8) for every other text.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "media/StandardAllocator.h"

namespace Qel {

template <class T>
struct String {
    T* data;
    uint32_t length;  // elements, without the terminator
    StandardAllocator<T>* allocator;

    // The empty string, bound to the process-wide allocator for T.
    String() : data(nullptr), length(0), allocator(&StandardAllocator<T>::instance()) {}

    // Copies a zero-terminated text into a block from allocator; a null
    // source gives the empty string.
    String(const T* source, StandardAllocator<T>* allocator)
        : data(nullptr), length(0), allocator(allocator)
    {
        if (!source)
            return;
        uint32_t count = 0;
        while (source[count] != T(0))
            ++count;
        copyFrom(source, count);
    }

    // Copies other into a block from the given allocator (not other's).
    String(const String& other, StandardAllocator<T>* allocator)
        : data(nullptr), length(0), allocator(allocator)
    {
        if (other.data)
            copyFrom(other.data, other.length);
    }

    String(const String& other) : String(other, other.allocator) {}

    String(String&& other) noexcept
        : data(other.data), length(other.length), allocator(other.allocator)
    {
        other.data = nullptr;
        other.length = 0;
    }

    String& operator=(String other) noexcept
    {
        std::swap(data, other.data);
        std::swap(length, other.length);
        std::swap(allocator, other.allocator);
        return *this;
    }

    ~String() { clear(); }

    // Frees the block through the allocator and leaves the string empty.
    void clear()
    {
        if (data) {
            allocator->deallocate(data);
            data = nullptr;
        }
        length = 0;
    }

    // The text as bytes, for logging and comparisons; empty when data is null.
    std::string toStdString() const
    {
        if (!data)
            return std::string();
        return std::string(reinterpret_cast<const char*>(data), length);
    }

private:
    void copyFrom(const T* source, uint32_t count)
    {
        data = allocator->allocate(count + 1);
        std::memcpy(data, source, (size_t(count) + 1) * sizeof(T));
        length = count;
    }
};

} // namespace Qel
