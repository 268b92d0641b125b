#pragma once

class QWebEngineProfile;

// The embedded web engine of the client, started only when the first page is
// shown: a client that idles in the tray runs no browser processes.
namespace BrowserHost {

// Before the application object exists: engine switches (no sandbox when
// running as root, where the engine's sandbox cannot start) and the shared
// graphics contexts the engine needs.
void PrepareEngine();

// The one profile of every embedded page, created on first use (GUI thread).
// Every download asked for in it is refused.
QWebEngineProfile* Profile();

// Whether Profile() has been called, for the idle client's checks.
bool Started();

}  // namespace BrowserHost
