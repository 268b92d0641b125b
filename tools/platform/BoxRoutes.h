#pragma once

#include <string>

#include "tools/platform/ReceivedFiles.h"
#include "tools/standin/StandinServer.h"

// A cache appliance ("box"): takes exam answers at
// POST /a.tundrelcgi?cmd=submmit_exam_answer, keeps them and answers
// [{"isSuccess":"<reply>"}] with the reply configured for this box.
void AddBoxRoutes(StandinServer& server, const std::string& reply, ReceivedFiles& files);
