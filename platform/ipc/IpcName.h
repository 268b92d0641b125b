#pragma once

#include <string>

// Object names are the platform's own: "Global\Name" is one object for the
// whole machine, a plain "Name" (or "Local\Name") belongs to the user who
// uses it, as the programs that share them with us expect. The POSIX names are:
//   "Global\Name" -> "/Name"
//   "Name"        -> "/Name.<uid>"
// Characters a POSIX name cannot hold ("/", "\") become "_". A prefix from
// kIpcPrefixEnvironment goes before the name so that tests (or a second
// installation) get objects of their own.
constexpr const char* kIpcPrefixEnvironment = "QORVANE_IPC_PREFIX";

std::string PosixIpcName(const std::string& name);
