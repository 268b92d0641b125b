#pragma once

#include "tools/platform/Installer.h"
#include "tools/standin/StandinServer.h"

// The update server: GET /module/QorvaneProductList.xml and the installer it
// names under /module/ (Range requests answered with 206 and the exact bytes).
void AddUpdateRoutes(StandinServer& server, const Installer& installer);
