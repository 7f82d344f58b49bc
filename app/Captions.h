// The main window's captions in English and Chinese. Each entry names a control, whether
// its hint or its caption changes, both texts and, where it differs, the text the control
// shows when the window is created.
#pragma once

#include <cstddef>
#include <span>

namespace veltrane {

struct TCaptionEntry {
  const char* strControl;
  bool bHint;  // the toolbar hint rather than the caption
  const char* strEnglish;
  const char* strChinese;
  const char* strStartUp;  // nullptr when it is the English text

  const char* StartUpText() const { return strStartUp ? strStartUp : strEnglish; }
};

std::span<const TCaptionEntry> CaptionTable();

// The caption of the Chinese item of the language menu: the language's own name.
inline constexpr const char* c_strChineseMenuCaption = "中文(&Z)";

}  // namespace veltrane
