// normalise: each line through the line normaliser.
#include <iostream>
#include <memory>

#include "cli/Common.h"
#include "model/BasicParser.h"

namespace veltrane::cli {

void AddNormalise(CLI::App& app, TRun& run) {
  auto strFile = std::make_shared<std::string>();
  CLI::App* sub = app.add_subcommand("normalise", "Print each line of the program as the line normaliser writes it.");
  sub->alias("normalize");
  sub->add_option("program", *strFile, "the program")->required()->type_name("FILE");
  run = [strFile] {
    TStringList lines;
    TWideText form;
    if (!ReadProgram(*strFile, lines, &form)) return 1;
    TBASICParser parser;
    for (auto& l : lines) parser.ParseLine(l);
    return WriteLines("-", lines, 0, form);
  };
}

}  // namespace veltrane::cli
