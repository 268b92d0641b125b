#pragma once

#include <array>
#include <cstddef>
#include <string>

// The contract with the process that drives the recorder: the command line
// (mode, request id, file path), a shared block that receives "<id>|<result>"
// and a notify event, and a stop event that the driving process owns.
constexpr const char* kRecorderSharedMemoryName = "Global\\_MAP_SHARE_MEMORY_Recorder";
constexpr const char* kRecorderNotifyEventName = "Global\\_IPC_NOTIFY_EVENT_Recorder";
constexpr const char* kRecorderStopEventName = "QORVAEN_Recorder";
constexpr size_t kRecorderSharedMemorySize = 65536;
constexpr size_t kResultMessageSize = 40;
// Opens the recorder's log at this base path; by default its lines stay in
// memory.
constexpr const char* kRecorderLogEnvironment = "QORVANE_RECORDER_LOG";

// Decimal text like the C runtime's atoi: leading blanks, a sign, digits up
// to the first other character; 0 when there are none; clamped to int.
int ParseRequestId(const char* text);

// "<id>|<result>" with its terminator and zero padding, exactly as copied into
// the shared block.
std::array<char, kResultMessageSize> FormatResultMessage(int requestId, int result);

// One run of the recorder program; the exit code is always 0.
int RunRecorder(int argc, char** argv);
