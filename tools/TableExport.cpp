// The table export.
#include "tools/TableExport.h"

#include "model/NumberFormat.h"
#include "model/Statements.h"
#include "model/Text.h"
#include "settings/VLTRegistry.h"

namespace veltrane {

TTableResult BuildTable(const TStringList& Program, TTableFields& F) {
  TTableResult r;
  int32_t nTableStart = 0, nFixLen = 0;
  try {
    nTableStart = StrToInt(F.strTableStart);
    if (F.bFixed) {
      nFixLen = StrToInt(F.strLength);
      if (nFixLen < 6) {
        nFixLen = 6;
        F.strLength = "6";
      }
    }
  } catch (const EConvertError& e) {
    r.strError = e.what();
    return r;
  }
  const bool bBasic = F.evFormat == ETableFormat::eBasic;
  const std::string strDiv = F.evFormat == ETableFormat::eCsv ? "," : ":";
  int64_t nNumber = 1;
  r.Lines.reserve(bBasic ? Program.size() + 1 : Program.size() * 3 + 1);
  for (size_t i = 0; i < Program.size(); ++i) {
    const std::string_view t = TrimView(Program[i]);
    std::vector<std::string> values;
    try {
      if (t.substr(0, 7) == "MOVEABS") {
        values = {F.strMaCode, StringFromDouble(GetPointValueX(t)), StringFromDouble(GetPointValueY(t))};
      } else if (t.substr(0, 8) == "MOVECIRC") {
        // The end point is read past the statement's word, the rest from the whole line.
        const std::string_view after = t.substr(7);
        values = {F.strMcCode,
                  StringFromDouble(GetPointValueX(after)),
                  StringFromDouble(GetPointValueY(after)),
                  StringFromDouble(GetPointValueX(t)),
                  StringFromDouble(GetPointValueY(t)),
                  std::to_string(GetCircleDir(t))};
      } else if (t.substr(0, 4) == "MOVE") {
        values = {F.strMoCode, StringFromDouble(GetPointValueX(t)), StringFromDouble(GetPointValueY(t))};
      } else {
        continue;
      }
    } catch (const EConvertError& e) {
      r.Lines.clear();
      r.nItems = 0;
      r.nErrorLine = static_cast<int32_t>(i);
      r.strError = "Line " + std::to_string(i) + " cannot be put in the table: " + e.what() + "\n" + Program[i];
      return r;
    }
    const int64_t n = nTableStart + nNumber;
    const size_t nEntries = F.bFixed ? static_cast<size_t>(nFixLen) : values.size();
    while (values.size() < nEntries) values.push_back("0");
    if (bBasic) {
      std::string s = "TABLE(" + std::to_string(n);
      for (const std::string& v : values) s += "," + v;
      r.Lines.push_back(s + ")");
    } else {
      for (size_t k = 0; k < values.size(); ++k) {
        std::string& line = r.Lines.emplace_back(std::to_string(n + static_cast<int64_t>(k)));
        line += strDiv;
        line += values[k];
      }
    }
    ++r.nItems;
    nNumber += static_cast<int64_t>(nEntries);
  }
  if (r.nItems > 0) {
    const std::string header =
        bBasic ? "TABLE(" + std::to_string(nTableStart) + "," + std::to_string(r.nItems) + ")'The all points number"
               : std::to_string(nTableStart) + strDiv + std::to_string(r.nItems);
    r.Lines.insert(r.Lines.begin(), header);
  }
  return r;
}

TTableFields ReadTableFields(TVLTRegistry& Reg) {
  // Fields never stored start as shutdown stores empty ones, so that the first build works.
  auto orDefault = [](std::string s, const char* d) { return s.empty() ? std::string(d) : s; };
  TTableFields f;
  f.strMoCode = orDefault(Reg.MO_Code(), "0");
  f.strMaCode = orDefault(Reg.MA_Code(), "1");
  f.strMcCode = orDefault(Reg.MC_Code(), "2");
  f.strTableStart = orDefault(Reg.TableStart(), "0");
  f.bFixed = Reg.DataStructure() != 1;
  const int32_t nFormat = Reg.FileFormat();
  f.evFormat = nFormat == 1 ? ETableFormat::eTableList : nFormat == 2 ? ETableFormat::eCsv : ETableFormat::eBasic;
  return f;
}

void WriteTableFields(TVLTRegistry& Reg, const TTableFields& f) {
  auto orDefault = [](const std::string& s, const char* d) { return s.empty() ? std::string(d) : s; };
  Reg.SetMO_Code(orDefault(f.strMoCode, "0"));
  Reg.SetMA_Code(orDefault(f.strMaCode, "1"));
  Reg.SetMC_Code(orDefault(f.strMcCode, "2"));
  Reg.SetTableStart(orDefault(f.strTableStart, "0"));
  Reg.SetDataStructure(f.bFixed ? 0 : 1);
  Reg.SetFileFormat(static_cast<int32_t>(f.evFormat));
}

TTableSaveDialog TableSaveDialog(ETableFormat evFormat) {
  switch (evFormat) {
    case ETableFormat::eBasic: return {"Basic program (*.bas)", "bas", "Save as Basic program"};
    case ETableFormat::eTableList: return {"Table List (*.lst)", "lst", "Save as Table list File"};
    case ETableFormat::eCsv: return {"CSV (*.csv)", "csv", "Save as CSV format File"};
  }
  return {};
}

}  // namespace veltrane
