// Fuzz target: the settings file form. Whatever could be read (all of it or the lines
// that parse) must format and parse back to the same contents.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/FileSettingsBackend.h"

using namespace veltrane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  TFileSettingsBackend::TContents c;
  TFileSettingsBackend::Parse(text, c);
  std::string formatted = TFileSettingsBackend::Format(c);
  TFileSettingsBackend::TContents back;
  if (!TFileSettingsBackend::Parse(formatted, back)) std::abort();
  if (back.Keys.size() > c.Keys.size()) std::abort();
  if (TFileSettingsBackend::Format(back) != formatted) std::abort();
  return 0;
}
