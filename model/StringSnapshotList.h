// Whole-program snapshots for undoing transformations: at most six, oldest dropped first.
#pragma once

#include <deque>

#include "model/Records.h"

namespace veltrane {

class TStringSnapshotList {
 public:
  static constexpr size_t c_nMaxEntries = 6;
  explicit TStringSnapshotList(TStringList* pStringList) : m_StringList(pStringList) {}

  void TakeSnapshot();
  // The newest snapshot back into the list; false when there is none. pReplaced receives
  // the lines it replaced.
  bool Restore(TStringList* pReplaced = nullptr);
  // A snapshot of the list taken, then the list replaced by Lines (a change made again).
  void SnapshotAndReplace(TStringList Lines);
  void Clear() { m_Snapshots.clear(); }
  size_t Count() const { return m_Snapshots.size(); }
  // Every snapshot changed alike (the program's text brought into another encoding).
  template <class F>
  void ForEach(F f) {
    for (TStringList& s : m_Snapshots) f(s);
  }

 private:
  TStringList* m_StringList;
  std::deque<TStringList> m_Snapshots;
};

}  // namespace veltrane
