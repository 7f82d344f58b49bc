// A drawing's texts (layer names) as UTF-8 for the terminal, whatever the drawing's
// encoding: the system's converter (iconv, or the Windows code pages) does the work.
#pragma once

#include <string>

namespace veltrane {

// bytes in strEncoding ("UTF-8", "GBK", "windows-1252", ...) as UTF-8, with the
// drawing's "\U+XXXX" escapes resolved; the bytes as they are when they cannot be read.
std::string DrawingTextToUtf8(const std::string& strBytes, const std::string& strEncoding);

}  // namespace veltrane
