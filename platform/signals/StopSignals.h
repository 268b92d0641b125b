#pragma once

#include <csignal>

// The requests to stop a program from outside: Ctrl+C (SIGINT) and a
// termination request (SIGTERM). They are blocked in every thread and read
// from a descriptor, so the program handles them in its own loop instead of
// in a signal handler.

// Blocks both signals for the calling thread and every thread it starts
// later; call first thing in main. Also ignores SIGPIPE: a peer that went
// away must never end the program.
void BlockStopSignals();

// A descriptor that becomes readable when a stop signal arrives; -1 on error.
int OpenStopSignalDescriptor();

// The signal number waiting on the descriptor (consumed), or 0.
int ReadStopSignal(int descriptor);
void CloseStopSignalDescriptor(int descriptor);

// True for Ctrl+C in the console (SIGINT), as against a termination request.
bool IsInterruptSignal(int signo);

// For a program that waits in one blocking call which a stop must cut short
// (a semaphore wait): SIGTERM, SIGINT and SIGHUP set the returned flag and
// interrupt that call (no automatic restart) instead of ending the program.
const volatile std::sig_atomic_t& CatchStopSignalsAsFlag();

// Waits for one stop signal and returns its number.
int WaitForStopSignal();
