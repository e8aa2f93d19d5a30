#pragma once

#include <algorithm>
#include <functional>

/**
 * A minimal growable array of pointers. The vector never owns what its
 * elements point to. Derived vectors may order their elements differently
 * by overriding sort().
 */
template<typename T> class ZVector
{
public:
    /// A capacity below 1 means 4.
    explicit ZVector(int capacity = 4) { allocate(capacity); }
    virtual ~ZVector() { delete[] data; }

    ZVector(const ZVector&) = delete;
    ZVector& operator=(const ZVector&) = delete;

    /// Returns the index of the new element; a full vector doubles its capacity.
    int append(T item)
    {
        if (count == capacity) {
            extend();
        }
        data[count] = item;
        return count++;
    }

    /// No bounds check.
    T get(int i) const { return data[i]; }
    int size() const { return count; }

    /// Shifts the later elements down; an index outside the array does nothing.
    void removeAt(int i)
    {
        if (i < 0 || i >= count) {
            return;
        }
        std::copy(data + i + 1, data + count, data + i);
        --count;
    }

    /// Ascending by the elements' own ordering, for pointers their address.
    virtual void sort() { std::sort(data, data + count, std::less<T>()); }

    /// Replaces the storage by one of @p newCapacity elements (4 when below 1),
    /// keeping as many of the current elements as fit.
    void allocate(int newCapacity)
    {
        if (newCapacity < 1) {
            newCapacity = 4;
        }
        T* fresh = new T[newCapacity]();
        count = std::min(count, newCapacity);
        std::copy(data, data + count, fresh);
        delete[] data;
        data = fresh;
        capacity = newCapacity;
    }

    /// Doubles the capacity.
    void extend() { allocate(capacity * 2); }

protected:
    T* data = nullptr;
    int capacity = 0;
    int count = 0;
};
