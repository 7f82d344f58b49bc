// What the commands of veltrane-cli share: how they report, read their inputs and write
// their outputs, and how each one joins the command line.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

#include "model/Progress.h"
#include "model/Records.h"
#include "model/WideText.h"
#include "tools/LookAhead.h"

namespace veltrane::cli {

// A command's work once its command line has been read; its exit status.
using TRun = std::function<int()>;

// Each command adds itself to the application: its name, help text and options, and
// the work to do when it is the one chosen. The help, each command's --help and the
// manual page are written from what the commands add here.
void AddImport(CLI::App& app, TRun& run);
void AddLayers(CLI::App& app, TRun& run);
void AddNormalise(CLI::App& app, TRun& run);
void AddExtents(CLI::App& app, TRun& run);
void AddPlot(CLI::App& app, TRun& run);
void AddTransform(CLI::App& app, TRun& run);
void AddCheck(CLI::App& app, TRun& run);
void AddStats(CLI::App& app, TRun& run);
void AddTable(CLI::App& app, TRun& run);

// Exit status 2 with the reason: the command line asks for something that cannot be.
int Usage(const std::string& strError);
// Exit status 1 with the reason.
int Fail(const std::string& strError);

// A program or drawing that cannot be read says why before any work starts.
bool CheckInput(const std::string& strFile, const char* strWhat);
// An output file must never replace the file the command reads; "-" is standard output.
bool CheckOutput(const std::string& strOut, const std::string& strInput);
// pForm, when given, learns whether the program was UTF-16 or UTF-32 (read as UTF-8).
bool ReadProgram(const std::string& strFile, TStringList& Lines, TWideText* pForm = nullptr);
// Lines to standard output (no name or "-") or atomically to the file; exit status.
// A program read from UTF-16 or UTF-32 is written back in that form.
int WriteLines(const std::string& strOut, const TStringList& Lines, int nExit = 0, const TWideText& Form = {});
// Text to standard output or atomically to the file; exit status.
int WriteText(const std::string& strOut, const std::string& strText);

TStringList SplitList(const std::string& s);
// "line,start,circle" or "none"; false for anything else.
bool ParseLookAhead(const std::string& strList, TLookAheadChoices& c);
TLookAheadChoices StoredLookAhead();
// The --look-ahead option, whose value wins over the stored choices when given.
CLI::Option* AddLookAheadOption(CLI::App* sub, std::string& strValue);
// The choices: the option's when given (false when it is not one), else the stored ones.
bool LookAheadChoices(const CLI::Option* opt, const std::string& strValue, TLookAheadChoices& c);

// The plotted axes: the stored choice, with Y moved off X as the main window does.
void ChooseAxes(int32_t& nX, int32_t& nY);
// The program's extents in two axes and its end point; false (said) when the program's
// numbers or positions lie beyond what a double holds.
bool ProgramExtents(const TStringList& Lines, int32_t nX, int32_t nY, TfRange& xr, TfRange& yr, TfPoint& end);
// False, after naming the line on standard error, when the program's positions grow
// beyond the range of numbers.
bool PositionsWithinRange(const TStringList& Lines);
// The same, for the line n a walk found already (-1: none).
bool NoLineBeyondRange(const TStringList& Lines, int32_t n);

// --progress: how far long work has come, on standard error, every tenth of the way.
class TTextProgress : public IProgress {
 public:
  bool Report(const std::string& strStage, double fDone) override;

 private:
  std::string m_strStage;
  int m_nTenth = -1;
};

// The manual page, written from the application's commands and options.
std::string ManualPage(const CLI::App& app, const std::string& strVersion);

}  // namespace veltrane::cli
