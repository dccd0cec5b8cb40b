#include "tools/tsq/help.h"

namespace tsq {
namespace {

constexpr std::string_view overview = R"(Usage:
  tsq create OUT.tsq DEF.json [--force]    build a database from a JSON definition
  tsq dump [--json] FILE.tsq               show header, layout and records
  tsq check FILE.tsq                       verify the record chain, entries and free space
  tsq import FILE.tsq DATA.csv             append the rows of a CSV file as records
  tsq export FILE.tsq [OUT.csv] [--force]  write the records as CSV (to standard output
                                           without OUT.csv)
  tsq compact FILE.tsq                     give the free space of the data area back
  tsq help COMMAND, tsq COMMAND --help     explain one command
  tsq --help                               show this text

Options:
  --force          create, export: replace the output file when it exists
                   (otherwise refused)
  --json           dump: print the definition that `tsq create` turns back
                   into the same database
  --password PW    the password of a protected database; without it tsq asks
                   on the terminal

Exit status:
  0  done (check: the file is sound)
  1  problems found, one line each: check's problems in the file; import's
     cells that do not convert; import and compact refusing a database that
     is not sound. Nothing is changed.
  2  failure: bad command line, bad definition (the message names the item,
     record or key), a file that is in use (open in Tessra), cannot be read
     or written (the database's own message, e.g. "Error reading data",
     "Incorrect password"). Nothing is changed.

tsq help create describes the JSON definition.

import and compact change a database all or nothing: they write a copy
beside it and put the copy in its place only once it is complete. While
they work, the database is held as Tessra holds an open database, and one
that Tessra has open is refused.
)";

constexpr std::string_view create = R"(Usage: tsq create OUT.tsq DEF.json [--force]

Builds a database from a JSON definition. OUT.tsq is not replaced unless
--force is given. The records are stored in the order Tessra keeps them (by
the sort item, records with equal values in the definition's order), so the
file passes tsq check.

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

constexpr std::string_view dump = R"(Usage: tsq dump [--json] FILE.tsq [--password PW]

Shows the header, the layout and the records of a database for a person;
with --json prints the definition that tsq create turns back into the same
file (see tsq help create for its keys).
)";

constexpr std::string_view check = R"(Usage: tsq check FILE.tsq [--password PW]

Verifies the data area: the record chain (it walks, holds recordCount
records and is in the order of the sort item), every record's field
entries, the free list and the remembered SMS texts, and that no two blocks
overlap. Prints "FILE.tsq: sound" and exits with 0, or one line per problem
and exits with 1.
)";

constexpr std::string_view import = R"(Usage: tsq import FILE.tsq DATA.csv [--password PW]

Appends one record per row of DATA.csv. The records take their places in the
order of the sort item (after the records with equal values, in the order of
the rows), or go to the end when there is no sort order.

The CSV (RFC 4180): fields separated by commas, rows ended by CRLF or LF,
quoted fields may hold commas, line breaks and quotes (doubled); UTF-8, with
or without a byte-order mark; empty lines are skipped. The first row names
the columns by the captions of value items (Field, CheckBox, PickList), or
as #n for item n. A value item without a column is empty; an empty cell is
an empty value.

Cells are read as a value is typed into Tessra, with '.' as the decimal
separator:
  Integer           digits, an optional leading '-' (leading spaces allowed)
  Number            the same with at most one '.'
  Currency          the same with at most two digits after the '.'
  YesNo             1 or 0, yes or no, true or false, y or n, t or f (any case)
  Date              YYYY-MM-DD
  Time              HH:MM or HH:MM:SS
  Text, PickList    the text as it stands, at most 258 characters

A column that names no value item, a cell that does not convert, a cell
outside the named columns and CSV that is not well formed are reported with
their line and column, and nothing is imported (exit status 1). The
database must be sound (tsq check). On a terminal, a long import shows its
progress.
)";

constexpr std::string_view exportPage = R"(Usage: tsq export FILE.tsq [OUT.csv] [--force] [--password PW]

Writes every record in the order of the file as a CSV row: one column per
value item, under a header row of their captions (#n where a caption does
not name one item alone), values in the forms tsq import reads (YesNo as 1
or 0, dates as YYYY-MM-DD, times as HH:MM:SS, numbers as their shortest
exact decimal). Without OUT.csv the CSV goes to standard output; an existing
OUT.csv is replaced only with --force. A value no cell holds exactly (a
Currency with more than two decimals, a Number that is no number) is
written as near as it can be and reported on standard error.

Importing the CSV into an empty copy of the database gives the same records.
)";

constexpr std::string_view compact = R"(Usage: tsq compact FILE.tsq [--password PW]

Rewrites the data area without free space: the records one after the other
in their order, with their values and flags, the sort item and the
remembered SMS texts; the header and the layout stay byte for byte. Reports
the bytes saved. Refuses a database that is open in Tessra, and one that is
not sound (tsq check).
)";

constexpr std::string_view help = R"(Usage: tsq help [COMMAND]

Explains one command, or with no command all of them (as tsq --help).
)";

}  // namespace

std::string_view overviewHelp() { return overview; }

std::string_view commandHelp(std::string_view command) {
  if (command == "create") return create;
  if (command == "dump") return dump;
  if (command == "check") return check;
  if (command == "import") return import;
  if (command == "export") return exportPage;
  if (command == "compact") return compact;
  if (command == "help") return help;
  return {};
}

}  // namespace tsq
