// Tabs: short uncut bridges that hold a part in the sheet. A closed path is cut into
// pieces with a tab between each two: the cut stops where a tab starts, the tool travels
// over the tab to the next piece's start, and every piece becomes a sequence of its own,
// numbered as a pasted copy is and standing after the one before it in path order.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/Progress.h"
#include "model/ProgramDocument.h"
#include "model/UserPrompts.h"
#include "transform/PathCommands.h"
#include "transform/Transformer.h"

namespace veltrane {

inline constexpr const char* c_sAddTabsCaption = "Add Tabs";
inline constexpr const char* c_sAddTabsAllCaption = "Add Tabs to All";

struct TTabRequest {
  int32_t nCount = 4;     // tabs per path, when fSpacing is 0
  double fSpacing = 0.0;  // above 0: about one tab per this much path length, at least one
  double fLength = 2.0;   // each tab's length along the path
  bool bOnArcs = true;    // a tab may lie on an arc
};

// The dialog's texts read as a request: the count (a whole number of 1 or more) or the
// spacing and the length must be numbers above 0. False, with the reason in strWhy, when
// they are not.
bool TabRequestFromText(const std::string& strCountOrSpacing, bool bSpacing, const std::string& strLength,
                        bool bOnArcs, TTabRequest& Request, std::string& strWhy);

// What cutting one path at its tabs came to.
struct TTabCut {
  std::vector<TStringList> Pieces;  // each piece's body, in order along the path
  std::vector<double> TabStarts;    // where each tab starts along the path
  double fLoopLength = 0.0;         // the closed path's length, leads not counted
  bool bNotClosed = false;          // refused because there is no closed path
};

// A closed path as the tab placement sees it: its length, the positions of its corners
// and the stretches that are arcs, all measured along the path from its start.
struct TTabLoop {
  double fLength = 0.0;
  std::vector<double> Corners;
  std::vector<std::pair<double, double>> Arcs;
  // A lead-in or lead-out joins the path at its start: no tab may cover the start, and
  // the start counts as a corner.
  bool bFixedStart = false;
};

// A turn sharper than this between two moves is a corner.
inline constexpr double c_fTabCornerDegrees = 20.0;
// The shortest piece of cut left between two tabs.
inline constexpr double c_fMinTabPiece = 0.01;
// More tabs than this on one path is a mistake in the request.
inline constexpr int32_t c_nMaxTabsPerPath = 10000;

// Where the tabs start along the loop, ascending in 0..length; a tab may run on past the
// loop's end into its beginning when the start is free. Tabs are spread evenly by
// length, keep a tab length away from corners where they can, never lie on an arc when
// bOnArcs is false and leave some cut between each two. Empty, with the reason in
// strWhy, when they do not fit.
std::vector<double> PlaceTabs(const TTabLoop& Loop, const TTabRequest& Request, std::string& strWhy);

// Tabs on sequence n. Its body becomes the first piece; the other pieces follow it as
// new sequences. One undo step. Throws ETransformError for a line it cannot model.
TPathOutcome AddTabsToSequence(TProgramDocument& Doc, TTransformer& Transformer, int32_t nSequence,
                               const TTabRequest& Request);
// Tabs on every closed sequence, open ones passed over, as one undo step. The numbers of
// the closed sequences that could not take them are returned (after a warning for each);
// pTabbed receives how many sequences were cut. pProgress hears of each sequence; when the
// user cancels, ECancelled leaves the program as it was.
std::vector<int32_t> AddTabsToAll(TProgramDocument& Doc, TTransformer& Transformer, const TTabRequest& Request,
                                  IUserPrompts* pPrompts, int32_t* pTabbed = nullptr, IProgress* pProgress = nullptr);

}  // namespace veltrane
