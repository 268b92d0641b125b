#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

// What the two logs share: the client's synchronous log (ClientLog) and the
// service's and recorder's asynchronous one (CLog) write the same lines,
// "[<timestamp>] <level prefix><message>" ending in one newline, through the
// same printf-style calls. A log says its level prefixes and where a line goes.
class LogWriter {
public:
    // A message longer than this is cut.
    static constexpr size_t kMessageBufferSize = 10240;

    virtual ~LogWriter() = default;

    // Each returns the log's result for the line (0 written or queued, -1
    // dropped); an empty format writes nothing and returns 0.
    int Write(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int Warning(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int Error(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int Debug(const char* format, ...) __attribute__((format(printf, 2, 3)));

protected:
    enum class Level { Plain, Warning, Error, Debug };

    // Takes the formatted message of one call.
    virtual int WriteMessage(Level level, const std::string& message) = 0;

    // Appends "[<now>] <prefix><message>" and the newline it may lack. The
    // stamp is taken now: call it under the log's lock, so that lines stay in
    // time order.
    static void AppendLine(std::string& out, const char* prefix, const std::string& message);

private:
    int Format(Level level, const char* format, va_list args);
};
