// Reading and writing program text files line by line. Lines end in LF, CR LF or a lone
// CR when read; writing is atomic so a failed save never destroys the previous file.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "model/Records.h"
#include "model/WideText.h"

namespace veltrane {

class EFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Files are read whole into memory; anything larger is refused before it is read. The
// largest program or drawing a user makes is a few tens of megabytes.
constexpr uint64_t c_nMaxFileBytes = uint64_t{512} << 20;

// How much of a program's text is gathered before it is written out when saving.
constexpr size_t c_nSaveBufferBytes = size_t{1} << 20;

// "2.0 GB", "512 MB", "740 bytes": a size as the messages give it.
std::string SizeText(uint64_t nBytes);

// Why a file cannot be read as a program or a drawing ("cannot open drawing X: Is a
// directory", "... : No such file or directory", "X is 2.0 GB; the limit is 512 MB"), or
// empty when it can. A pipe, device or socket is refused: reading one may never end.
std::string InputFileProblem(const std::string& strFileName, const std::string& strWhat);

// Whether two names reach one file (through links, other paths or hard links).
bool SameFile(const std::string& strA, const std::string& strB);

// Splits a buffer into lines; a last line without its line end still counts.
TStringList SplitLines(std::string_view text);
// A file in UTF-16 or UTF-32 is read as UTF-8; pForm learns its form, so that it can be
// written back in it.
TStringList LoadLines(const std::string& strFileName, TWideText* pForm = nullptr);  // throws EFileError
void SaveLines(const std::string& strFileName, const TStringList& Lines, const char* strLineEnd = "\r\n",
               const TWideText& Form = {});  // throws EFileError; atomic
std::string ReadWholeFile(const std::string& strFileName);  // throws EFileError
// Writes a file through a temporary file in the same folder and a rename. A symbolic
// link is written through (its target gets the data); a device, pipe or socket and a
// file without write permission are refused; a replaced file keeps its permissions.
void WriteFileAtomically(const std::string& strFileName, const std::string& strContents);
// The same, the contents handed over piece by piece: NextPiece sets the next piece (valid
// until it is called again) and returns false when there is none.
using TFilePieces = std::function<bool(std::string_view& Piece)>;
void WriteFileAtomically(const std::string& strFileName, const TFilePieces& NextPiece);

}  // namespace veltrane
