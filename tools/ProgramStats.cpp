// Program statistics and the cycle-time estimate.
#include "tools/ProgramStats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

#include "settings/VLTRegistry.h"

namespace veltrane {

namespace {

constexpr double pi = std::numbers::pi;

// A move as the planner sees it: how long, how fast it may go, how fast it may leave.
struct TPlanned {
  double fLength = 0, fSpeed = 0, fAccel = 0, fDecel = 0;
  double fExit = 0;  // the speed limit at its end: 0 where the motion stops
  int32_t nLayerRow = -1, nSequenceRow = -1;
};

double Direction(const TProgramMove& m, bool bAtEnd) {
  if (m.evKind != EMoveKind::eArc && m.evKind != EMoveKind::eHelical)
    return std::atan2(m.fEnd.fY - m.fStart.fY, m.fEnd.fX - m.fStart.fX);
  const TfPoint p = bAtEnd ? m.fEnd : m.fStart;
  const double radial = std::atan2(p.fY - m.fCentre.fY, p.fX - m.fCentre.fX);
  return m.bClockwise ? radial - pi / 2 : radial + pi / 2;
}

const char* SettingName(ESettingKind k) {
  switch (k) {
    case ESettingKind::eSpeed: return "SPEED";
    case ESettingKind::eAccel: return "ACCEL";
    case ESettingKind::eDecel: return "DECEL";
    case ESettingKind::eForceSpeed: return "FORCE_SPEED";
    case ESettingKind::eEndMoveSpeed: return "ENDMOVE_SPEED";
    case ESettingKind::eMerge: return "MERGE";
    case ESettingKind::eDwell: return "WA";
    case ESettingKind::eWaitIdle: return "WAIT IDLE";
  }
  return "";
}

std::string Significant(double f) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6g", f);
  return buf;
}

std::string Fixed(double f, int nDecimals) {
  // Beyond what fixed point can show in a column, six significant digits and the power.
  if (!(std::fabs(f) < 1e15)) return std::isfinite(f) ? Significant(f) : "beyond range";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", nDecimals, f);
  std::string s = buf;
  if (s == "-0" || s.find_first_not_of("-0.") == std::string::npos) s.erase(0, s[0] == '-' ? 1 : 0);
  return s;
}

class TBuilder {
 public:
  TBuilder(const TEstimateSettings& S, TProgramStats& Stats) : m_S(S), m_Stats(Stats) {
    m_fBlend = S.fBlendDegrees * pi / 180.0;
  }

  void LayerStart(int32_t nLayer, const std::string& strName, int32_t nLine) {
    if (static_cast<size_t>(nLayer) != m_Stats.Layers.size()) return;
    TStatsRow r;
    r.strScope = "layer";
    r.strName = strName;
    r.nFirstLine = nLine;
    m_Stats.Layers.push_back(r);
  }

  void SequenceStart(int32_t nSequence, int32_t nLayer, int32_t nLine) {
    TStatsRow r;
    r.strScope = "sequence";
    r.strName = std::to_string(nSequence);
    r.nSequence = nSequence;
    r.nFirstLine = nLine;
    r.nSequences = 1;
    r.fTime = m_S.fPierceTime;
    if (nLayer >= 0 && static_cast<size_t>(nLayer) < m_Stats.Layers.size()) {
      r.strLayer = m_Stats.Layers[static_cast<size_t>(nLayer)].strName;
      m_Stats.Layers[static_cast<size_t>(nLayer)].nSequences++;
      m_Stats.Layers[static_cast<size_t>(nLayer)].fTime += m_S.fPierceTime;
    }
    m_Stats.Program.nSequences++;
    m_Stats.Program.fTime += m_S.fPierceTime;
    m_Stats.Sequences.push_back(r);
    // A pierce: the tool is switched on at the sequence's start, so the motion stops,
    // and again at the end of the leader, where the cut begins.
    m_bStop = true;
    m_bLeader = true;
  }

  void Setting(const TMotionSetting& s) {
    if (!s.bConstant) {
      Note(s.evKind, s.nLine);
      if (s.evKind == ESettingKind::eDwell) m_bStop = true;
      Value(s.evKind) = -1;  // back to the default
      return;
    }
    switch (s.evKind) {
      case ESettingKind::eDwell: {
        const double t = std::max(0.0, s.fValue) / 1000.0;
        AddTime(t, LayerRow(s.nLayer), SequenceRow(s.nSequence));
        m_bStop = true;
        break;
      }
      case ESettingKind::eWaitIdle: m_bStop = true; break;
      case ESettingKind::eMerge: m_bMerge = s.fValue != 0; break;
      default:
        // A speed or acceleration of 0 or less would never finish a move: the default.
        if (s.fValue <= 0 && s.evKind != ESettingKind::eEndMoveSpeed) {
          Note(s.evKind, s.nLine);
          Value(s.evKind) = -1;
        } else {
          Value(s.evKind) = std::max(0.0, s.fValue);
        }
    }
  }

  void Move(const TProgramMove& m) {
    const int32_t nLayerRow = LayerRow(m.nLayer), nSequenceRow = SequenceRow(m.nSequence);
    // The absolute moves that open a sequence are its leader, travel to the pierce; every
    // move after them cuts, an absolute one too.
    const bool bCut = m.nSequence != 0 && !(m_bLeader && m.evKind == EMoveKind::eAbsolute);
    if (bCut && m_bLeader) {
      m_bLeader = false;
      m_bStop = true;  // the pierce
    }
    if (m.nSequence == 0) m_bLeader = false;
    for (const double f : {m.fEnd.fX, m.fEnd.fY, m.fLength})
      if (!std::isfinite(f) && m_Stats.nBeyondRange < 0) m_Stats.nBeyondRange = m.nLine;
    for (TStatsRow* r : Rows(nLayerRow, nSequenceRow)) {
      if (!r) continue;
      (bCut ? r->fCut : r->fTravel) += m.fLength;
      if (!std::isfinite(r->fCut + r->fTravel) && m_Stats.nBeyondRange < 0) m_Stats.nBeyondRange = m.nLine;
      r->nMovesByKind[static_cast<size_t>(m.evKind)]++;
      TfRange x{m.fEnd.fX, m.fEnd.fX}, y{m.fEnd.fY, m.fEnd.fY};
      if (m.evKind == EMoveKind::eArc || m.evKind == EMoveKind::eHelical) AddArcExtents(m, x, y);
      if (!r->bHasExtents) {
        r->fX = x;
        r->fY = y;
        r->bHasExtents = true;
      } else {
        r->fX = TfRange{std::min(r->fX.fFrom, x.fFrom), std::max(r->fX.fTo, x.fTo)};
        r->fY = TfRange{std::min(r->fY.fFrom, y.fFrom), std::max(r->fY.fTo, y.fTo)};
      }
    }
    if (!(m.fLength > 0)) return;  // takes no time and leaves the motion as it was
    TPlanned p;
    p.fLength = m.fLength;
    const double fForce = m_fForceSpeed, fSpeed = m_fSpeed;
    p.fSpeed = m.bLookAhead && fForce > 0 ? fForce : fSpeed > 0 ? fSpeed : bCut ? m_S.fSpeed : m_S.fTravelSpeed;
    p.fAccel = m_fAccel > 0 ? m_fAccel : m_S.fAccel;
    p.fDecel = m_fDecel > 0 ? m_fDecel : m_S.fDecel;
    p.nLayerRow = nLayerRow;
    p.nSequenceRow = nSequenceRow;
    const double fIn = Direction(m, false);
    if (!m_Run.empty()) {
      const bool bBlend = !m_bStop && (m_bLastLookAhead || m_bMerge) &&
                          std::fabs(std::remainder(fIn - m_fLastOut, 2 * pi)) <= m_fBlend + 1e-12;
      if (bBlend) {
        TPlanned& last = m_Run.back();
        double fExit = std::min(last.fSpeed, p.fSpeed);
        if (m_bLastLookAhead && m_fEndMoveSpeed >= 0) fExit = std::min(fExit, m_fEndMoveSpeed);
        last.fExit = fExit;
      } else {
        Flush();
      }
    }
    m_Run.push_back(p);
    m_bStop = false;
    m_bLastLookAhead = m.bLookAhead;
    m_fLastOut = Direction(m, true);
  }

  void Unreadable(int32_t nLine) {
    if (m_nUnreadable++ == 0) m_nFirstUnreadable = nLine;
  }

  void Finish() {
    Flush();
    for (size_t k = 0; k < m_NoteCount.size(); ++k) {
      if (m_NoteCount[k] == 0) continue;
      const ESettingKind evKind = static_cast<ESettingKind>(k);
      std::string s = "line " + std::to_string(m_FirstNote[k] + 1) + ": " + SettingName(evKind) +
                      (evKind == ESettingKind::eDwell ? " with a time that is not a constant counts no time"
                                                      : " is not a constant above 0; the default is used");
      if (m_NoteCount[k] > 1) s += " (and " + std::to_string(m_NoteCount[k] - 1) + " more such lines)";
      m_Stats.Notes.push_back(s);
    }
    if (m_nUnreadable > 0) {
      std::string s = "line " + std::to_string(m_nFirstUnreadable + 1) +
                      ": a move whose coordinates are not all numbers is left out";
      if (m_nUnreadable > 1) s += " (and " + std::to_string(m_nUnreadable - 1) + " more such lines)";
      m_Stats.Notes.push_back(s);
    }
  }

 private:
  double& Value(ESettingKind k) {
    switch (k) {
      case ESettingKind::eSpeed: return m_fSpeed;
      case ESettingKind::eAccel: return m_fAccel;
      case ESettingKind::eDecel: return m_fDecel;
      case ESettingKind::eForceSpeed: return m_fForceSpeed;
      case ESettingKind::eEndMoveSpeed: return m_fEndMoveSpeed;
      default: return m_fUnused;
    }
  }
  void Note(ESettingKind k, int32_t nLine) {
    const size_t i = static_cast<size_t>(k);
    if (m_NoteCount[i]++ == 0) m_FirstNote[i] = nLine;
  }
  int32_t LayerRow(int32_t nLayer) const {
    return nLayer >= 0 && static_cast<size_t>(nLayer) < m_Stats.Layers.size() ? nLayer : -1;
  }
  int32_t SequenceRow(int32_t nSequence) const {
    return nSequence != 0 && !m_Stats.Sequences.empty() ? static_cast<int32_t>(m_Stats.Sequences.size()) - 1 : -1;
  }
  // The program's row and those of the layer and sequence given (-1: none); the unused
  // places are null.
  std::array<TStatsRow*, 3> Rows(int32_t nLayerRow, int32_t nSequenceRow) {
    return {&m_Stats.Program, nLayerRow >= 0 ? &m_Stats.Layers[static_cast<size_t>(nLayerRow)] : nullptr,
            nSequenceRow >= 0 ? &m_Stats.Sequences[static_cast<size_t>(nSequenceRow)] : nullptr};
  }
  void AddTime(double t, int32_t nLayerRow, int32_t nSequenceRow) {
    for (TStatsRow* r : Rows(nLayerRow, nSequenceRow))
      if (r) r->fTime += t;
  }
  // The run of moves that blend into each other, planned and timed: every joint no
  // faster than its limit, and no faster than the moves on either side can reach or
  // leave it.
  void Flush() {
    const size_t n = m_Run.size();
    if (n == 0) return;
    m_Run.back().fExit = 0;
    auto reach = [](double v, double a, double d) { return a > 0 ? std::sqrt(v * v + 2 * a * d) : kInf; };
    for (size_t i = n - 1; i-- > 0;) {
      const TPlanned& next = m_Run[i + 1];
      m_Run[i].fExit = std::min(m_Run[i].fExit, reach(next.fExit, next.fDecel, next.fLength));
    }
    double fEntry = 0;
    for (TPlanned& p : m_Run) {
      p.fExit = std::min(p.fExit, reach(fEntry, p.fAccel, p.fLength));
      AddTime(MoveTime(p.fLength, fEntry, p.fExit, p.fSpeed, p.fAccel, p.fDecel), p.nLayerRow, p.nSequenceRow);
      fEntry = p.fExit;
    }
    m_Run.clear();
  }

  static constexpr double kInf = std::numeric_limits<double>::infinity();
  const TEstimateSettings& m_S;
  TProgramStats& m_Stats;
  double m_fBlend = 0;
  // The program's own values; below 0 when it has set none (or none the model can use).
  double m_fSpeed = -1, m_fAccel = -1, m_fDecel = -1, m_fForceSpeed = -1, m_fEndMoveSpeed = -1, m_fUnused = 0;
  bool m_bMerge = false, m_bStop = true, m_bLastLookAhead = false, m_bLeader = false;
  double m_fLastOut = 0;
  std::vector<TPlanned> m_Run;
  std::array<int32_t, 8> m_NoteCount{};
  std::array<int32_t, 8> m_FirstNote{};
  int32_t m_nUnreadable = 0, m_nFirstUnreadable = 0;
};

}  // namespace

int32_t TStatsRow::Moves() const {
  int32_t n = 0;
  for (int32_t k : nMovesByKind) n += k;
  return n;
}

double MoveTime(double L, double v0, double v1, double v, double a, double d) {
  if (!(L > 0)) return 0.0;
  if (!(v > 0)) return std::numeric_limits<double>::infinity();
  v0 = std::min(v0, v);
  v1 = std::min(v1, v);
  const double fUp = a > 0 ? (v * v - v0 * v0) / (2 * a) : 0.0;
  const double fDown = d > 0 ? (v * v - v1 * v1) / (2 * d) : 0.0;
  if (fUp + fDown <= L)
    return (a > 0 ? (v - v0) / a : 0.0) + (d > 0 ? (v - v1) / d : 0.0) + (L - fUp - fDown) / v;
  // No room to reach the cruise speed: up to a peak and straight down again (with an
  // instant change on one side, all the way up or all the way down).
  if (a > 0 && d > 0) {
    const double fPeak =
        std::max({std::sqrt((2 * a * d * L + d * v0 * v0 + a * v1 * v1) / (a + d)), v0, v1});
    return (fPeak - v0) / a + (fPeak - v1) / d;
  }
  if (d > 0) return (std::sqrt(v1 * v1 + 2 * d * L) - v1) / d;
  return (std::sqrt(v0 * v0 + 2 * a * L) - v0) / a;
}

TProgramStats ComputeProgramStats(const TStringList& Program, const TEstimateSettings& Settings,
                                  const std::string& strName, const std::atomic<bool>* pCancel) {
  TProgramStats stats;
  stats.Program.strScope = "program";
  stats.Program.strName = strName;
  stats.Program.nFirstLine = 0;
  TBuilder b(Settings, stats);
  TMotionVisitor v;
  v.OnMove = [&](const TProgramMove& m) { b.Move(m); };
  v.OnSetting = [&](const TMotionSetting& s) { b.Setting(s); };
  v.OnSequenceStart = [&](int32_t n, int32_t nLayer, int32_t nLine) { b.SequenceStart(n, nLayer, nLine); };
  v.OnLayerStart = [&](int32_t n, const std::string& s, int32_t nLine) { b.LayerStart(n, s, nLine); };
  v.OnUnreadableMove = [&](int32_t nLine) { b.Unreadable(nLine); };
  v.pCancel = pCancel;
  if (!WalkProgramMotion(Program, v)) {
    stats.bCancelled = true;
    return stats;
  }
  b.Finish();
  return stats;
}

std::string FormatDuration(double f) {
  if (!std::isfinite(f)) return "unknown";
  if (f >= 3.6e12) return Significant(f / 3600) + " h";  // a billion hours and more
  if (f < 60) return Fixed(f, 1) + " s";
  const long long tenths = std::llround(f * 10);
  const long long h = tenths / 36000, m = tenths / 600 % 60, s10 = tenths % 600;
  char buf[64];
  if (h > 0)
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld.%lld", h, m, s10 / 10, s10 % 10);
  else
    std::snprintf(buf, sizeof buf, "%lld:%02lld.%lld", m, s10 / 10, s10 % 10);
  return buf;
}

std::string StatsTable(const TProgramStats& S) {
  const TStatsRow& p = S.Program;
  std::string out = "Program " + p.strName + "\n";
  auto line = [&](const std::string& k, const std::string& v) {
    out += "  " + k + std::string(k.size() < 22 ? 22 - k.size() : 1, ' ') + v + "\n";
  };
  line("sequences (pierces)", std::to_string(p.nSequences));
  line("cut length", Fixed(p.fCut, 3));
  line("travel length", Fixed(p.fTravel, 3));
  line("moves", std::to_string(p.Moves()) + " (absolute " + std::to_string(p.nMovesByKind[0]) + ", straight " +
                    std::to_string(p.nMovesByKind[1]) + ", arcs " + std::to_string(p.nMovesByKind[2]) +
                    ", helical " + std::to_string(p.nMovesByKind[3]) + ")");
  if (p.bHasExtents)
    line("extents", "X " + Fixed(p.fX.fFrom, 3) + " .. " + Fixed(p.fX.fTo, 3) + ", Y " + Fixed(p.fY.fFrom, 3) +
                        " .. " + Fixed(p.fY.fTo, 3));
  line("estimated time", FormatDuration(p.fTime));
  out += "\n";
  char buf[256];
  std::snprintf(buf, sizeof buf, "%-9s %-20s %9s %12s %13s %7s %12s\n", "scope", "name", "sequences", "cut length",
                "travel length", "moves", "time");
  out += buf;
  auto row = [&](const TStatsRow& r, const char* indent) {
    std::snprintf(buf, sizeof buf, "%-9s %-20s %9d %12s %13s %7d %12s\n", (indent + r.strScope).c_str(),
                  r.strName.c_str(), r.nSequences, Fixed(r.fCut, 3).c_str(), Fixed(r.fTravel, 3).c_str(), r.Moves(),
                  FormatDuration(r.fTime).c_str());
    out += buf;
  };
  row(p, "");
  // Each layer followed by its sequences, then the sequences outside any layer.
  std::vector<bool> shown(S.Sequences.size(), false);
  for (const TStatsRow& l : S.Layers) {
    row(l, "");
    for (size_t i = 0; i < S.Sequences.size(); ++i)
      if (!shown[i] && S.Sequences[i].nFirstLine > l.nFirstLine && S.Sequences[i].strLayer == l.strName &&
          (&l == &S.Layers.back() || S.Sequences[i].nFirstLine < (&l + 1)->nFirstLine)) {
        row(S.Sequences[i], "");
        shown[i] = true;
      }
  }
  for (size_t i = 0; i < S.Sequences.size(); ++i)
    if (!shown[i]) row(S.Sequences[i], "");
  return out;
}

std::string StatsCsv(const TProgramStats& S) {
  std::string out = "scope,name,sequences,cut_length,travel_length,moves,time_s\n";
  auto quoted = [](const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
  };
  auto row = [&](const TStatsRow& r) {
    out += r.strScope + "," + quoted(r.strName) + "," + std::to_string(r.nSequences) + "," + Fixed(r.fCut, 4) + "," +
           Fixed(r.fTravel, 4) + "," + std::to_string(r.Moves()) + "," + Fixed(r.fTime, 3) + "\n";
  };
  row(S.Program);
  for (const TStatsRow& r : S.Layers) row(r);
  for (const TStatsRow& r : S.Sequences) row(r);
  return out;
}

TEstimateSettings ReadEstimateSettings(TVLTRegistry& R) {
  TEstimateSettings s;
  // Values never stored, or stored out of range, leave the defaults.
  auto take = [&R](const char* strName, double& f, bool bZeroAllowed) {
    if (!R.HasValue(strName, "\\Estimate")) return;
    const double v = R.ReadFloatValue(strName, "\\Estimate");
    if (std::isfinite(v) && (v > 0 || (bZeroAllowed && v == 0))) f = v;
  };
  take("Speed", s.fSpeed, false);
  take("Accel", s.fAccel, false);
  take("Decel", s.fDecel, false);
  take("TravelSpeed", s.fTravelSpeed, false);
  take("BlendAngle", s.fBlendDegrees, true);
  take("PierceTime", s.fPierceTime, true);
  return s;
}

void WriteEstimateSettings(const TEstimateSettings& s, TVLTRegistry& R) {
  R.SetEstimateSpeed(s.fSpeed);
  R.SetEstimateAccel(s.fAccel);
  R.SetEstimateDecel(s.fDecel);
  R.SetEstimateTravelSpeed(s.fTravelSpeed);
  R.SetEstimateBlendDegrees(s.fBlendDegrees);
  R.SetEstimatePierceTime(s.fPierceTime);
}

}  // namespace veltrane
