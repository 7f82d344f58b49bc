// Reading a program's motion line by line.
#include "tools/ProgramMotion.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

#include "model/NumberFormat.h"
#include "model/SequenceMarkup.h"
#include "model/Statements.h"
#include "model/Text.h"

namespace veltrane {

namespace {

constexpr double pi = std::numbers::pi;

// The leading word of a statement, upper-cased: letters, digits and underscores.
std::string_view LeadingWord(std::string_view t) {
  size_t n = 0;
  while (n < t.size() && (std::isalnum(static_cast<unsigned char>(t[n])) || t[n] == '_')) ++n;
  return t.substr(0, n);
}

// The text of a value up to a comment or the end of the line.
std::string_view ValueText(std::string_view t) {
  const size_t q = t.find('\'');
  return TrimView(q == std::string_view::npos ? t : t.substr(0, q));
}

bool ReadArguments(std::string_view strLine, size_t nWanted, double* v) {
  TStringList args;
  ExtractParameterString(strLine, args, nWanted);  // the first ones only: a line may hold millions
  if (args.size() < nWanted) return false;
  for (size_t i = 0; i < nWanted; ++i)
    if (!TryStrToFloat(TrimView(args[i]), v[i]) || !std::isfinite(v[i])) return false;
  return true;
}

// The swept angle of an arc from a to b about c in its direction, in (0, 2pi]; a full
// turn when the ends meet.
double Sweep(TfPoint a, TfPoint b, TfPoint c, bool bClockwise, bool bFull) {
  if (bFull) return 2 * pi;
  const double s = std::atan2(a.fY - c.fY, a.fX - c.fX), e = std::atan2(b.fY - c.fY, b.fX - c.fX);
  double w = bClockwise ? s - e : e - s;
  while (w <= 0) w += 2 * pi;
  while (w > 2 * pi) w -= 2 * pi;
  return w;
}

}  // namespace

bool WalkProgramMotion(const TStringList& Program, const TMotionVisitor& V) {
  TfPoint pos;
  int32_t nSequence = 0, nLayer = -1, nLayers = 0;
  for (size_t i = 0; i < Program.size(); ++i) {
    if ((i & 4095) == 0 && V.pCancel && V.pCancel->load(std::memory_order_relaxed)) return false;
    const std::string& line = Program[i];
    const int32_t nLine = static_cast<int32_t>(i);
    std::string_view t = TrimView(line);
    if (t.empty()) continue;
    if (t[0] == '\'') {
      if (IsTrimmedStartMarker(t)) {
        nSequence = std::max(0, MarkerNumber(t));
        if (V.OnSequenceStart) V.OnSequenceStart(nSequence, nLayer, nLine);
      } else if (IsTrimmedEndMarker(t)) {
        nSequence = 0;
      } else if (StartsWithText(t, gc_sLayerEnd)) {
        nLayer = -1;
      } else if (StartsWithText(t, gc_sLayerStart)) {
        nLayer = nLayers++;
        const size_t colon = t.find(':');
        const std::string strName(colon == std::string_view::npos ? t.substr(gc_sLayerStart.size())
                                                                  : t.substr(colon + 1));
        if (V.OnLayerStart) V.OnLayerStart(nLayer, Trim(strName), nLine);
      }
      continue;
    }
    const ECommandType evType = CommandTypeOfLine(t);
    if (IsMoveKind(evType) || evType == eCmd_MHelical) {
      TProgramMove m;
      m.nLine = nLine;
      m.nSequence = nSequence;
      m.nLayer = nLayer;
      m.bLookAhead = evType == eCmd_MoveAbsSP || evType == eCmd_MoveSP || evType == eCmd_MoveCircSP;
      m.fStart = pos;
      double v[5] = {0, 0, 0, 0, 0};
      const bool bArc = IsCircularMove(evType) || evType == eCmd_MHelical;
      if (!ReadArguments(t, bArc ? 5 : 2, v)) {
        if (V.OnUnreadableMove) V.OnUnreadableMove(nLine);
        continue;
      }
      if (IsAbsoluteMove(evType)) {
        m.evKind = EMoveKind::eAbsolute;
        m.fEnd = TfPoint{v[0], v[1]};
        m.fLength = std::hypot(m.fEnd.fX - pos.fX, m.fEnd.fY - pos.fY);
      } else if (!bArc) {
        m.evKind = EMoveKind::eStraight;
        m.fEnd = TfPoint{pos.fX + v[0], pos.fY + v[1]};
        m.fLength = std::hypot(v[0], v[1]);
      } else {
        m.evKind = evType == eCmd_MHelical ? EMoveKind::eHelical : EMoveKind::eArc;
        m.fEnd = TfPoint{pos.fX + v[0], pos.fY + v[1]};
        m.fCentre = TfPoint{pos.fX + v[2], pos.fY + v[3]};
        m.bClockwise = v[4] >= 1 && v[4] < 2;  // the direction digit 1, as the controller reads it
        m.bFullCircle = v[0] == 0.0 && v[1] == 0.0;
        m.fRadius = std::hypot(v[2], v[3]);
        m.fRadiusMismatch = std::fabs(std::hypot(m.fEnd.fX - m.fCentre.fX, m.fEnd.fY - m.fCentre.fY) - m.fRadius);
        m.fLength = m.fRadius > 0 ? m.fRadius * Sweep(m.fStart, m.fEnd, m.fCentre, m.bClockwise, m.bFullCircle)
                                  : std::hypot(v[0], v[1]);
      }
      pos = m.fEnd;
      if (V.OnMove) V.OnMove(m);
      continue;
    }
    if (!V.OnSetting) continue;
    const std::string strWord = UpperCase(LeadingWord(t));
    std::string_view rest = TrimLeftView(t.substr(LeadingWord(t).size()));
    TMotionSetting s;
    s.nLine = nLine;
    s.nSequence = nSequence;
    s.nLayer = nLayer;
    if (strWord == "WA" && !rest.empty() && rest[0] == '(') {
      s.evKind = ESettingKind::eDwell;
      const size_t close = rest.find(')');
      s.bConstant = close != std::string_view::npos &&
                    TryStrToFloat(TrimView(rest.substr(1, close - 1)), s.fValue) && std::isfinite(s.fValue);
      V.OnSetting(s);
      continue;
    }
    if (strWord == "WAIT" && StartsWithText(rest, "IDLE")) {
      s.evKind = ESettingKind::eWaitIdle;
      V.OnSetting(s);
      continue;
    }
    if (rest.empty() || rest[0] != '=') continue;
    static const std::pair<const char*, ESettingKind> c_Words[] = {
        {"SPEED", ESettingKind::eSpeed},           {"ACCEL", ESettingKind::eAccel},
        {"DECEL", ESettingKind::eDecel},           {"FORCE_SPEED", ESettingKind::eForceSpeed},
        {"ENDMOVE_SPEED", ESettingKind::eEndMoveSpeed}, {"MERGE", ESettingKind::eMerge}};
    for (const auto& [w, k] : c_Words) {
      if (strWord != w) continue;
      s.evKind = k;
      const std::string_view value = ValueText(rest.substr(1));
      if (k == ESettingKind::eMerge && (SameText(value, "ON") || SameText(value, "TRUE"))) {
        s.fValue = 1;
      } else if (k == ESettingKind::eMerge && (SameText(value, "OFF") || SameText(value, "FALSE"))) {
        s.fValue = 0;
      } else {
        s.bConstant = TryStrToFloat(value, s.fValue) && std::isfinite(s.fValue);
      }
      V.OnSetting(s);
      break;
    }
  }
  return true;
}

void AddArcExtents(const TProgramMove& m, TfRange& fX, TfRange& fY) {
  auto add = [&](double x, double y) {
    fX.fFrom = std::min(fX.fFrom, x);
    fX.fTo = std::max(fX.fTo, x);
    fY.fFrom = std::min(fY.fFrom, y);
    fY.fTo = std::max(fY.fTo, y);
  };
  add(m.fStart.fX, m.fStart.fY);
  add(m.fEnd.fX, m.fEnd.fY);
  if (!(m.fRadius > 0)) return;
  const double s = std::atan2(m.fStart.fY - m.fCentre.fY, m.fStart.fX - m.fCentre.fX);
  const double w = Sweep(m.fStart, m.fEnd, m.fCentre, m.bClockwise, m.bFullCircle);
  // The directions 0, 90, 180 and 270 degrees the arc passes through.
  static constexpr double c_Axis[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  for (int q = 0; q < 4; ++q) {
    const double a = q * pi / 2;
    double d = m.bClockwise ? s - a : a - s;
    d = std::fmod(std::fmod(d, 2 * pi) + 2 * pi, 2 * pi);
    if (d <= w) add(m.fCentre.fX + m.fRadius * c_Axis[q][0], m.fCentre.fY + m.fRadius * c_Axis[q][1]);
  }
}

int32_t FirstLineBeyondRange(const TStringList& Program) {
  int32_t nFound = -1;
  std::atomic<bool> bStop{false};
  TMotionVisitor v;
  v.OnMove = [&](const TProgramMove& m) {
    for (const double f : {m.fEnd.fX, m.fEnd.fY, m.fCentre.fX, m.fCentre.fY, m.fLength})
      if (!std::isfinite(f) && nFound < 0) {
        nFound = m.nLine;
        bStop = true;
      }
  };
  v.pCancel = &bStop;
  WalkProgramMotion(Program, v);
  return nFound;
}

}  // namespace veltrane
