#pragma once

#include <string>
#include <vector>

// What the tests see of the stand-in Office container and the Office
// processes: its journal (QVOFFICE_STANDIN_JOURNAL, one line per event:
// "started PID", "saved PATH", "close-refused", "text TEXT"), command lines
// from /proc, and which processes run.
class ContainerJournal {
public:
    static constexpr int kWaitMs = 30000;

    // Starts the journal empty at that path.
    explicit ContainerJournal(std::string path);
    const std::string& Path() const { return m_path; }
    std::vector<std::string> Lines() const;
    // Waits for the count-th line starting with prefix; the whole line goes
    // to found.
    bool WaitLine(const std::string& prefix, std::string* found = nullptr, int timeoutMs = kWaitMs,
                  int count = 1) const;
    // The process id of the first "started PID" line (0 when none yet).
    int StartedPid() const;

private:
    std::string m_path;
};

// A process's arguments, read from /proc.
std::vector<std::string> CommandLineOf(int pid);
// The processes of that executable name.
std::vector<int> PidsOfProgram(const std::string& name);
// True once no process of that executable name but `except` runs.
bool WaitNoProcessNamed(const std::string& name, int except,
                        int timeoutMs = ContainerJournal::kWaitMs);
