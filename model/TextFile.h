// Reading and writing program text files line by line. Lines end in LF, CR LF or a lone
// CR when read; writing is atomic so a failed save never destroys the previous file.
#pragma once

#include <stdexcept>
#include <string>

#include "model/Records.h"

namespace veltrane {

class EFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Splits a buffer into lines; a last line without its line end still counts.
TStringList SplitLines(std::string_view text);
TStringList LoadLines(const std::string& strFileName);  // throws EFileError
void SaveLines(const std::string& strFileName, const TStringList& Lines,
               const char* strLineEnd = "\r\n");  // throws EFileError; atomic
std::string ReadWholeFile(const std::string& strFileName);  // throws EFileError
// Writes a file through a temporary file in the same folder and a rename.
void WriteFileAtomically(const std::string& strFileName, const std::string& strContents);

}  // namespace veltrane
