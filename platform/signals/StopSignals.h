#pragma once

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

// Waits for one stop signal and returns its number.
int WaitForStopSignal();
