#pragma once

// A list of at most N values in storage of its own: it never allocates and
// never gives storage back, so that the audio thread may add and remove
// freely. Any thread, one at a time.

#include <algorithm>
#include <array>

template <typename T, int N>
class FixedList
{
public:
    /** Appends a value; a full list keeps what it has. */
    void add (T value) noexcept
    {
        if (count < N)
            values[(size_t) count++] = value;
    }

    /** Removes the first value equal to this one, keeping the order of the rest. */
    void removeFirstMatchingValue (T value) noexcept
    {
        const auto found = std::find (begin(), end(), value);

        if (found != end())
        {
            std::move (found + 1, end(), found);
            --count;
        }
    }

    void clearQuick() noexcept { count = 0; }

    /** Becomes a copy of another list, in time linear in its size. */
    void assign (const FixedList& other) noexcept
    {
        std::copy (other.begin(), other.end(), values.begin());
        count = other.count;
    }
    void sort() noexcept { std::sort (begin(), end()); }

    int size() const noexcept { return count; }
    bool isEmpty() const noexcept { return count == 0; }
    T getUnchecked (int index) const noexcept { return values[(size_t) index]; }

    const T* begin() const noexcept { return values.data(); }
    const T* end() const noexcept { return values.data() + count; }
    T* begin() noexcept { return values.data(); }
    T* end() noexcept { return values.data() + count; }

private:
    std::array<T, (size_t) N> values {};
    int count = 0;
};
