#pragma once

#include <signal.h>
#include <ucontext.h>

// Writes a minidump of the current process to path: header, system info,
// the crashing thread with its registers, the exception, the loaded modules
// (from /proc/self/maps), the memory around the stack pointer and the
// instruction pointer, and the process's status and maps. Safe to call from
// a signal handler: no allocation, no locks, only system calls. Replaces an
// existing file. Returns false when the file could not be created.
bool WriteCrashDump(const char* path, int signo, const siginfo_t* info, const ucontext_t* context);
