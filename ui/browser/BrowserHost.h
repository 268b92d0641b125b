#pragma once

#include <functional>

class IPageEngine;
class QUrl;
struct SitePolicy;

// The embedded web engine of the client, loaded only when the first page is
// shown: a client that idles in the tray runs no browser processes and holds
// neither the engine nor a graphics stack.
namespace BrowserHost {

// Before the application object exists: engine switches (no sandbox when
// running as root, where the engine's sandbox cannot start; software
// rendering).
void PrepareEngine();

// The engine, loaded on first use (GUI thread); null when its module is
// missing or broken (logged once).
IPageEngine* Engine();

// Whether the engine has been loaded, for the idle client's checks.
bool Started();

// The engine's (Chromium's) version, read from its module without starting
// it; empty when the module is missing.
const char* EngineVersion();

// The settings each page's site gets (GUI thread; set once at start-up).
// Without one every page runs with the engine's defaults.
void SetSitePolicy(std::function<SitePolicy(const QUrl&)> policy);
const std::function<SitePolicy(const QUrl&)>& CurrentSitePolicy();

}  // namespace BrowserHost
