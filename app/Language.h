// The window's language beyond the main window's caption table: the texts of every dialog
// and every message, English as written in the code and Chinese from one table (kept in
// Captions.cpp beside the main window's). The Language menu switches both.
#pragma once

#include <QString>
#include <span>
#include <string>

class QWidget;

namespace veltrane {

struct TTextEntry {
  const char* strEnglish;  // as the code writes it; %1, %2 ... stand for names and numbers
  const char* strChinese;
};
std::span<const TTextEntry> DialogTextTable();

void SetChineseTexts(bool bChinese);
bool ChineseTexts();

// The text in the chosen language: the Chinese one of the table when Chinese is chosen
// and the table has it, else the text itself. A text with names or numbers in it is
// matched against the entries with %1, %2 ... and they go into the Chinese in their place.
QString Localised(const QString& strEnglish);
std::string Localised(const std::string& strEnglish);

// Every caption of the dialog and the widgets in it (titles, labels, buttons, boxes,
// tabs, column headings, hints) in the chosen language.
void LocaliseWidgets(QWidget* pRoot);

}  // namespace veltrane
