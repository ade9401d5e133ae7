#pragma once

#include <array>

namespace vantorel::console {

// The free-slot numbers: a fixed stack of at most eight integers. A push onto a full stack
// and a pop from an empty one change nothing (the pop yields -1), so a caller's slip can
// never write past the eight entries.
class CStackInt {
public:
    static constexpr int kCapacity = 8;

    CStackInt();
    virtual ~CStackInt() = default;

    void Push(int value);
    // The top entry, removed; -1 when empty.
    int Pop();
    // The top entry, left in place; -1 when empty.
    int Top() const;
    // Whether `value` stands anywhere in the stack.
    bool Contains(int value) const;
    // Takes `value` out wherever it stands, the entries above it moving down one; false,
    // changing nothing, when it is not there. Slots that follow ports leave the stack in any
    // order, not only from its top.
    bool Remove(int value);
    bool IsFull() const { return m_nTop == kCapacity - 1; }
    bool IsEmpty() const { return m_nTop == -1; }

private:
    int m_nTop = -1;
    std::array<int, kCapacity> m_aEntry;
};

}  // namespace vantorel::console
