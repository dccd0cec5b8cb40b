// tsq: makes, shows and checks Tessra database files.
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/windows.h"
#include "tools/tsq/check.h"
#include "tools/tsq/definition.h"
#include "tools/tsq/dump.h"
#include "tools/tsq/tsq_file.h"

namespace {

constexpr int exitSound = 0;
constexpr int exitProblems = 1;
constexpr int exitFailure = 2;

constexpr const char* helpText = R"(Usage:
  tsq create OUT.tsq DEF.json [--force]   build a database from a JSON definition
  tsq dump [--json] FILE.tsq              show header, layout and records
  tsq check FILE.tsq                      verify the record chain, entries and free space
  tsq --help                              show this text

Options:
  --force          create: replace OUT.tsq when it exists (otherwise refused)
  --json           dump: print the definition that `tsq create` turns back
                   into the same database
  --password PW    the password of a protected database; without it tsq asks
                   on the terminal

Exit status:
  0  done (check: the file is sound)
  1  check: problems found, one line each on standard output
  2  failure: bad command line, bad definition (the message names the item,
     record or key), or a file that cannot be read or written (the
     database's own message, e.g. "Error reading data", "Incorrect password")

The definition is a JSON object:
  headerText, password, mailSubject, mailRecipient (texts), readOnly (bool),
  backgroundColour ("#RRGGBB" or null),
  items: [ { kind: Label|Field|CheckBox|PickList|Calculated|GoToButton|
                   SearchButton|SmsButton,
             caption, valueType: Integer|Number|Currency|Date|Time|Text|YesNo,
             fieldId, colour, row, left, width,
             numericInput (Field), choices (PickList),
             expression e.g. "[Qty] * [Price] - 1.5", decimalPlaces (Calculated),
             target (GoToButton),
             criteria: [ { item, operator: = <> < > <= >= contains, value } ],
             matchAll (SearchButton), phoneItem, messageItem (SmsButton) } ],
  sortItem, records: [ { "Caption": value, ... } ]
Items are referred to by caption or by index ("#3" in records and
expressions). Defaults: fieldIds 1, 2, 3... for Field, CheckBox and PickList
(65535 for the others), each item on the next row, left 0, width -1 (to the
right edge), CheckBox YesNo, PickList Text, Calculated Number with 2
decimals. Values: Integer and numbers as JSON numbers, Text as strings,
YesNo true/false, Date "YYYY-MM-DD", Time "HH:MM:SS"; a missing key is the
empty value, which is not stored.

What a caption cannot say, a dump keeps in extra keys: "#n" for item n,
"_flags" (a record's stored flags), "_extra" (entries that belong to no value
item, or a second entry for one), "_payloads" {"Caption": "hex"} (and
"payload" beside a criterion's or an extra entry's value) for the exact bytes
of a value whose plain form holds the same value but other bytes, such as a
date stored elsewhere with another day of week, {"payload": "hex"} for a value
no plain form holds, "expressionCode" for stored code without
an infix form, a criterion's "valueType" when its constant's type differs
from its item's, "reserved" for nonzero reserved header words, smsNumber and
smsMessage for the remembered SMS texts.
)";

struct Arguments {
  std::vector<std::string> positional;
  bool force = false;
  bool json = false;
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

int fail(const std::string& file, const std::string& message) {
  std::cerr << "tsq: " << file << ": " << message << "\n";
  return exitFailure;
}

int create(const std::string& out, const std::string& definitionPath, bool force) {
  std::ifstream in(definitionPath, std::ios::binary);
  if (!in) return fail(definitionPath, "cannot be read");
  std::stringstream text;
  text << in.rdbuf();
  tsq::Json definition;
  try {
    definition = tsq::Json::parse(text.str());
  } catch (const tsq::Json::parse_error& error) {
    return fail(definitionPath, error.what());
  }
  DatabaseImage image;
  std::string error;
  if (!tsq::imageFromDefinition(definition, image, error)) return fail(definitionPath, error);
  std::vector<std::uint8_t> bytes = encodeDatabase(image);

  std::u16string path = platform::fromUtf8(out);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, force ? CREATE_ALWAYS : CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD reason = GetLastError();
    if (reason == ERROR_FILE_EXISTS || reason == ERROR_ALREADY_EXISTS)
      return fail(out, "exists already (--force replaces it)");
    return fail(out, tsq::messageOf(err::writeData));
  }
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  ok = CloseHandle(file) && ok;
  if (!ok) {
    DeleteFileW(path.c_str());
    return fail(out, tsq::messageOf(err::writeData));
  }
  return exitSound;
}

int dump(const std::string& path, bool json) {
  tsq::TsqFile file;
  ErrorCode code = tsq::openTsqFile(path, file);
  DatabaseImage image;
  if (code == err::ok) code = tsq::imageFromFile(file, image);
  if (code != err::ok) return fail(path, tsq::messageOf(code));
  if (json) tsq::printDefinition(image, std::cout);
  else tsq::printDatabase(image, std::cout);
  return exitSound;
}

int check(const std::string& path) {
  tsq::TsqFile file;
  ErrorCode code = tsq::openTsqFile(path, file);
  if (code != err::ok) return fail(path, tsq::messageOf(code));
  std::vector<std::string> problems = tsq::checkFile(file);
  for (const std::string& problem : problems) std::cout << path << ": " << problem << "\n";
  if (problems.empty()) std::cout << path << ": sound\n";
  return problems.empty() ? exitSound : exitProblems;
}

int usage() {
  std::cerr << "tsq: bad command line; tsq --help explains it\n";
  return exitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h" || arg == "help") {
      std::cout << helpText;
      return exitSound;
    }
  }
  std::optional<Arguments> args = parseArguments(argc, argv);
  if (!args || args->positional.empty()) return usage();
  if (args->password) tsq::setPassword(platform::fromUtf8(*args->password));
  const std::string& command = args->positional[0];
  std::size_t operands = args->positional.size() - 1;
  if (command == "create" && operands == 2 && !args->json)
    return create(args->positional[1], args->positional[2], args->force);
  if (command == "dump" && operands == 1 && !args->force) return dump(args->positional[1], args->json);
  if (command == "check" && operands == 1 && !args->force && !args->json) return check(args->positional[1]);
  return usage();
}
