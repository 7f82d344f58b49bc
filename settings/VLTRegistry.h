// TVLTRegistry: typed access to the application's settings by value name and subkey,
// and one named getter and setter per setting. It keeps nothing between calls, so any
// number of short-lived instances may exist at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "settings/SettingsBackend.h"

namespace veltrane {

inline const std::string gc_sRegistryAppKey = "\\Software\\Harmark\\Veltrane";
inline const std::string gc_sRegistryLayerSubkey = "\\layer";

// Every setting that is not per layer: type, getter name, value name, subkey.
#define VELTRANE_SETTINGS(X)                                            \
  X(String, std::string, LoaderExeFile, "LoaderExe", "\\Loader")        \
  X(String, std::string, CommLinkType, "CommLink", "\\Loader")          \
  X(String, std::string, CommsParameters, "CommsParams", "\\Loader")    \
  X(Boolean, bool, LoadWhileRunning, "LoadWhileRunning", "\\Loader")    \
  X(String, std::string, LastDXFInFile, "LastFile", "\\DXF in")         \
  X(String, std::string, DXFInImportMatching, "ImportMatching", "\\DXF in") \
  X(Float, double, DXFInImportRelativeMatch, "ImportRelativeMatch", "\\DXF in") \
  X(Float, double, DXFInImportAbsoluteMatch, "ImportAbsoluteMatch", "\\DXF in") \
  X(Integer, int32_t, SplineMovesPerSection, "SplineMovesPerSection", "\\DXF in") \
  X(Boolean, bool, DXFInIncludePaperSpace, "IncludePaperSpace", "\\DXF in") \
  X(Integer, int32_t, DXFInConvertUnits, "ConvertUnits", "\\DXF in") \
  X(Boolean, bool, DXFInCutInnerFirst, "CutInnerFirst", "\\DXF in") \
  X(Boolean, bool, DXFInOptimiseTravel, "OptimiseTravel", "\\DXF in") \
  X(Boolean, bool, DXFInRemoveDuplicates, "RemoveDuplicates", "\\DXF in") \
  X(Boolean, bool, CheckCutOrder, "CheckCutOrder", "\\DXF in") \
  X(Float, double, DXFInArcTolerance, "ArcTolerance", "\\DXF in") \
  X(Boolean, bool, DXFInFitPolylines, "FitPolylines", "\\DXF in") \
  X(Boolean, bool, DXFInTextAsPaths, "TextAsPaths", "\\DXF in") \
  X(String, std::string, DXFInFontFolder, "FontFolder", "\\DXF in") \
  X(Integer, int32_t, TabsCount, "Count", "\\Tabs")                   \
  X(Float, double, TabsSpacing, "Spacing", "\\Tabs")                  \
  X(Boolean, bool, TabsBySpacing, "BySpacing", "\\Tabs")              \
  X(Float, double, TabsLength, "Length", "\\Tabs")                    \
  X(Boolean, bool, TabsOffArcs, "OffArcs", "\\Tabs")                  \
  X(String, std::string, LegacyEncoding, "LegacyEncoding", "\\Text")   \
  X(Boolean, bool, NewFilesLegacy, "NewFilesInLegacyEncoding", "\\Text") \
  X(Float, double, EstimateSpeed, "Speed", "\\Estimate")               \
  X(Float, double, EstimateAccel, "Accel", "\\Estimate")               \
  X(Float, double, EstimateDecel, "Decel", "\\Estimate")               \
  X(Float, double, EstimateTravelSpeed, "TravelSpeed", "\\Estimate")   \
  X(Float, double, EstimateBlendDegrees, "BlendAngle", "\\Estimate")   \
  X(Float, double, EstimatePierceTime, "PierceTime", "\\Estimate")     \
  X(Boolean, bool, EstimateShowTime, "ShowSequenceTime", "\\Estimate") \
  X(Boolean, bool, CheckMotion, "CheckMotion", "\\Estimate")           \
  X(Float, double, CheckMinCircleRadius, "MinCircleRadius", "\\Estimate") \
  X(String, std::string, LastListExportFile, "LastListExportFile", "")  \
  X(String, std::string, LastBasicFile, "LastBasicFile", "")            \
  X(Integer, int32_t, XAxis, "XAxis", "")                               \
  X(Integer, int32_t, YAxis, "YAxis", "")                               \
  X(Boolean, bool, EnableSpan, "EnableSpan", "")                        \
  X(Float, double, XspanLeft, "XspanLeft", "")                          \
  X(Float, double, XspanRight, "XspanRight", "")                        \
  X(Float, double, YspanTop, "YspanTop", "")                            \
  X(Float, double, YspanBottom, "YspanBottom", "")                      \
  X(String, std::string, MO_Code, "MO_Code", "")                        \
  X(String, std::string, MA_Code, "MA_Code", "")                        \
  X(String, std::string, MC_Code, "MC_Code", "")                        \
  X(String, std::string, TableStart, "TableStart", "")                  \
  X(Integer, int32_t, DataStructure, "DataStructure", "")               \
  X(Integer, int32_t, FileFormat, "FileFormat", "")                     \
  X(String, std::string, ProgramStartText, "ProgramStart", "")          \
  X(String, std::string, ProgramEndText, "ProgramEnd", "")              \
  X(Boolean, bool, LookAheadStartSequence, "LookAheadStartSequence", "") \
  X(Boolean, bool, LookAheadMove, "LookAheadMove", "")                  \
  X(Boolean, bool, LookAheadMoveCirc, "LookAheadMoveCirc", "")        \
  X(String, std::string, WindowPlacement, "Placement", "\\Window")

// The automatic code texts kept per layer (subkeys \layer0 to \layer5).
#define VELTRANE_LAYER_SETTINGS(X)          \
  X(LayerStartText, "LayerStart")           \
  X(LayerEndText, "LayerEnd")               \
  X(LayerEachText, "LayerEach")             \
  X(SequenceStartText, "SequenceStart")     \
  X(SequenceInitialText, "SequenceInitial") \
  X(SequenceEndText, "SequenceEnd")

class TVLTRegistry {
 public:
  static constexpr int c_nLayerSlots = 6;

  TVLTRegistry();  // the platform's store for the current user
  explicit TVLTRegistry(std::unique_ptr<ISettingsBackend> pBackend);

  // The key path of a subkey: the application key, then the subkey with one backslash.
  std::string KeyPath(const std::string& strSubKey) const;
  static std::string LayerSubkey(int nLayer);

  bool HasValue(const std::string& strName, const std::string& strSubKey = "");
  std::string ReadStringValue(const std::string& strName, const std::string& strSubKey = "");
  int32_t ReadIntegerValue(const std::string& strName, const std::string& strSubKey = "");
  double ReadFloatValue(const std::string& strName, const std::string& strSubKey = "");
  bool ReadBooleanValue(const std::string& strName, const std::string& strSubKey = "");
  void WriteStringValue(const std::string& strValue, const std::string& strName,
                        const std::string& strSubKey = "");
  void WriteIntegerValue(int32_t nValue, const std::string& strName, const std::string& strSubKey = "");
  void WriteFloatValue(double fValue, const std::string& strName, const std::string& strSubKey = "");
  void WriteBooleanValue(bool bValue, const std::string& strName, const std::string& strSubKey = "");
  void DeleteValue(const std::string& strName, const std::string& strSubKey = "");

#define VELTRANE_DECLARE_SETTING(Kind, Type, Name, ValueName, SubKey) \
  Type Name();                                                        \
  void Set##Name(const Type& Value);
  VELTRANE_SETTINGS(VELTRANE_DECLARE_SETTING)
#undef VELTRANE_DECLARE_SETTING

#define VELTRANE_DECLARE_LAYER_SETTING(Name, ValueName) \
  std::string Name(int nLayer);                         \
  void Set##Name(int nLayer, const std::string& Value); \
  void Delete##Name(int nLayer);
  VELTRANE_LAYER_SETTINGS(VELTRANE_DECLARE_LAYER_SETTING)
#undef VELTRANE_DECLARE_LAYER_SETTING

 private:
  std::unique_ptr<ISettingsBackend> m_pBackend;
  std::string m_strAppKey = gc_sRegistryAppKey;
};

}  // namespace veltrane
