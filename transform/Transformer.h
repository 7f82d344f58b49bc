// TTransformer: the geometry engine behind the sequence tools. It reads the move lines of
// a list of program lines (one sequence's body or the whole program) into move records
// with absolute start and end points, builds new records by one operation, writes them
// back as canonical text and puts that text in place of the lines it read.
//
// Only two-axis moves are modelled. A move line the engine cannot model (another number
// of arguments, an expression or a name for a coordinate, a helical move, a second
// statement after the move) makes a real operation refuse before anything is written;
// the canonical rewrite keeps such a line exactly as it stands.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/Records.h"

namespace veltrane {

// One move, or one program line carried along unchanged.
struct TMoveRecord {
  ECommandType MoveType = eCmdUnknown;
  // Absolute moves: the target. Straight moves and arcs: the displacement to the end.
  TfPoint fEndPoint;
  TfPoint fCentrePoint;   // arcs: the centre relative to the move's start
  int32_t Direction = 0;  // arcs: the statement's digit, 1 clockwise, 0 anticlockwise
  // Source line the record came from; lines that are not moves are written back as it.
  // -1 for a move the operation made.
  int32_t nProgramLine = -1;
  TfPoint fAbsStartPoint;
  TfPoint fAbsEndPoint;
  bool bOffsetTerms = false;  // an absolute move written with "offset_x+" and "offset_y+"
  std::string strTrailer;     // a comment that followed the statement on its line
};

// A line a real operation cannot transform; nLine is its index in the list worked on.
class ETransformError : public std::runtime_error {
 public:
  ETransformError(int32_t nLineIndex, std::string strLineText, const std::string& strReason)
      : std::runtime_error(strReason), nLine(nLineIndex), strLine(std::move(strLineText)) {}
  int32_t nLine;
  std::string strLine;
};

class TTransformer {
 public:
  TTransformer() = default;
  TTransformer(const TTransformer&) = delete;
  TTransformer& operator=(const TTransformer&) = delete;

  // The lines the operations read and replace; not owned.
  void SetProgram(TStringList* pProgram) { m_pProgram = pProgram; }
  TStringList* Program() const { return m_pProgram; }

  // Reads every line of the list into m_lstSourceMoves. Strict loading throws
  // ETransformError at the first move line it cannot model; otherwise such a line is
  // carried along as it stands.
  void LoadSourceList(bool bStrict = true);
  void StoreNewList();    // m_lstNewMoves as text into m_lstNewProgram
  void UpdateProgram();   // the list's lines become m_lstNewProgram
  void EmptyLists();

  // The operations; each loads, operates, stores and updates.
  void Reverse();
  void Shift(bool bRelative, double DfX, double DfY);
  void Scale(double fFactor);
  void Rotate(double fAngle);  // radians, anticlockwise
  void Mirror(EAxis Axis);
  // Every move line rewritten in canonical form, the numbers unchanged; lines that
  // cannot be modelled stay as they are.
  void RewriteCanonical();

  // After LoadSourceList.
  void FindCenter();
  void CheckCloseGraph();
  // The absolute position after the last loaded move.
  TfPoint EndPoint() const { return m_fEndPoint; }

  const std::vector<TMoveRecord>& SourceMoves() const { return m_lstSourceMoves; }

  TfPoint m_Center;
  bool b_closed = false;
  bool b_AddParToMA = false;  // absolute moves are written with the offset terms
  bool b_MAsp = false;        // made absolute moves are MOVEABSSP
  bool b_MOsp = false;        // made straight moves are MOVESP
  bool b_MCsp = false;        // made arcs are MOVECIRCSP

  static constexpr double c_fCloseTolerance = 0.001;

 private:
  template <class Op>
  void Run(bool bStrict, Op op);
  std::string LineFor(const TMoveRecord& r) const;

  TStringList* m_pProgram = nullptr;
  std::vector<TMoveRecord> m_lstSourceMoves, m_lstNewMoves;
  TStringList m_lstNewProgram;
  TfPoint m_fEndPoint;
};

}  // namespace veltrane
