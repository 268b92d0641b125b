#include "foundation/LogWriter.h"

#include <cstdio>

#include "foundation/TextUtil.h"

int LogWriter::Format(Level level, const char* format, va_list args) {
    if (format == nullptr || format[0] == '\0') {
        return 0;
    }
    char message[kMessageBufferSize];
    vsnprintf(message, sizeof(message), format, args);
    return WriteMessage(level, message);
}

void LogWriter::AppendLine(std::string& out, const char* prefix, const std::string& message) {
    out += "[" + TimestampText() + "] ";
    out += prefix;
    out += message;
    if (out.empty() || out.back() != '\n') {
        out += '\n';
    }
}

#define QV_LOG_CALL(level)                          \
    va_list args;                                   \
    va_start(args, format);                         \
    const int result = Format(level, format, args); \
    va_end(args);                                   \
    return result

int LogWriter::Write(const char* format, ...) {
    QV_LOG_CALL(Level::Plain);
}

int LogWriter::Warning(const char* format, ...) {
    QV_LOG_CALL(Level::Warning);
}

int LogWriter::Error(const char* format, ...) {
    QV_LOG_CALL(Level::Error);
}

int LogWriter::Debug(const char* format, ...) {
    QV_LOG_CALL(Level::Debug);
}
