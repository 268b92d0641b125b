#pragma once

#include <string>

#include "tools/standin/CommandLine.h"
#include "tools/standin/FaultInjector.h"
#include "tools/standin/Journal.h"

// What every stand-in does before it serves: the journal (--journal, else
// <data>/journal.jsonl) and the failure rules (--fail, repeatable). Returns 0,
// or the exit status after saying what was wrong.
int OpenJournalAndFaults(const CommandLine& args, const std::string& dataDir, Journal& journal,
                         FaultInjector& faults);
