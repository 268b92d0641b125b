#pragma once

// The whole session service program: log, crash filter, host and job. Set
// the session source first (SetSessionProviderFactory) where logind is not
// the one to ask.
int RunServiceProgram(int argc, char** argv);
