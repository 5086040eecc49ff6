// Growable array: data, count and capacity; grows by 1.5 with a floor of 8, never shrinks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace Brivet::Base
{
// Logs a growth that found no memory or would pass the 32-bit count (Array.cpp).
void ReportArrayGrowthFailure(uint64_t capacity, size_t elementSize);

template <typename T>
class Array
{
    // Plain element types (numbers, pointers, plain records) live in raw storage and
    // are copied bytewise; others in a block that constructs every element of the
    // capacity, carried over by assignment.
    static constexpr bool IsRaw = std::is_trivial_v<T>;

public:
    Array()
        : data(nullptr), count(0), capacity(0)
    {
    }

    // The copy's capacity is the source's count.
    Array(const Array& other)
        : Array()
    {
        CopyFrom(other);
    }

    Array& operator=(const Array& other)
    {
        if (this != &other)
        {
            Release();
            CopyFrom(other);
        }
        return *this;
    }

    virtual ~Array()
    {
        Release();
    }

    // Add's result when the array could not grow.
    static constexpr uint32_t NoIndex = 0xFFFFFFFFu;

    // Appends a copy of element (which may be an element of this array); returns its index,
    // or NoIndex with the array unchanged when it cannot grow (logged).
    uint32_t Add(const T& element)
    {
        T* old = nullptr;
        if (count == capacity && !Reallocate(NextCapacity(), &old))
            return NoIndex;
        data[count] = element;
        FreeBlock(old);
        return count++;
    }

    // Appends one element for the caller to fill: default-constructed, or zeroed raw storage.
    // When the array cannot grow (logged) it stays unchanged, the count tells, and the
    // reference is to a scratch element outside it.
    T& AddEmpty()
    {
        T* old = nullptr;
        if (count == capacity && !Reallocate(NextCapacity(), &old))
        {
            thread_local T scratch;
            scratch = T();
            return scratch;
        }
        FreeBlock(old);
        if constexpr (IsRaw)
            memset(static_cast<void*>(data + count), 0, sizeof(T));
        return data[count++];
    }

    // Room for one more element, grown as Add grows; false, with the array unchanged, when
    // it cannot grow (logged). An Add right after a true result cannot fail.
    bool ReserveOneMore()
    {
        if (count < capacity)
            return true;
        T* old = nullptr;
        if (!Reallocate(NextCapacity(), &old))
            return false;
        FreeBlock(old);
        return true;
    }

    // Count 0, the block and its capacity kept for the next appends. Elements of types
    // with a constructor stay constructed in the block until they are overwritten.
    void Empty()
    {
        count = 0;
    }

    // Reallocates to exactly newCapacity (never below the count). False, with the array
    // unchanged, when there is no memory for it (logged).
    bool Reserve(uint32_t newCapacity)
    {
        if (newCapacity < count)
            newCapacity = count;
        if (newCapacity == 0)
        {
            Release();
            return true;
        }
        T* old = nullptr;
        if (!Reallocate(newCapacity, &old))
            return false;
        FreeBlock(old);
        return true;
    }

    // For string elements: true when an element's lower-case hash equals value's
    // (a match that ignores the case of A to Z).
    bool Contains(const T& value) const
    {
        for (uint32_t i = 0; i < count; ++i)
        {
            if (data[i].GetHashLower() == value.GetHashLower())
                return true;
        }
        return false;
    }

    T& operator[](uint32_t index) { return data[index]; }
    const T& operator[](uint32_t index) const { return data[index]; }
    T* begin() { return data; }
    T* end() { return data + count; }
    const T* begin() const { return data; }
    const T* end() const { return data + count; }

    T* GetData() { return data; }
    const T* GetData() const { return data; }
    uint32_t GetCount() const { return count; }
    uint32_t GetCapacity() const { return capacity; }

private:
    // Capacity * 1.5 (at least 8) in 64 bits; above the 32-bit count it cannot be held.
    uint64_t NextCapacity() const
    {
        const uint64_t grown = static_cast<uint64_t>(static_cast<double>(capacity) * 1.5);
        return grown > 8 ? grown : 8;
    }

    // Null when size elements pass the 32-bit count or the address space, or no memory is left.
    static T* AllocateBlock(uint64_t size)
    {
        if (size > 0xFFFFFFFFu || size > SIZE_MAX / sizeof(T))
            return nullptr;
        if constexpr (IsRaw)
            return static_cast<T*>(malloc(sizeof(T) * size_t(size)));
        else
            return new (std::nothrow) T[size_t(size)];
    }

    static void FreeBlock(T* block)
    {
        if constexpr (IsRaw)
            free(block);
        else
            delete[] block;
    }

    // Moves the elements into a new block of newCapacity and hands back the old block in
    // *old, which the caller frees once it no longer reads from it. False, with the array
    // unchanged, when the block cannot be had.
    bool Reallocate(uint64_t newCapacity, T** old)
    {
        T* block = AllocateBlock(newCapacity);
        if (!block)
        {
            ReportArrayGrowthFailure(newCapacity, sizeof(T));
            return false;
        }
        if constexpr (IsRaw)
        {
            if (count)
                memcpy(static_cast<void*>(block), data, sizeof(T) * count);
        }
        else
        {
            for (uint32_t i = 0; i < count; ++i)
                block[i] = data[i];
        }
        *old = data;
        data = block;
        capacity = uint32_t(newCapacity);
        return true;
    }

    // A copy that finds no memory stays empty (logged).
    void CopyFrom(const Array& other)
    {
        if (other.count == 0)
            return;
        data = AllocateBlock(other.count);
        if (!data)
        {
            ReportArrayGrowthFailure(other.count, sizeof(T));
            return;
        }
        capacity = other.count;
        if constexpr (IsRaw)
        {
            memcpy(static_cast<void*>(data), other.data, sizeof(T) * other.count);
        }
        else
        {
            for (uint32_t i = 0; i < other.count; ++i)
                data[i] = other.data[i];
        }
        count = other.count;
    }

    void Release()
    {
        FreeBlock(data);
        data = nullptr;
        count = 0;
        capacity = 0;
    }

    T* data;
    uint32_t count;
    uint32_t capacity;
};
} // namespace Brivet::Base
