// TIntList: growth by 4, 8 or 16 slots depending on the current capacity.
#include "model/IntList.h"

#include <cstdio>

namespace veltrane {

void TIntList::IndexError(int32_t nIndex) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "List index out of bounds (%d)", nIndex);
  throw EListError(buf);
}

void TIntList::CapacityError(int32_t nValue) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "List capacity out of bounds (%d)", nValue);
  throw EListError(buf);
}

void TIntList::Grow() {
  int32_t nDelta = 4;
  if (m_nCapacity > 8)
    nDelta = 16;
  else if (m_nCapacity > 4)
    nDelta = 8;
  SetCapacity(m_nCapacity + nDelta);
}

int32_t TIntList::Add(int32_t nValue) {
  if (m_nCount == m_nCapacity) Grow();
  m_Items[static_cast<size_t>(m_nCount)] = nValue;
  return m_nCount++;
}

int32_t TIntList::Get(int32_t nIndex) const {
  if (nIndex < 0 || nIndex >= m_nCount) IndexError(nIndex);
  return m_Items[static_cast<size_t>(nIndex)];
}

void TIntList::Put(int32_t nIndex, int32_t nValue) {
  if (nIndex < 0 || nIndex >= m_nCount) IndexError(nIndex);
  m_Items[static_cast<size_t>(nIndex)] = nValue;
}

void TIntList::Delete(int32_t nIndex) {
  if (nIndex < 0 || nIndex >= m_nCount) IndexError(nIndex);
  m_Items.erase(m_Items.begin() + nIndex);
  m_Items.push_back(0);
  --m_nCount;
}

void TIntList::Clear() {
  m_Items.clear();
  m_Items.shrink_to_fit();
  m_nCount = 0;
  m_nCapacity = 0;
}

void TIntList::SetCapacity(int32_t nNewCapacity) {
  if (nNewCapacity < m_nCount || nNewCapacity >= c_nMaxListSize) CapacityError(nNewCapacity);
  m_Items.resize(static_cast<size_t>(nNewCapacity), 0);
  m_nCapacity = nNewCapacity;
}

void TIntList::SetCount(int32_t nNewCount) {
  if (nNewCount < 0 || nNewCount >= c_nMaxListSize) CapacityError(nNewCount);
  if (nNewCount > m_nCapacity) SetCapacity(nNewCount);
  for (int32_t i = m_nCount; i < nNewCount; ++i) m_Items[static_cast<size_t>(i)] = 0;
  m_nCount = nNewCount;
}

}  // namespace veltrane
