#include "cli/Common.h"

#include <cmath>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "model/Statements.h"
#include "model/Text.h"
#include "model/TextFile.h"
#include "plot/Interpreter.h"
#include "tools/ProgramMotion.h"
#include "settings/VLTRegistry.h"

namespace veltrane::cli {

int Usage(const std::string& strError) {
  std::cerr << "veltrane-cli: " << strError << "\n"
            << "(veltrane-cli --help lists the commands; veltrane-cli COMMAND --help its options)\n";
  return 2;
}

int Fail(const std::string& strError) {
  std::cerr << "veltrane-cli: " << strError << "\n";
  return 1;
}

bool CheckInput(const std::string& strFile, const char* strWhat) {
  const std::string strProblem = InputFileProblem(strFile, strWhat);
  if (strProblem.empty()) return true;
  std::cerr << "veltrane-cli: " << strProblem << "\n";
  return false;
}

bool CheckOutput(const std::string& strOut, const std::string& strInput) {
  if (strOut.empty() || strOut == "-" || !SameFile(strOut, strInput)) return true;
  std::cerr << "veltrane-cli: " << strOut << " is the input file " << strInput
            << "; write the output to another file\n";
  return false;
}

bool ReadProgram(const std::string& strFile, TStringList& Lines, TWideText* pForm) {
  if (!CheckInput(strFile, "program")) return false;
  try {
    Lines = LoadLines(strFile, pForm);
    return true;
  } catch (const EFileError& e) {
    std::cerr << "veltrane-cli: " << e.what() << "\n";
    return false;
  }
}

int WriteLines(const std::string& strOut, const TStringList& Lines, int nExit, const TWideText& Form) {
  if (strOut.empty() || strOut == "-") {
    if (Form.Wide()) {
      // Wide text goes out whole, in its own form, its line ends included: Windows must
      // not turn the byte 10 of a wide character into two bytes.
#ifdef _WIN32
      const char* strEnd = "\r\n";
      std::cout.flush();
      const int nMode = _setmode(_fileno(stdout), _O_BINARY);
#else
      const char* strEnd = "\n";
#endif
      std::string text;
      for (const auto& l : Lines) text += l + strEnd;
      std::cout << Utf8ToWide(text, Form);
#ifdef _WIN32
      std::cout.flush();
      _setmode(_fileno(stdout), nMode);
#endif
      return nExit;
    }
    for (const auto& l : Lines) std::cout << l << "\n";
    return nExit;
  }
  try {
    SaveLines(strOut, Lines, "\r\n", Form);
  } catch (const EFileError& e) {
    return Fail(e.what());
  }
  return nExit;
}

int WriteText(const std::string& strOut, const std::string& strText) {
  if (strOut.empty() || strOut == "-") {
    std::cout << strText;
    return 0;
  }
  try {
    WriteFileAtomically(strOut, strText);
  } catch (const EFileError& e) {
    return Fail(e.what());
  }
  return 0;
}

TStringList SplitList(const std::string& s) {
  TStringList out;
  size_t from = 0;
  while (from <= s.size()) {
    size_t p = s.find(',', from);
    if (p == std::string::npos) p = s.size();
    out.push_back(s.substr(from, p - from));
    from = p + 1;
  }
  return out;
}

bool ParseLookAhead(const std::string& strList, TLookAheadChoices& c) {
  c = TLookAheadChoices{};
  for (const auto& w : SplitList(strList)) {
    if (w == "line")
      c.b_MOsp = true;
    else if (w == "start")
      c.b_MAsp = true;
    else if (w == "circle")
      c.b_MCsp = true;
    else if (w != "none" && !w.empty())
      return false;
  }
  return true;
}

TLookAheadChoices StoredLookAhead() {
  TVLTRegistry reg;
  TLookAheadChoices c;
  c.b_MOsp = reg.LookAheadMove();
  c.b_MAsp = reg.LookAheadStartSequence();
  c.b_MCsp = reg.LookAheadMoveCirc();
  return c;
}

CLI::Option* AddLookAheadOption(CLI::App* sub, std::string& strValue) {
  return sub->add_option("--look-ahead", strValue,
                         "the look-ahead forms to write: a list of line, start and circle, or none "
                         "(default: the stored choices)")
      ->type_name("LIST");
}

bool LookAheadChoices(const CLI::Option* opt, const std::string& strValue, TLookAheadChoices& c) {
  if (opt->count() == 0) {
    c = StoredLookAhead();
    return true;
  }
  return ParseLookAhead(strValue, c);
}

void ChooseAxes(int32_t& nX, int32_t& nY) {
  TVLTRegistry reg;
  nX = reg.XAxis();
  nY = reg.YAxis();
  if (nY == nX) nY = nX + 1;
}

bool ProgramExtents(const TStringList& Lines, int32_t nX, int32_t nY, TfRange& xr, TfRange& yr, TfPoint& end) {
  std::string strNumber;
  const int32_t n = FirstMoveOutOfRange(Lines, strNumber);
  if (n >= 0) {
    std::cerr << "veltrane-cli: line " << n + 1 << ": " << QuotedLine(strNumber) << " is beyond the range of numbers\n"
              << QuotedLine(Lines[static_cast<size_t>(n)]) << "\n";
    return false;
  }
  TInterpreter interp;
  interp.SetXAxisNumber(nX);
  interp.SetYAxisNumber(nY);
  interp.SetProgram(&Lines);
  interp.GetExtents(xr, yr);
  interp.GetEndPoint(end);
  for (double f : {xr.fFrom, xr.fTo, yr.fFrom, yr.fTo, end.fX, end.fY})
    if (!std::isfinite(f)) return PositionsWithinRange(Lines);
  return true;
}

bool PositionsWithinRange(const TStringList& Lines) { return NoLineBeyondRange(Lines, FirstLineBeyondRange(Lines)); }

bool NoLineBeyondRange(const TStringList& Lines, int32_t n) {
  if (n < 0) return true;
  std::cerr << "veltrane-cli: line " << n + 1 << ": the program's positions grow beyond the range of numbers\n"
            << QuotedLine(Lines[static_cast<size_t>(n)]) << "\n";
  return false;
}

bool TTextProgress::Report(const std::string& strStage, double fDone) {
  const int nTenth = static_cast<int>(fDone * 10 + 1e-9);
  if (strStage == m_strStage && nTenth == m_nTenth) return true;
  m_strStage = strStage;
  m_nTenth = nTenth;
  std::cerr << "veltrane-cli: " << nTenth * 10 << "% " << strStage << "\n";
  return true;
}

namespace {

// troff: a backslash is written \e, a line may not start with a dot or a quote, and a
// minus sign in an option name is \-.
std::string Troff(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else if ((c == '.' || c == '\'') && (i == 0 || s[i - 1] == '\n'))
      out += std::string("\\&") + c;
    else
      out += c;
  }
  return out;
}

std::string OptionLine(const CLI::Option* o) {
  std::string names = o->get_name(false, true);
  if (o->get_type_size() != 0 && !o->get_type_name().empty()) names += " " + o->get_type_name();
  return names;
}

// Hidden options and the help flag every command has are not listed.
bool Listed(const CLI::Option* o) { return !o->get_group().empty() && o->get_name(false, true) != "-h,--help"; }

void Options(std::string& out, const CLI::App* sub) {
  for (const CLI::Option* o : sub->get_options())
    if (Listed(o)) out += ".TP\n" + Troff(OptionLine(o)) + "\n" + Troff(o->get_description()) + "\n";
}

}  // namespace

std::string ManualPage(const CLI::App& app, const std::string& strVersion) {
  std::string out = ".TH VELTRANE-CLI 1 \"\" \"Veltrane " + strVersion + "\" \"User Commands\"\n";
  out += ".SH NAME\nveltrane-cli \\- convert DXF drawings into motion programs; transform, check and export programs\n";
  out += ".SH SYNOPSIS\n.B veltrane-cli\n.I COMMAND\n[\\fIOPTIONS\\fR] \\fIFILE\\fR\n";
  out += ".br\n.B veltrane-cli\n.I COMMAND\n\\-\\-help\n";
  out += ".SH DESCRIPTION\n" + Troff(app.get_description()) + "\n";
  out += ".SH COMMANDS\n";
  for (const CLI::App* sub : app.get_subcommands({})) {
    out += ".SS " + Troff(sub->get_name()) + "\n" + Troff(sub->get_description()) + "\n";
    Options(out, sub);
    for (const CLI::App* op : sub->get_subcommands({})) {
      out += ".TP\n.B " + Troff(op->get_name()) + "\n" + Troff(op->get_description()) + "\n";
      for (const CLI::Option* o : op->get_options())
        if (Listed(o))
          out += ".RS\n.TP\n" + Troff(OptionLine(o)) + "\n" + Troff(o->get_description()) + "\n.RE\n";
    }
  }
  out += ".SH EXIT STATUS\n.TP\n0\ndone\n.TP\n1\nnothing done (an error, named on standard error), or the check "
         "found something\n.TP\n2\nthe command line could not be read\n.TP\n3\npartly done: some sequences were "
         "refused, each named on standard error\n.PP\nStandard output or a file that cannot be written is always an "
         "error.\n";
  out += ".SH FILES\nSettings: \\fI$XDG_CONFIG_HOME/veltrane/settings.conf\\fR (default \\fI~/.config\\fR), or the "
         "file named by \\fBVELTRANE_SETTINGS\\fR; on Windows the registry.\n";
  out += ".SH SEE ALSO\n.BR veltrane (1),\nthe user guide in \\fI/usr/share/doc/veltrane/veltrane.html\\fR.\n";
  return out;
}

}  // namespace veltrane::cli
