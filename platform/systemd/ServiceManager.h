#pragma once

#include <string>

// The program's side of systemd: whether systemd started it, status
// messages to systemd, and the unit file that makes it a system service.

// true when systemd started the program and listens for its notifications.
bool StartedBySystemd();

// Sends one notification (lines of "KEY=value"); 1 when sent, 0 when there
// is nobody to send to, negative on error.
int NotifySystemd(const std::string& message);

// Where unit files are written: $QORVANE_UNIT_DIR when set (tests), else
// /etc/systemd/system.
std::string UnitDirectory();

// The systemctl program to run: $QORVANE_SYSTEMCTL when set (tests), else
// systemctl from the path.
std::string SystemctlProgram();

// The unit text for a notify-type service running program.
std::string UnitText(const std::string& name, const std::string& program);

// Writes <UnitDirectory>/<name>.service, then enables and starts it. An
// existing unit is left as it is. 1 on success or nothing to do, 0 on failure.
int InstallUnit(const std::string& name, const std::string& program);

// Stops (without waiting), disables and removes the unit. A missing unit is
// nothing to do. 1 on success, 0 on failure.
int UninstallUnit(const std::string& name);
