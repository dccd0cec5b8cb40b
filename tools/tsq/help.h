// tsq's help: the overview of every command and the page of each.
#pragma once

#include <string_view>

namespace tsq {

// The overview: every command, the options and the exit statuses.
std::string_view overviewHelp();

// One command's page; empty for a name that is no command.
std::string_view commandHelp(std::string_view command);

}  // namespace tsq
