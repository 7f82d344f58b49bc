// Program snapshots.
#include "model/StringSnapshotList.h"

namespace veltrane {

void TStringSnapshotList::TakeSnapshot() {
  while (m_Snapshots.size() >= c_nMaxEntries) m_Snapshots.pop_front();
  m_Snapshots.push_back(*m_StringList);
}

bool TStringSnapshotList::Restore(TStringList* pReplaced) {
  if (m_Snapshots.empty()) return false;
  if (pReplaced) *pReplaced = std::move(*m_StringList);
  *m_StringList = std::move(m_Snapshots.back());
  m_Snapshots.pop_back();
  return true;
}

void TStringSnapshotList::SnapshotAndReplace(TStringList Lines) {
  while (m_Snapshots.size() >= c_nMaxEntries) m_Snapshots.pop_front();
  m_Snapshots.push_back(std::move(*m_StringList));
  *m_StringList = std::move(Lines);
}

}  // namespace veltrane
