// kovareg: the command line to the registry hives (README "Defining a Kova",
// doc/hive-format.md).
#include <iostream>
#include <string>
#include <vector>

#include "tools/kovareg/reg_tool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  kova::kovareg::Options options;
  std::string error;
  if (!kova::kovareg::ParseArguments(args, &options, &error)) {
    std::cerr << "kovareg: ERROR: " << error << "\n\n" << kova::kovareg::UsageText();
    return 1;
  }
  return kova::kovareg::Run(options, std::cout, std::cerr);
}
