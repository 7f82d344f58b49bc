// Programs written in UTF-16 or UTF-32 (with or without a byte-order mark): recognised
// from their bytes, read as UTF-8 like every other program, and written back in the
// form they came in, so that a tool never writes one-byte text into a wide file.
#pragma once

#include <string>
#include <string_view>

namespace veltrane {

enum class EWideForm : int { eNone = 0, eUtf16LE = 1, eUtf16BE = 2, eUtf32LE = 3, eUtf32BE = 4 };

struct TWideText {
  EWideForm evForm = EWideForm::eNone;
  bool bByteOrderMark = false;
  bool Wide() const { return evForm != EWideForm::eNone; }
  // "UTF-16LE", "UTF-32BE"; empty for one-byte text.
  std::string Name() const;
};

// The form of a file's bytes: a byte-order mark, or the NUL bytes that ASCII characters
// carry in the first code units (a program's first characters are ASCII).
TWideText RecogniseWideText(std::string_view bytes);
// The text as UTF-8 (the byte-order mark left out); a unit that is no character becomes
// U+FFFD.
std::string WideToUtf8(std::string_view bytes, const TWideText& Form);
// UTF-8 back into the form (with its byte-order mark when it had one); bytes that are no
// UTF-8 are taken as Latin-1.
std::string Utf8ToWide(std::string_view utf8, const TWideText& Form);

}  // namespace veltrane
