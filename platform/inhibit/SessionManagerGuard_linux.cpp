#include "platform/inhibit/SessionManagerGuard.h"

#include <X11/ICE/ICElib.h>

namespace {

// Returning lets the caller see the error and close the connection.
void KeepRunning(IceConn) {}

}  // namespace

void InstallSessionManagerErrorHandler() { IceSetIOErrorHandler(KeepRunning); }
