// The yardstick of the import comparison: dxflib's own parse of a drawing, with callbacks
// that only count. Built only where dxflib is installed (VELTRANE_HAVE_DXFLIB).
#pragma once

#include <cstddef>
#include <string>

// Parses the drawing at strPath; the number of elements the callbacks saw, or -1 when
// dxflib could not open it.
long long DxflibCountElements(const std::string& strPath);
