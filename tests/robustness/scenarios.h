// The operations that write, each on a small database that shows its
// paths: commits of every shape, Sort, Delete, the SmsButton.
#pragma once

#include <vector>

#include "tests/robustness/scenario.h"

namespace robust {

// Done after an edit, a re-keyed record moving to each place, a new record
// and duplicates (each with its expected records in chain order checked
// on a run without faults).
const std::vector<Scenario>& commitScenarios();
// Sort from no order and from one order to another, on the list and the form.
const std::vector<Scenario>& sortScenarios();
// Delete of the first, a middle, the last and the only record, and of one
// holding a column the form does not show.
const std::vector<Scenario>& deleteScenarios();

// The SmsButton storing a new remembered number, over an old one and as
// the first.
const std::vector<Scenario>& smsScenarios();
// Sort, a re-keying commit and Delete on the Contacts sample, a database
// of many sectors.
const std::vector<Scenario>& sampleScenarios();

// All of them.
std::vector<const Scenario*> allScenarios();

}  // namespace robust
