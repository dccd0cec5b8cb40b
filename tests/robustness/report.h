// The generated tables: each test case writes its rows as a fragment,
// <build>/robustness/<table>/<test case>.md, and the robustness_tables test
// puts each table's fragments together under its heading.
#pragma once

#include <string>
#include <vector>

namespace robust {

// A markdown row from its cells.
std::string row(const std::vector<std::string>& cells);

// Writes the current test case's rows of a table, replacing what an
// earlier run of the case wrote.
void writeFragment(const std::string& table, const std::vector<std::string>& rows);

}  // namespace robust
