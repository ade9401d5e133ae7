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

bool CStackInt::Contains(int value) const {
    for (int i = 0; i <= m_nTop; ++i) {
        if (m_aEntry[i] == value) {
            return true;
        }
    }
    return false;
}

bool CStackInt::Remove(int value) {
    for (int i = m_nTop; i >= 0; --i) {
        if (m_aEntry[i] != value) {
            continue;
        }
        for (int j = i; j < m_nTop; ++j) {
            m_aEntry[j] = m_aEntry[j + 1];
        }
        m_aEntry[m_nTop--] = -1;
        return true;
    }
    return false;
}

}  // namespace vantorel::console
