// The transformer's load/store cycle and its affine operations.
#include "transform/Transformer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/MoveWriter.h"
#include "model/NumberFormat.h"
#include "model/Statements.h"
#include "model/Text.h"
#include "geometry/PointMath.h"

namespace veltrane {

namespace {

// Reads one move line into r; false with the reason when the line cannot be modelled.
bool ParseMoveLine(std::string_view strLine, ECommandType evType, TMoveRecord& r,
                   std::string& strReason) {
  std::string_view t = TrimView(strLine);
  const std::string word = CommandWordFromType(evType);
  if (evType == eCmd_MHelical) {
    strReason = "helical moves (MHELICAL) cannot be transformed";
    return false;
  }
  size_t open = t.find('(');
  size_t close = open == std::string_view::npos ? open : t.find(')', open);
  if (close == std::string_view::npos) {
    strReason = word + " has no complete argument list";
    return false;
  }
  std::string_view trailer = t.substr(close + 1);
  std::string_view rest = TrimView(trailer);
  if (!rest.empty() && rest[0] != '\'') {
    strReason = "text after the " + word + " statement cannot be carried along";
    return false;
  }
  r.strTrailer = rest.empty() ? std::string() : std::string(trailer);

  TStringList args;
  std::string_view inner = t.substr(open + 1, close - open - 1);
  while (true) {
    size_t comma = inner.find(',');
    args.emplace_back(TrimView(inner.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    inner.remove_prefix(comma + 1);
  }
  const bool bArc = IsCircularMove(evType);
  const size_t nWanted = bArc ? 5 : 2;
  if (args.size() != nWanted) {
    strReason = word + " has " + std::to_string(args.size()) + " arguments; only " +
                (bArc ? "arcs with five" : "two-axis moves with two") + " can be transformed";
    return false;
  }
  // Absolute moves may carry the offset terms, on both coordinates or on neither.
  if (IsAbsoluteMove(evType)) {
    int nTerms = 0;
    const char* terms[2] = {"offset_x", "offset_y"};
    for (size_t i = 0; i < 2; ++i) {
      std::string_view a = args[i];
      if (a.size() > 8 && SameText(a.substr(0, 8), terms[i])) {
        std::string_view after = TrimLeftView(a.substr(8));
        if (!after.empty() && after[0] == '+') {
          args[i] = Trim(after.substr(1));
          ++nTerms;
        }
      }
    }
    if (nTerms == 1) {
      strReason = "MOVEABS has an offset term on one coordinate only";
      return false;
    }
    r.bOffsetTerms = nTerms == 2;
  }
  double v[4] = {0, 0, 0, 0};
  for (size_t i = 0; i < std::min<size_t>(args.size(), 4); ++i) {
    if (!TryStrToFloat(args[i], v[i])) {
      strReason = "'" + args[i] + "' is not a number";
      return false;
    }
    if (std::fabs(v[i]) >= gc_fMaxWrittenNumber) {
      strReason = "'" + args[i] + "' is too large to be written back";
      return false;
    }
  }
  r.fEndPoint = TfPoint{v[0], v[1]};
  if (bArc) {
    int32_t nDir = 0;
    if (!TryStrToInt(args[4], nDir)) {
      strReason = "'" + args[4] + "' is not an arc direction";
      return false;
    }
    // The plot reads 1 as clockwise and anything else as anticlockwise; a digit other
    // than 0 or 1 is kept as written rather than guessed at.
    if (nDir != 0 && nDir != 1) {
      strReason = "the arc direction '" + args[4] + "' is neither 0 nor 1";
      return false;
    }
    r.fCentrePoint = TfPoint{v[2], v[3]};
    r.Direction = nDir;
  }
  return true;
}

using pointmath::Add;
using pointmath::Neg;
using pointmath::Sub;

// A turn about the origin. Whole quarter turns use exact cosines and sines, so that a
// rotation by 0 or 360 degrees leaves every number exactly as it was.
struct TTurn {
  double c = 1.0, s = 0.0;
  bool bIdentity = true;
  explicit TTurn(double fAngle) {
    const double q = fAngle / (std::numbers::pi / 2);
    if (std::isfinite(q) && std::fabs(q) < 1e15) {
      const double k = std::nearbyint(q);
      if (std::fabs(q - k) < 1e-12) {
        static constexpr double cs[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
        const int m = static_cast<int>(((static_cast<long long>(k) % 4) + 4) % 4);
        c = cs[m][0];
        s = cs[m][1];
        bIdentity = m == 0;
        return;
      }
    }
    c = std::cos(fAngle);
    s = std::sin(fAngle);
    bIdentity = false;
  }
  TfPoint Vector(TfPoint v) const {
    if (bIdentity) return v;
    return TfPoint{v.fX * c - v.fY * s, v.fX * s + v.fY * c};
  }
  TfPoint About(TfPoint p, TfPoint centre) const {
    if (bIdentity) return p;
    return Add(centre, Vector(Sub(p, centre)));
  }
};

}  // namespace

TTransformerProgress::TTransformerProgress(TTransformer& T, IProgress* pProgress) : m_T(T) { T.SetProgress(pProgress); }
TTransformerProgress::~TTransformerProgress() { m_T.SetProgress(nullptr); }

void TTransformer::LoadSourceList(bool bStrict) {
  m_lstSourceMoves.clear();
  m_lstNewMoves.clear();
  m_lstNewProgram.clear();
  TfPoint base;
  if (!m_pProgram) {
    m_fEndPoint = base;
    return;
  }
  const TStringList& lines = *m_pProgram;
  m_lstSourceMoves.reserve(lines.size());
  std::string strReason;
  TProgressStage stage(m_pProgress, "Reading the moves", 0.0, 0.5, static_cast<double>(lines.size()));
  for (size_t n = 0; n < lines.size(); ++n) {
    if (n % 1024 == 0) stage.Step(static_cast<double>(n));
    TMoveRecord r;
    r.nProgramLine = static_cast<int32_t>(n);
    const ECommandType evType = CommandTypeOfLine(lines[n]);
    if (IsMoveKind(evType)) {
      if (ParseMoveLine(lines[n], evType, r, strReason)) {
        r.MoveType = evType;
        r.fAbsStartPoint = base;
        r.fAbsEndPoint = IsAbsoluteMove(evType) ? r.fEndPoint : Add(base, r.fEndPoint);
        base = r.fAbsEndPoint;
      } else if (bStrict) {
        throw ETransformError(static_cast<int32_t>(n), lines[n], strReason);
      } else {
        r = TMoveRecord{};
        r.nProgramLine = static_cast<int32_t>(n);
        r.MoveType = eCmdUnknown;  // carried along as written
      }
    } else {
      r.MoveType = evType;
    }
    if (n + 1 == lines.size()) stage.Done();
    m_lstSourceMoves.push_back(std::move(r));
  }
  m_fEndPoint = base;
}

bool TTransformer::KeptAsRead(const TMoveRecord& r) const {
  const size_t nSource = static_cast<size_t>(r.nProgramLine);
  return r.nProgramLine >= 0 && nSource < m_lstSourceMoves.size() &&
         m_lstSourceMoves[nSource].MoveType == r.MoveType && m_lstSourceMoves[nSource].fEndPoint == r.fEndPoint;
}

std::string TTransformer::LineFor(const TMoveRecord& r, TMoveWriter& Writer, bool bKeep) const {
  const ECommandType k = r.MoveType;
  // A move kept as it was read (bKeep) keeps its line even when it rounds to no move, so
  // that the lines around it keep their places; moves an operation makes or changes are
  // left out.
  std::string strArgs;
  if (IsAbsoluteMove(k)) {
    const bool bTerms = b_AddParToMA || r.bOffsetTerms;
    Writer.MoveTo(r.fEndPoint);
    strArgs = (bTerms ? "offset_x+" : "") + StringFromDouble(r.fEndPoint.fX) + "," +
              (bTerms ? "offset_y+" : "") + StringFromDouble(r.fEndPoint.fY);
  } else if (IsIncrementalMove(k)) {
    strArgs = Writer.LineBy(r.fEndPoint, bKeep);
  } else if (IsCircularMove(k)) {
    strArgs = Writer.ArcBy(r.fEndPoint, r.fCentrePoint, r.Direction != 0);
    // An arc too small to write is the straight move it practically is: no move at all.
    if (strArgs.empty() && bKeep)
      return "    " + CommandWordFromType(k == eCmd_MoveCircSP ? eCmd_MoveSP : eCmd_Move) +
             "(0,0)" + r.strTrailer;
  } else if (m_pProgram && r.nProgramLine >= 0 &&
             static_cast<size_t>(r.nProgramLine) < m_pProgram->size()) {
    return (*m_pProgram)[static_cast<size_t>(r.nProgramLine)];
  } else {
    return r.strTrailer;
  }
  if (strArgs.empty()) {  // a move left out keeps its comment
    const std::string_view c = TrimLeftView(r.strTrailer);
    return c.empty() ? std::string() : "    " + std::string(c);
  }
  return "    " + CommandWordFromType(k) + "(" + strArgs + ")" + r.strTrailer;
}

void TTransformer::StoreNewList(TStringList* pInPlace) {
  m_lstNewProgram.clear();
  if (!pInPlace) m_lstNewProgram.reserve(m_lstNewMoves.size());
  TMoveWriter Writer;
  TProgressStage stage(m_pProgress, "Writing the program", 0.5, 1.0, static_cast<double>(m_lstNewMoves.size()));
  size_t nWritten = 0;
  for (size_t i = 0; i < m_lstNewMoves.size(); ++i) {
    if (i % 1024 == 0) stage.Step(static_cast<double>(i));
    const TMoveRecord& r = m_lstNewMoves[i];
    std::string s = LineFor(r, Writer, m_bAllKeptAsRead || (i < m_KeptAsRead.size() && m_KeptAsRead[i]));
    if (s.empty() && IsMoveKind(r.MoveType)) continue;  // a move of no written length
    if (pInPlace)
      (*pInPlace)[nWritten++] = std::move(s);
    else
      m_lstNewProgram.push_back(std::move(s));
  }
  if (pInPlace) pInPlace->resize(nWritten);
  stage.Done();
  std::vector<TMoveRecord>().swap(m_lstNewMoves);
  std::vector<bool>().swap(m_KeptAsRead);
  m_bAllKeptAsRead = false;
}

void TTransformer::UpdateProgram() {
  if (TStringList* p = m_pOutput ? m_pOutput : m_pProgram) *p = std::move(m_lstNewProgram);
  m_lstNewProgram.clear();
}

void TTransformer::EmptyLists() {
  m_lstSourceMoves.clear();
  m_lstNewMoves.clear();
  m_lstNewProgram.clear();
}

void TTransformer::Run(bool bStrict, const std::function<void()>& op, ERoom evRoom) {
  RunChecked(
      bStrict,
      [&op] {
        op();
        return true;
      },
      evRoom);
}

bool TTransformer::RunChecked(bool bStrict, const std::function<bool()>& op, ERoom evRoom) {
  LoadSourceList(bStrict);
  m_lstNewMoves.clear();
  if (evRoom == ERoom::eMore)
    m_lstNewMoves.reserve(m_lstSourceMoves.size() + m_lstSourceMoves.size() / 4 + 16);
  else if (evRoom == ERoom::eSame)
    m_lstNewMoves.reserve(m_lstSourceMoves.size());
  m_bAllKeptAsRead = false;
  if (!op()) {
    m_lstNewMoves.clear();
    return false;
  }
  // The records read are done with once it is known which moves are kept as they were
  // read: their memory goes before the new lines are made.
  if (!m_bAllKeptAsRead) {
    m_KeptAsRead.assign(m_lstNewMoves.size(), false);
    for (size_t i = 0; i < m_lstNewMoves.size(); ++i) m_KeptAsRead[i] = KeptAsRead(m_lstNewMoves[i]);
  }
  std::vector<TMoveRecord>().swap(m_lstSourceMoves);
  // Numbers grown beyond what a program line can hold could not be written back.
  auto writable = [](const TfPoint& p) {
    return std::fabs(p.fX) < gc_fMaxWrittenNumber && std::fabs(p.fY) < gc_fMaxWrittenNumber;
  };
  for (const TMoveRecord& r : m_lstNewMoves) {
    if (!IsMoveKind(r.MoveType)) continue;
    if (writable(r.fEndPoint) && writable(r.fCentrePoint)) continue;
    const int32_t n = std::max<int32_t>(r.nProgramLine, 0);
    const std::string strLine = m_pProgram && static_cast<size_t>(n) < m_pProgram->size()
                                    ? (*m_pProgram)[static_cast<size_t>(n)]
                                    : "";
    m_lstNewMoves.clear();
    throw ETransformError(n, strLine, "the result is too large to be written");
  }
  if (m_bAllKeptAsRead && !m_pOutput && StoreKeptInPlace()) return true;
  StoreNewList();
  UpdateProgram();
  return true;
}

bool TTransformer::StoreKeptInPlace() {
  // Every record is the program's own line, in order, kept as read: each line is written
  // where it stands. A line is read before any line at or after it is written (lines are
  // only ever left out), so no second list of the program is needed.
  if (!m_pProgram || m_lstNewMoves.size() != m_pProgram->size()) return false;
  for (size_t i = 0; i < m_lstNewMoves.size(); ++i)
    if (m_lstNewMoves[i].nProgramLine != static_cast<int32_t>(i)) return false;
  StoreNewList(m_pProgram);
  return true;
}

void TTransformer::Reverse() {
  Run(true, [this] {
    const bool bAnyMove = std::any_of(m_lstSourceMoves.begin(), m_lstSourceMoves.end(),
                                      [](const TMoveRecord& r) { return IsMoveKind(r.MoveType); });
    if (!bAnyMove) {  // nothing to turn round: the lines stay as they are
      m_lstNewMoves = m_lstSourceMoves;
      return;
    }
    // Built forwards, then turned round: the same as inserting each record at the front.
    bool bFirstAbsolute = false, bLastAbsolute = false;
    for (const TMoveRecord& s : m_lstSourceMoves) {
      TMoveRecord r;
      r.MoveType = s.MoveType;
      r.strTrailer = s.strTrailer;
      if (IsAbsoluteMove(s.MoveType)) {
        if (!bFirstAbsolute) {
          bFirstAbsolute = true;
          continue;
        }
        if (!bLastAbsolute) {
          TMoveRecord line;
          line.MoveType = b_MOsp ? eCmd_MoveSP : eCmd_Move;
          line.fEndPoint = Sub(s.fAbsStartPoint, s.fAbsEndPoint);
          m_lstNewMoves.push_back(line);
        }
        r.MoveType = b_MAsp ? eCmd_MoveAbsSP : eCmd_MoveAbs;
        r.fEndPoint = s.fEndPoint;
        r.bOffsetTerms = s.bOffsetTerms;
        bLastAbsolute = true;
      } else if (IsIncrementalMove(s.MoveType)) {
        r.fEndPoint = bLastAbsolute ? TfPoint{} : Neg(s.fEndPoint);
        bLastAbsolute = false;
      } else if (IsCircularMove(s.MoveType)) {
        r.fEndPoint = Neg(s.fEndPoint);
        r.fCentrePoint = Sub(s.fCentrePoint, s.fEndPoint);
        r.Direction = s.Direction == 0 ? 1 : 0;
        bLastAbsolute = false;
      } else {
        r = s;
      }
      m_lstNewMoves.push_back(std::move(r));
    }
    TMoveRecord start;
    start.MoveType = b_MAsp ? eCmd_MoveAbsSP : eCmd_MoveAbs;
    start.fEndPoint = m_fEndPoint;
    for (const TMoveRecord& s : m_lstSourceMoves)
      if (IsAbsoluteMove(s.MoveType)) {
        start.bOffsetTerms = s.bOffsetTerms;
        break;
      }
    m_lstNewMoves.push_back(start);
    std::reverse(m_lstNewMoves.begin(), m_lstNewMoves.end());
    std::erase_if(m_lstNewMoves, [](const TMoveRecord& r) {
      return IsIncrementalMove(r.MoveType) && r.fEndPoint.fX == 0.0 && r.fEndPoint.fY == 0.0;
    });
  });
}

void TTransformer::Shift(bool bRelative, double DfX, double DfY) {
  Run(true, [&] {
    TfPoint offset{DfX, DfY};
    bool bFirst = true;
    for (const TMoveRecord& s : m_lstSourceMoves) {
      TMoveRecord r = s;
      if (IsAbsoluteMove(s.MoveType)) {
        if (bFirst && !bRelative) offset = TfPoint{DfX - s.fEndPoint.fX, DfY - s.fEndPoint.fY};
        bFirst = false;
        r.fEndPoint = Add(s.fEndPoint, offset);
      }
      m_lstNewMoves.push_back(std::move(r));
    }
  }, ERoom::eSame);
}

void TTransformer::Scale(double fFactor) {
  Run(true, [&] {
    for (const TMoveRecord& s : m_lstSourceMoves) {
      TMoveRecord r = s;
      if (IsMoveKind(s.MoveType)) {
        r.fEndPoint = TfPoint{s.fEndPoint.fX * fFactor, s.fEndPoint.fY * fFactor};
        if (IsCircularMove(s.MoveType))
          r.fCentrePoint = TfPoint{s.fCentrePoint.fX * fFactor, s.fCentrePoint.fY * fFactor};
      }
      m_lstNewMoves.push_back(std::move(r));
    }
  }, ERoom::eSame);
}

void TTransformer::Rotate(double fAngle) {
  Run(true, [&] {
    FindCenter();
    const TTurn turn(fAngle);
    for (const TMoveRecord& s : m_lstSourceMoves) {
      TMoveRecord r = s;
      // R(end) - R(start) of a straight move or an arc is its displacement turned, and
      // an arc's centre offset turns the same way.
      if (IsAbsoluteMove(s.MoveType)) {
        r.fEndPoint = turn.About(s.fEndPoint, m_Center);
      } else if (IsIncrementalMove(s.MoveType)) {
        r.fEndPoint = turn.Vector(s.fEndPoint);
      } else if (IsCircularMove(s.MoveType)) {
        r.fEndPoint = turn.Vector(s.fEndPoint);
        r.fCentrePoint = turn.Vector(s.fCentrePoint);
      }
      m_lstNewMoves.push_back(std::move(r));
    }
  }, ERoom::eSame);
}

void TTransformer::RewriteCanonical() {
  RunChecked(
      false,
      [this] {
        m_lstNewMoves = std::move(m_lstSourceMoves);  // every move as it was read
        m_bAllKeptAsRead = true;
        return true;
      },
      ERoom::eNone);
}

void TTransformer::Mirror(EAxis Axis) {
  Run(true, [&] {
    for (const TMoveRecord& s : m_lstSourceMoves) {
      TMoveRecord r = s;
      if (IsMoveKind(s.MoveType)) {
        auto flip = [Axis](TfPoint p) {
          return Axis == eYAxis ? TfPoint{-p.fX, p.fY} : TfPoint{p.fX, -p.fY};
        };
        r.fEndPoint = flip(s.fEndPoint);
        if (IsCircularMove(s.MoveType)) {
          r.fCentrePoint = flip(s.fCentrePoint);
          r.Direction = s.Direction != 1 ? 1 : 0;
        }
      }
      m_lstNewMoves.push_back(std::move(r));
    }
  }, ERoom::eSame);
}

void TTransformer::FindCenter() {
  double Sx = 0, Sy = 0;
  int64_t k = 0;
  TfPoint B;
  for (const TMoveRecord& r : m_lstSourceMoves) {
    if (IsAbsoluteMove(r.MoveType)) {
      B = r.fEndPoint;
    } else if (IsIncrementalMove(r.MoveType)) {
      Sx += r.fAbsEndPoint.fX;
      Sy += r.fAbsEndPoint.fY;
      ++k;
    } else if (IsCircularMove(r.MoveType)) {
      TfPoint c = Add(r.fAbsStartPoint, r.fCentrePoint);
      Sx += c.fX;
      Sy += c.fY;
      ++k;
    }
  }
  CheckCloseGraph();
  const double n = static_cast<double>(k);
  if (b_closed) {
    if (k > 0) m_Center = TfPoint{Sx / n, Sy / n};
  } else {
    m_Center = TfPoint{(B.fX + Sx) / (n + 1), (B.fY + Sy) / (n + 1)};
  }
}

void TTransformer::CheckCloseGraph() {
  double x = 0, y = 0;
  for (const TMoveRecord& r : m_lstSourceMoves)
    if (IsIncrementalMove(r.MoveType) || IsCircularMove(r.MoveType)) {
      x += r.fEndPoint.fX;
      y += r.fEndPoint.fY;
    }
  b_closed = std::fabs(x) < c_fCloseTolerance && std::fabs(y) < c_fCloseTolerance;
}

}  // namespace veltrane
