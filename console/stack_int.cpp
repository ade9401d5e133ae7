#include "console/stack_int.h"

namespace vantorel::console {

CStackInt::CStackInt() {
    m_aEntry.fill(-1);
}

void CStackInt::Push(int value) {
    if (IsFull()) {
        return;
    }
    m_aEntry[++m_nTop] = value;
}

int CStackInt::Pop() {
    if (IsEmpty()) {
        return -1;
    }
    return m_aEntry[m_nTop--];
}

int CStackInt::Top() const {
    return IsEmpty() ? -1 : m_aEntry[m_nTop];
}

}  // namespace vantorel::console
