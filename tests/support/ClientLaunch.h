#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

// Starts the built client the way the GUI tests need it: its own channel
// port and data, registry and runtime folders under dir (so that it meets no
// client someone else runs), software rendering, and `extra` environment on
// top. true once it logged that it is up.
// programDir runs the client of another program folder (ProgramFolderWith).
bool StartClient(ChildProcess& client, const TempDir& dir, int channelPort,
                 const std::map<std::string, std::string>& extra = {},
                 const std::vector<std::string>& args = {}, const std::string& programDir = "");

// A program folder under dir whose client reads this versionSetting.ini: the
// built program hard-linked into it (a program finds its files beside
// itself), every other file of the build's program folder linked. "" when
// it cannot be made.
std::string ProgramFolderWith(const TempDir& dir, const std::string& versionSetting);

// The Office container stand-in's folder (never the program folder: the
// build puts the container we ship there).
constexpr const char* kStandinDirName = "standins";
std::string StandinDir();

// A program folder under dir like the build's, except that its Office
// container is the stand-in (under every name the client may look for), and
// its versionSetting.ini holds versionSetting when that is not empty.
std::string ProgramFolderWithStandinContainer(const TempDir& dir,
                                              const std::string& versionSetting = "");

// The same, run as another user (the tests must run as root): the folders
// under dir become that user's, and setpriv drops to its ids and groups.
bool StartClientAs(const std::string& user, ChildProcess& client, const TempDir& dir,
                   int channelPort, const std::map<std::string, std::string>& extra = {});

// How long a client may take to come up on a loaded machine.
constexpr int kClientStartMs = 20000;
