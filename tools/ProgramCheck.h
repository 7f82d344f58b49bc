// The program check: four static checks over a program's text — sequence markers pair
// up, no sequence number is used twice, no label is defined twice, every GOTO and GOSUB
// names a defined label — reported as lines of text. Nothing in the program changes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/IntList.h"
#include "model/Records.h"

namespace veltrane {

class TProgramCheck {
 public:
  explicit TProgramCheck(const TStringList& Program) : m_ProgramList(Program) {}

  // Runs the four checks in order, each announced and followed by "  ..OK" when it
  // finds nothing. True when any check found something.
  bool Check();
  const TStringList& Report() const { return m_Report; }

  // A start marker's number, an end marker's number negated, 0 for any other line.
  static int32_t GetSequenceNumber(std::string_view strLine);
  // The label a line defines, if any.
  static std::optional<std::string> GetLabel(std::string_view strLine);

  // Each check appends its first finding (if any) and returns true when it found one.
  bool GetSequences();
  bool CheckSequences();
  void GetLabels();
  bool CheckLabels();
  bool CheckJumps();
  void AddMessage(std::string strText) { m_Report.push_back(std::move(strText)); }

  TIntList m_Sequences;
  TStringList m_Labels;

 private:
  const TStringList& m_ProgramList;
  TStringList m_Report;
};

inline constexpr const char* c_sProgramCheckCaption = "Program Check";

}  // namespace veltrane
