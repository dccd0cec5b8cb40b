// tsq: makes, shows, checks, fills, exports and compacts Tessra database files.
#include <unistd.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/windows.h"
#include "tools/tsq/check.h"
#include "tools/tsq/compact.h"
#include "tools/tsq/console.h"
#include "tools/tsq/create.h"
#include "tools/tsq/dump.h"
#include "tools/tsq/export.h"
#include "tools/tsq/help.h"
#include "tools/tsq/import.h"
#include "tools/tsq/tsq_file.h"

namespace {

using tsq::Console;
using tsq::exitDone;
using tsq::exitFailure;
using tsq::exitProblems;

struct Arguments {
  std::vector<std::string> positional;
  bool force = false;
  bool json = false;
  bool help = false;
  std::optional<std::string> password;
};

std::optional<Arguments> parseArguments(int argc, char** argv) {
  Arguments args;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--force") {
      args.force = true;
    } else if (arg == "--json") {
      args.json = true;
    } else if (arg == "--help" || arg == "-h") {
      args.help = true;
    } else if (arg == "--password") {
      if (i + 1 >= argc) return std::nullopt;
      args.password = argv[++i];
    } else if (arg.rfind("--password=", 0) == 0) {
      args.password = arg.substr(11);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return std::nullopt;
    } else {
      args.positional.push_back(arg);
    }
  }
  return args;
}

int dump(Console& console, const std::string& path, bool json) {
  tsq::TsqFile file;
  bool inUse = false;
  ErrorCode code = tsq::openTsqFile(path, file, &inUse);
  DatabaseImage image;
  if (code == err::ok) code = tsq::imageFromFile(file, image);
  if (code != err::ok) return tsq::fail(console, path, tsq::openFailure(code, inUse));
  if (json) tsq::printDefinition(image, console.out);
  else tsq::printDatabase(image, console.out);
  return exitDone;
}

int check(Console& console, const std::string& path) {
  tsq::TsqFile file;
  bool inUse = false;
  ErrorCode code = tsq::openTsqFile(path, file, &inUse);
  if (code != err::ok) return tsq::fail(console, path, tsq::openFailure(code, inUse));
  std::vector<std::string> problems = tsq::checkFile(file);
  for (const std::string& problem : problems) console.out << path << ": " << problem << "\n";
  if (problems.empty()) console.out << path << ": sound\n";
  return problems.empty() ? exitDone : exitProblems;
}

int usage() {
  std::cerr << "tsq: bad command line; tsq --help explains it\n";
  return exitFailure;
}

int help(const std::string& command) {
  if (command.empty()) {
    std::cout << tsq::overviewHelp();
    return exitDone;
  }
  std::string_view page = tsq::commandHelp(command);
  if (page.empty()) return usage();
  std::cout << page;
  return exitDone;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<Arguments> args = parseArguments(argc, argv);
  if (!args) return usage();
  const std::vector<std::string>& operands = args->positional;
  if (args->help) return help(operands.empty() ? std::string() : operands[0]);
  if (operands.empty()) return usage();
  const std::string& command = operands[0];
  const std::size_t count = operands.size() - 1;
  if (command == "help" && count <= 1 && !args->force && !args->json) return help(count == 1 ? operands[1] : "");

  if (args->password) tsq::setPassword(platform::fromUtf8(*args->password));
  Console console{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1};
  const bool plain = !args->force && !args->json;
  if (command == "create" && count == 2 && !args->json) return tsq::createCommand(operands[1], operands[2], args->force, console);
  if (command == "dump" && count == 1 && !args->force) return dump(console, operands[1], args->json);
  if (command == "check" && count == 1 && plain) return check(console, operands[1]);
  if (command == "import" && count == 2 && plain) return tsq::importCommand(operands[1], operands[2], console);
  if (command == "export" && (count == 1 || count == 2) && !args->json)
    return tsq::exportCommand(operands[1], count == 2 ? operands[2] : std::string(), args->force, console);
  if (command == "compact" && count == 1 && plain) return tsq::compactCommand(operands[1], console);
  return usage();
}
