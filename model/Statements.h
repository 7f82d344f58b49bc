// The statement vocabulary: how a program line splits into a command word and its
// parameters, what kind of statement it is, and how labels and words are recognised.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "model/Records.h"

namespace veltrane {

ECommandType CommandTypeFromString(std::string_view strCommand);
std::string CommandWordFromType(ECommandType Command);
inline std::string CommandWordFromType(int nCommand) {
  return CommandWordFromType(static_cast<ECommandType>(nCommand));
}
// The command word of a line: the text before a "(" at position 2 or later, trimmed.
std::string CommandWordFromString(std::string_view strCommandLine);
// Kind of a whole line (trimmed, command word, classification).
ECommandType CommandTypeOfLine(std::string_view strLine);

// Fills ParameterList with the parameters between "(" and the first ")".
// At most nMax parameters are taken (a move needs a handful; a line may hold millions).
void ExtractParameterString(std::string_view strCommandLine, TStringList& ParameterList,
                            size_t nMax = static_cast<size_t>(-1));
// Each parameter between the brackets as it stands, in order, until Visit returns false
// (then false).
bool ForEachParameter(std::string_view strCommandLine, const std::function<bool(std::string_view)>& Visit);
// The text of one parameter with a symbolic offset term ("offset_x+") removed.
std::string_view ReduceParameter(std::string_view strParameter);

bool IsProgramLabel(std::string_view strCommand);
bool IsComment(std::string_view strCommand);
bool IsBASICSeperator(char TestChar);
void ReplaceWordInStatements(std::string_view strOld, std::string_view strNew, TStringList& List);

// Parameters of a move line by position, as the table export reads them.
double GetPointValueX(std::string_view strLine);
double GetPointValueY(std::string_view strLine);
int32_t GetCircleDir(std::string_view strLine);

int LastPos(char c, std::string_view s);  // 1-based, 0 when absent
inline double MaxDoubleNumber(double a, double b) { return a > b ? a : b; }

// The index of the first move line with a number beyond what a double holds, or -1;
// strNumber receives that number's text.
int32_t FirstMoveOutOfRange(const TStringList& Lines, std::string& strNumber);

// A canonical statement: four blanks, the word, "(", parameters joined by ",", ")".
std::string CanonicalStatement(ECommandType Command, const TStringList& Parameters);

}  // namespace veltrane
