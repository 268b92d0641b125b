#pragma once

#include <string>
#include <vector>

// Where the client keeps its data (logs, answers, documents).
constexpr const char* kMachineDataPath = "/var/lib/KIVO/Qorvane/Data";
constexpr const char* kUserDataSuffix = "KIVO/Qorvane/Data";
// The machine-wide product key and the value naming a chosen data folder.
constexpr const char* kProductRegistryKey = "Software\\KIVO\\QORVANE";
constexpr const char* kDataPathValue = "DataPath";
// Overrides every candidate; tests use it to keep their data to themselves.
constexpr const char* kDataPathOverride = "QORVANE_DATA_PATH";

// The candidates in order: the override when set (alone), the registered
// "DataPath", the machine-wide folder,
// the user's folder ($XDG_DATA_HOME, else ~/.local/share).
std::vector<std::string> DataPathCandidates();

// The first candidate that exists or can be created and is writable; empty
// when none is.
std::string ChooseDataPath();
