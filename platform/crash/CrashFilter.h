#pragma once

// The handler of fatal signals (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT).
// On a crash it writes "Exception.dmp" beside the program in the minidump
// format, replacing an older dump, and ends the process with the signal
// number as its exit status.

// The signals the filter handles.
inline constexpr int kCrashSignals[] = {11 /*SIGSEGV*/, 7 /*SIGBUS*/, 4 /*SIGILL*/, 8 /*SIGFPE*/,
                                        6 /*SIGABRT*/};

// Installs the handlers for the calling process and gives the calling thread
// an alternate signal stack, so that a stack overflow still produces a dump.
// Returns false when the handlers could not be installed.
bool InstallCrashFilter();

// From now on, attempts in this process to replace the handlers of the crash
// signals (sigaction, signal) are accepted and ignored. Returns 1.
int LockCrashFilter();

// Gives the calling thread an alternate signal stack (each thread needs its
// own). Threads that may overflow their stack call this when they start.
bool PrepareCrashStack();

// The full path the dump is written to.
const char* CrashDumpPath();
