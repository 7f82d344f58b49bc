// The controller link: the link settings and their dialog's fields, the link file that
// names the communication link and the file to load, and the start of the separate
// loader program that does the transfer.
#pragma once

#include <string>
#include <vector>

#include "model/Records.h"

namespace veltrane {

class TVLTRegistry;

inline constexpr const char* c_sDefaultControllerHost = "192.168.0.250";
inline constexpr const char* c_sLinkFileHeader = "# Veltrane Load Link";
inline constexpr const char* kszFilePrefix = "VLT";
inline constexpr const char* c_sMustBeSaved = "Program must be saved before it can be loaded on a controller!";
inline constexpr const char* c_sNoCsvDownload = "Can not download the CSV format file to conntroller!";
// The table page sends the table file last saved: there must be one.
inline constexpr const char* c_sTableMustBeBuilt =
    "A table must be built first: press Apply on the Table List page, then Save File, and send it.";
inline constexpr const char* c_sTableMustBeSaved =
    "The table must be saved first: press Save File on the Table List page, then send it.";

// The dialog's fields.
struct TLinkFields {
  std::string strLoader;
  std::string strLinkType = "Serial";  // "Serial", "USB", "PCI", "Ethernet" or what was typed
  bool bLoadWhileRunning = false;
  std::string strPort = "1", strBaud = "9600", strDataBits = "7", strParity = "even", strStopBits = "2";
  std::string strUSBChannel = "0", strPCIBoard = "0";
  std::string strHost = c_sDefaultControllerHost, strTcpPort = "23";
};

// A parameter string read into the fields of its link type, and built from them.
void ParseLinkParameters(const std::string& strLinkType, const std::string& strParameters, TLinkFields& Fields);
std::string BuildLinkParameters(const TLinkFields& Fields);
// The parity's name for a stored letter, and the letter stored for a name.
std::string ParityName(char cLetter);

TLinkFields ReadLinkFields(TVLTRegistry& Registry);
void WriteLinkFields(TVLTRegistry& Registry, const TLinkFields& Fields);

// The link file's lines for the stored link and the file to load; bTable loads a table.
TStringList LinkFileLines(const std::string& strLinkType, const std::string& strParameters,
                          bool bLoadWhileRunning, bool bTable, const std::string& strFile);

// What sending came to; strMessage is the text to show, empty for none.
struct TSendOutcome {
  bool bStarted = false;
  std::string strMessage;
  std::string strLinkFile;  // the link file written, if any
};
// Sends strFile (the saved program, or the last exported table) through the configured
// loader. bCsv: the last table build wrote CSV, which no controller loads.
TSendOutcome SendToController(TVLTRegistry& Registry, const std::string& strFile, bool bTable, bool bCsv);

// Platform services: a new uniquely named empty file in the user's temporary folder whose
// name starts with the prefix (false when none can be made), and a program started with
// an argument vector, not waited for (false, with the reason, when it could not start).
bool CreateTempFile(const std::string& strPrefix, std::string& strPath);
bool StartDetachedProcess(const std::string& strExecutable, const std::vector<std::string>& Arguments,
                          std::string& strError);

}  // namespace veltrane
