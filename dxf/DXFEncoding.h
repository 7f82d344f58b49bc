// The text encoding of a drawing: UTF-8 from AutoCAD 2007 (AC1021) on, the header's
// $DWGCODEPAGE before that, and the "\U+XXXX" escapes writers use for characters the code
// page lacks. The importer keeps names as the drawing's bytes; whoever shows or writes
// them as text decodes them with this encoding.
#pragma once

#include <string>
#include <string_view>

namespace veltrane {

// The encoding's IANA name for the drawing's $ACADVER and $DWGCODEPAGE: "UTF-8",
// "GBK", "windows-1252", ... (windows-1252 when the code page is missing or unknown).
std::string DXFTextEncoding(std::string_view strAcadVer, std::string_view strCodePage);

// Every "\U+XXXX" escape of a UTF-8 text replaced by its character (in UTF-8); other
// text and malformed escapes stay as they are.
std::string DXFUnescapeUnicode(std::string_view strText);

}  // namespace veltrane
