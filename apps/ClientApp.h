#pragma once

// The client's start-up, message loop and exit. Returns the process status.
int RunClient(int argc, char** argv);
