// Program statistics and the cycle-time estimate: cut and travel lengths, pierces, moves
// by kind, extents and time, for the whole program, each layer block and each sequence.
//
// The time comes from a motion model that reads the program's own SPEED, ACCEL, DECEL,
// FORCE_SPEED, ENDMOVE_SPEED and MERGE assignments as it runs through it. Each move gets
// a trapezoidal (or triangular) velocity profile. A joint does not stop the motion when
// the move before it is a look-ahead (SP) form or MERGE is on, and the path turns there
// by no more than the blend angle; every other joint stops. WA(ms) waits, WAIT IDLE
// stops. Not modelled: jerk, servo lag, the controller's own corner rounding, axis
// limits beyond the vector speed.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "model/Records.h"
#include "tools/ProgramMotion.h"

namespace veltrane {

class TVLTRegistry;

// What the model takes when the program does not say (or says it in a way the model
// cannot evaluate). Speeds in units per second, accelerations in units per second².
struct TEstimateSettings {
  double fSpeed = 100.0;
  double fAccel = 1000.0;
  double fDecel = 1000.0;
  // Travel (a sequence's leader, moves between sequences) while the program has set no
  // speed of its own.
  double fTravelSpeed = 200.0;
  double fBlendDegrees = 10.0;
  double fPierceTime = 0.0;     // seconds added at the start of every sequence
  bool operator==(const TEstimateSettings&) const = default;
};

TEstimateSettings ReadEstimateSettings(TVLTRegistry& Registry);
void WriteEstimateSettings(const TEstimateSettings& Settings, TVLTRegistry& Registry);

struct TStatsRow {
  std::string strScope;  // "program", "layer" or "sequence"
  std::string strName;   // the file, the layer's name, the sequence's number
  std::string strLayer;  // sequences: the layer they stand in
  int32_t nSequence = 0;  // sequences: the number
  int32_t nFirstLine = -1;
  int32_t nSequences = 0;
  double fCut = 0.0, fTravel = 0.0;
  std::array<int32_t, c_nMoveKinds> nMovesByKind{};
  double fTime = 0.0;
  bool bHasExtents = false;
  TfRange fX, fY;
  int32_t Moves() const;
};

struct TProgramStats {
  TStatsRow Program;
  std::vector<TStatsRow> Layers;
  std::vector<TStatsRow> Sequences;
  // Statements the model could not evaluate, each once with its line (from 1).
  std::vector<std::string> Notes;
  bool bCancelled = false;
  // The first line (0-based) where a position or a length grows beyond the range of
  // numbers; -1 when none does. The figures are then no figures at all.
  int32_t nBeyondRange = -1;
};

// pCancel, when given and set while the work runs, stops it with bCancelled set.
TProgramStats ComputeProgramStats(const TStringList& Program, const TEstimateSettings& Settings,
                                  const std::string& strName, const std::atomic<bool>* pCancel = nullptr);

// Time of one move of length fLength entered at v0 and left at v1 (both reachable), with
// cruise speed fSpeed, acceleration fAccel and deceleration fDecel (0 or less: instant).
double MoveTime(double fLength, double v0, double v1, double fSpeed, double fAccel, double fDecel);

// "1:02:03.4", "2:03.4" or "3.4 s".
std::string FormatDuration(double fSeconds);
// The table as the command-line tool prints it, and as comma-separated values with the
// header "scope,name,sequences,cut_length,travel_length,moves,time_s".
std::string StatsTable(const TProgramStats& Stats);
std::string StatsCsv(const TProgramStats& Stats);

}  // namespace veltrane
