// Sequence and layer markup: the comment lines that bracket each tool path, and the
// operations on whole program texts that find, renumber, split and reorder sequences.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/Records.h"
#include "model/UserPrompts.h"

namespace veltrane {

inline constexpr std::string_view gc_sStartSeq = "'$StartSeq(";
inline constexpr std::string_view gc_sEndSeq = "'$EndSeq(";
inline constexpr std::string_view gc_sLayerStart = "'$Layer";
inline constexpr std::string_view gc_sLayerEnd = "'$EndLayer";
inline constexpr std::string_view gc_sImportLabel = "cadseq";
inline constexpr std::string_view gc_sAppendLabel = "appseq";

std::string StartMarker(int32_t n);  // '$StartSeq(n)
std::string EndMarker(int32_t n);    // '$EndSeq(n)

// First-column rule, any letter case, untrimmed line.
bool IsStartMarkerLine(std::string_view strLine);
bool IsEndMarkerLine(std::string_view strLine);
bool IsStartMarkerOf(std::string_view strLine, int32_t n);
bool IsEndMarkerOf(std::string_view strLine, int32_t n);
// Trimmed rule used by renumbering and the next-number search.
bool IsTrimmedStartMarker(std::string_view strLine);
bool IsTrimmedEndMarker(std::string_view strLine);

// The number of a first-column start marker: the ten characters from the twelfth on,
// cut before the first ")" unless that is their first character; 0 when no integer.
int32_t MarkerNumber(std::string_view strLine);

// Finds the line index of the first line at or after nFrom that satisfies the rule.
template <class Pred>
std::optional<size_t> FindLine(const TStringList& List, size_t nFrom, Pred pred) {
  for (size_t i = nFrom; i < List.size(); ++i)
    if (pred(List[i])) return i;
  return std::nullopt;
}

// Where the body of sequence n stands: after its label, before its end marker.
struct TSequenceBody {
  size_t nFirst = 0;  // first body line
  size_t nCount = 0;  // number of body lines
};
std::optional<TSequenceBody> FindSequenceBody(const TStringList& List, int32_t n);

int32_t NextSequenceNumber(const TStringList& Program);
void RenumberSequences(int32_t nStart, TStringList& List);

using TSplitList = std::vector<TStringList>;
bool GetSequenceNumberList(const TStringList& Program, TStringList& List, IUserPrompts* pPrompts);
bool ListHasDuplicates(const TStringList& List, const std::string& strItemDescription,
                       IUserPrompts* pPrompts);
bool SplitProgramIntoSequences(const TStringList& Program, TSplitList& SplitList,
                               IUserPrompts* pPrompts);
bool ResortSequences(const TStringList& StartOrder, const TStringList& EndOrder,
                     TSplitList& SplitList);
void CombineSplitSequencesIntoProgram(const TSplitList& SplitList, TStringList& Program);
// How many pieces SplitProgramIntoSequences cuts the program into.
size_t SequencePieceCount(const TStringList& Program);
// The program piece by piece as SplitProgramIntoSequences cuts it (the lines before the
// first start marker, then each sequence up to the next start marker), without holding
// the pieces at once: Visit gets piece i with the program line it starts at, may change
// it, and the piece as left is moved onto the end of Result. Every marker is checked
// before the first piece is visited; false (nothing visited) as SplitProgramIntoSequences.
bool RebuildProgramBySequence(const TStringList& Program, TStringList& Result,
                              const std::function<void(size_t nPiece, size_t nFirstLine, TStringList& Piece)>& Visit,
                              IUserPrompts* pPrompts);
void ReverseSequenceOrder(TSplitList& SplitList);

}  // namespace veltrane
