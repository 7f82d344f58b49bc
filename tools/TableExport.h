// The table export: a program's moves as a flat table of numbers — for every move a code
// and its coordinates at consecutive table indices — written as BASIC TABLE statements,
// as a table list (index:value) or as CSV (index,value), each record taking a fixed
// number of entries or exactly as many as it has values.
#pragma once

#include <cstdint>
#include <string>

#include "model/Records.h"

namespace veltrane {

class TVLTRegistry;

enum class ETableFormat : int32_t { eBasic = 0, eTableList = 1, eCsv = 2 };

// The table page's fields as typed.
struct TTableFields {
  std::string strMoCode, strMaCode, strMcCode;  // codes for MOVE, MOVEABS, MOVECIRC
  std::string strTableStart = "0";
  bool bFixed = true;                // fixed data length, else flexible
  std::string strLength = "6";       // entries per record in fixed mode
  ETableFormat evFormat = ETableFormat::eBasic;
};

struct TTableResult {
  TStringList Lines;     // empty when the build stopped
  int32_t nItems = 0;    // records written
  std::string strError;  // why the build stopped; empty when it did not
  int32_t nErrorLine = -1;  // the program line that stopped it, -1 for a field
};

// Builds the table. A length below 6 is raised to 6 and Fields.strLength then reads "6".
// A field or a move line that cannot be read stops the build: no lines, the message and
// (for a line) its index.
TTableResult BuildTable(const TStringList& Program, TTableFields& Fields);

// The fields as the settings hold them at start-up, and as they are stored at shutdown
// (empty codes and start stored as "0", "1", "2" and "0").
TTableFields ReadTableFields(TVLTRegistry& Registry);
void WriteTableFields(TVLTRegistry& Registry, const TTableFields& Fields);

// The save dialog of an export in the format given: filter, default extension, title.
struct TTableSaveDialog {
  std::string strFilter, strExtension, strTitle;
};
TTableSaveDialog TableSaveDialog(ETableFormat evFormat);

inline constexpr const char* c_sNoCodeForSave = "No available code for save!";

}  // namespace veltrane
