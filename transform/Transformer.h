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
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/Progress.h"
#include "model/Records.h"

namespace veltrane {

class TMoveWriter;
struct TTabRequest;
struct TTabCut;

// One move, or one program line carried along unchanged.
// The small members stand together: a whole program is held as two lists of these while
// an operation runs, and padding between them would cost 8 bytes a line.
struct TMoveRecord {
  ECommandType MoveType = eCmdUnknown;
  int32_t Direction = 0;  // arcs: the statement's digit, 1 clockwise, 0 anticlockwise
  // Source line the record came from; lines that are not moves are written back as it.
  // -1 for a move the operation made.
  int32_t nProgramLine = -1;
  bool bOffsetTerms = false;  // an absolute move written with "offset_x+" and "offset_y+"
  // Absolute moves: the target. Straight moves and arcs: the displacement to the end.
  TfPoint fEndPoint;
  TfPoint fCentrePoint;  // arcs: the centre relative to the move's start
  TfPoint fAbsStartPoint;
  TfPoint fAbsEndPoint;
  std::string strTrailer;  // a comment that followed the statement on its line
};

// One element of an offset outline: a straight line moved sideways or an arc with a
// changed radius, with what it was made from.
struct TLineRecord {
  ECommandType LineType = eCmdUnknown;
  double fAngle = 0.0;     // direction of travel (arcs: at the start)
  double fOutAngle = 0.0;  // arcs: direction of travel at the end
  double b = 0.0;          // straight: y = tan(fAngle)*x + b, or x = b when vertical
  TfPoint fAbsCentrePoint; // straight: the offset start point; arcs: the centre
  double fRadius = 0.0;    // arcs: the offset radius
  int32_t ndir = 0;        // arcs: the direction digit
  int32_t nSource = -1;    // source record it was made from
  bool bFullCircle = false;
  bool bConnector = false;  // an arc about an outer corner joining two offset arcs
  TfPoint fSrcStart, fSrcEnd;  // the element's own start and end before the offset
};

// A line a real operation cannot transform; nLine is its index in the list worked on.
class ETransformError : public std::runtime_error {
 public:
  ETransformError(int32_t nLineIndex, std::string strLineText, const std::string& strReason)
      : std::runtime_error(strReason), nLine(nLineIndex), strLine(std::move(strLineText)) {}
  int32_t nLine;
  std::string strLine;
};

class TTransformer;

// While it lives, the transformer reports whole-program progress to pProgress.
class TTransformerProgress {
 public:
  TTransformerProgress(TTransformer& T, IProgress* pProgress);
  ~TTransformerProgress();
  TTransformerProgress(const TTransformerProgress&) = delete;
  TTransformerProgress& operator=(const TTransformerProgress&) = delete;

 private:
  TTransformer& m_T;
};

class TTransformer {
 public:
  TTransformer() = default;
  TTransformer(const TTransformer&) = delete;
  TTransformer& operator=(const TTransformer&) = delete;

  // The lines the operations read and replace; not owned.
  void SetProgram(TStringList* pProgram) { m_pProgram = pProgram; }
  // Where a whole program's reading and writing report their progress (none when null); a
  // cancel throws ECancelled before the program list is changed.
  void SetProgress(IProgress* pProgress) { m_pProgress = pProgress; }
  TStringList* Program() const { return m_pProgram; }
  // Where an operation's new lines go instead of over the list it read (null: over it), so
  // that a caller who must keep that list as it was need not copy it first.
  void SetOutput(TStringList* pOutput) { m_pOutput = pOutput; }
  TStringList* Output() const { return m_pOutput; }

  // Reads every line of the list into m_lstSourceMoves. Strict loading throws
  // ETransformError at the first move line it cannot model; otherwise such a line is
  // carried along as it stands.
  void LoadSourceList(bool bStrict = true);
  // m_lstNewMoves as text into m_lstNewProgram, or over the lines of pInPlace when every
  // record is that list's own line in order (a line is read before it is written over).
  void StoreNewList(TStringList* pInPlace = nullptr);
  // The same for records that are the program's lines kept as read, written into the
  // program itself; false (nothing done) when the records are not that.
  bool StoreKeptInPlace();
  void UpdateProgram();   // the list's lines (or the output's) become m_lstNewProgram
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

  // The path tools. Compensation offsets the path by f (positive to the left of the
  // direction of travel); false, with the list unchanged and FailureReason() set, when
  // the offset path cannot be built.
  bool Compensation(double f_value);
  // Rounds corners between straight moves whose angle is below fMaxAngle (radians).
  void FilletCorners(double fMaxAngle, double fUsedRadius);
  // Quarter-circle arcs into each path's start and out of each path's end; the
  // directions are true for anticlockwise. A radius of 0 makes no arc.
  void LeadInOut(bool leadindir, bool leadoutdir, double LeadIn, double LeadOut);
  // Retraces the last AddEndValue of each path backwards.
  void AddEnd(double AddEndValue);
  // A closed path made to start at its point nearest (fx, fy); false (nothing changed)
  // when the path is not closed or has no move.
  bool ChangeSeqStartPoint(double fx, double fy);
  // Every absolute move written with the offset terms, or without them; lines that
  // cannot be modelled stay as they are.
  void SetOffsetTerms(bool bOn);
  // A closed path cut into the pieces between tabs (Out.Pieces, each the text of one
  // sequence body starting with its absolute move); the list itself is not changed.
  // False, with FailureReason(), when the path is not closed (Out.bNotClosed) or the tabs
  // do not fit.
  bool CutTabs(const TTabRequest& Request, TTabCut& Out);
  // The swept length of a straight move or an arc along its direction of travel.
  static double GetLength(const TMoveRecord& r);
  static double LimitAngle(double angle);
  const std::string& FailureReason() const { return m_strFailure; }
  // What the last compensation could not do although it wrote its path (a stretch of the
  // path left uncut); empty when nothing.
  const std::string& Notice() const { return m_strNotice; }

  // The steps of Compensation, public for the tests.
  bool GenerateCmpLines(double f_compValue);
  bool GetNewJunctions(double f_cmpValue);
  bool JudgeNewJunctions();
  bool GetJunction(int32_t index1, int32_t index2);
  const std::vector<TLineRecord>& Outline() const { return m_lstLines; }
  const std::vector<TMoveRecord>& Junctions() const { return m_lstJunctions; }
  TfPoint f_junction;

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
  // Room reserved for the new moves before an operation makes them: none (it hands the
  // moves read on as they are), one per move read (it changes each in place), or a quarter
  // more (path tools add moves), so that the list does not double while both are held.
  enum class ERoom : int { eNone = 0, eSame = 1, eMore = 2 };
  void Run(bool bStrict, const std::function<void()>& op, ERoom evRoom = ERoom::eMore);
  // As Run, for an operation that may find it cannot be done: when op returns false
  // nothing is written and the list stays as it was.
  bool RunChecked(bool bStrict, const std::function<bool()>& op, ERoom evRoom = ERoom::eMore);
  // The text of one record; moves are written through Writer, which follows the path.
  std::string LineFor(const TMoveRecord& r, TMoveWriter& Writer, bool bKeep) const;
  bool KeptAsRead(const TMoveRecord& r) const;  // the same move as the source line it names
  std::vector<bool> m_KeptAsRead;               // per new record, while the lines are made
  bool m_bAllKeptAsRead = false;
  void ClearUpNewList();
  // New moves i and i + 1 made one where the second continues the first.
  void JoinContinued(size_t i);
  // Throws when the loaded list holds more than one path (an absolute move after a move).
  void RequireOnePath(const char* strWhat) const;
  bool Fail(std::string strReason);
  bool JudgeOnce(bool& bAgain);
  // GetJunction of two elements that became neighbours when the one between them was removed.
  bool JunctionAfterRemoval(int32_t a, int32_t b, TfPoint fStartOfA);
  bool InsertConnector(size_t nFirst, size_t nSecond, size_t nAt);
  TMoveRecord JunctionMove(ECommandType evType, TfPoint fEnd) const;
  void Retrace(int32_t nFrom, double AddEndValue);

  TStringList* m_pProgram = nullptr;
  TStringList* m_pOutput = nullptr;
  IProgress* m_pProgress = nullptr;
  std::vector<TMoveRecord> m_lstSourceMoves, m_lstNewMoves;
  TStringList m_lstNewProgram;
  TfPoint m_fEndPoint;
  std::vector<TLineRecord> m_lstLines;
  std::vector<TMoveRecord> m_lstJunctions;
  std::string m_strFailure, m_strNotice;
  double m_fOffset = 0.0;  // the offset of the compensation being built
  bool m_bJunctionMissed = false;  // the last GetJunction failed because two arcs do not meet
  bool m_bCmpClosed = false;       // the path being compensated is closed and has two elements or more
  // Where the first element of the junction being computed starts, when its neighbour
  // was not its neighbour in the original path (an element between them was removed):
  // the junction is then the first crossing reached along it from there.
  bool m_bJunctionFrom = false;
  int32_t m_nRemovals = 0;  // elements the direct compensation removed so far
  static constexpr int32_t c_nMaxRemovals = 2000;
  TfPoint m_fJunctionFrom;
};

// Points a transformer at a list for the scope's lifetime, and back at its own after.
class TUseList {
 public:
  TUseList(TTransformer& Transformer, TStringList& List) : m_T(Transformer), m_pBefore(Transformer.Program()) {
    m_T.SetProgram(&List);
  }
  ~TUseList() { m_T.SetProgram(m_pBefore); }
  TUseList(const TUseList&) = delete;
  TUseList& operator=(const TUseList&) = delete;

 private:
  TTransformer& m_T;
  TStringList* m_pBefore;
};

// Sends a transformer's new lines to Output for the scope's lifetime: the list it reads
// stays as it was.
class TUseOutput {
 public:
  TUseOutput(TTransformer& Transformer, TStringList& Output) : m_T(Transformer), m_pBefore(Transformer.Output()) {
    m_T.SetOutput(&Output);
  }
  ~TUseOutput() { m_T.SetOutput(m_pBefore); }
  TUseOutput(const TUseOutput&) = delete;
  TUseOutput& operator=(const TUseOutput&) = delete;

 private:
  TTransformer& m_T;
  TStringList* m_pBefore;
};

}  // namespace veltrane
