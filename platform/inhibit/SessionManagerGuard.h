#pragma once

// The desktop session manager speaks to the client over ICE. ICE's default
// reaction to a broken connection (the manager ended or crashed) is to end
// the whole process; this replaces it with dropping the connection, so the
// client and the answers it still holds stay alive. Idempotent.
void InstallSessionManagerErrorHandler();
