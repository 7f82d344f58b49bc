// TIntList: a growable list of 32-bit integers with the classic growth rule and
// bounds errors that carry the offending value.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace veltrane {

class EListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TIntList {
 public:
  static constexpr int32_t c_nMaxListSize = 134217728;  // 2^27 entries

  int32_t Add(int32_t nValue);            // appends, returns the new index
  int32_t Get(int32_t nIndex) const;
  void Put(int32_t nIndex, int32_t nValue);
  void Delete(int32_t nIndex);            // closes the gap
  void Clear();                           // count and capacity become 0
  void SetCount(int32_t nNewCount);       // new slots are 0
  void SetCapacity(int32_t nNewCapacity);
  int32_t Count() const { return m_nCount; }
  int32_t Capacity() const { return m_nCapacity; }

 private:
  void Grow();
  [[noreturn]] static void IndexError(int32_t nIndex);
  [[noreturn]] static void CapacityError(int32_t nValue);

  std::vector<int32_t> m_Items;  // always m_nCapacity long
  int32_t m_nCount = 0;
  int32_t m_nCapacity = 0;
};

}  // namespace veltrane
