#include "tools/standin/StandinSetup.h"

#include <cstdio>

int OpenJournalAndFaults(const CommandLine& args, const std::string& dataDir, Journal& journal,
                         FaultInjector& faults) {
    if (!journal.Open(args.Value("journal", dataDir + "/journal.jsonl"))) {
        std::fprintf(stderr, "cannot open the journal\n");
        return 1;
    }
    for (const std::string& rule : args.Values("fail")) {
        if (!faults.AddRule(rule)) {
            std::fprintf(stderr, "bad failure rule: %s\n", rule.c_str());
            return 2;
        }
    }
    return 0;
}
