// Program snapshots.
#include "model/StringSnapshotList.h"

namespace veltrane {

void TStringSnapshotList::TakeSnapshot() {
  while (m_Snapshots.size() >= c_nMaxEntries) m_Snapshots.pop_front();
  m_Snapshots.push_back(*m_StringList);
}

bool TStringSnapshotList::Restore() {
  if (m_Snapshots.empty()) return false;
  *m_StringList = std::move(m_Snapshots.back());
  m_Snapshots.pop_back();
  return true;
}

}  // namespace veltrane
