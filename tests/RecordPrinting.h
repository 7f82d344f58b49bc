// How a failed check shows a record's kind and direction: as numbers. They are held in a
// byte each, and a byte would otherwise be shown as a character.
#pragma once

#include <ostream>

#include "dxf/DXFRecords.h"

namespace veltrane {

inline void PrintTo(EDXFEntityType t, std::ostream* os) { *os << static_cast<int>(t); }
inline void PrintTo(EAngleDirection d, std::ostream* os) { *os << static_cast<int>(d); }

}  // namespace veltrane
