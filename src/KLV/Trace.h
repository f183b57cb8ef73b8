#pragma once

#include <atomic>
#include <climits>
#include <string>

// The trace log: one text file, one line per message, written only when the "LOG" section of
// the configuration beside the program sets "Level" to 1 or more. Levels: 1 error,
// 2 information, 3 detail. Any thread may trace; lines never interleave.

// The one trace entry. `sourceFile` may carry folders (they are not written); `method` is
// "Class::Method" or a function name. The level is checked before the message is formatted.
// Buffered lines are held and written 1000 at a time (or ahead of the next unbuffered line,
// or when the program ends). Never fails towards the caller.
void WriteTrace(const char* sourceFile, int line, const char* method, int level, bool buffered,
                const char* format, ...) __attribute__((format(printf, 6, 7)));

namespace trv::detail {
// The highest level written; above every level until the log is set up (the first message
// sets it up).
extern std::atomic<int> traceCeiling;
} // namespace trv::detail

// False when a message of `level` would not be written: a hot path skips the call and its
// arguments.
inline bool TraceWanted(int level)
{
    return level <= trv::detail::traceCeiling.load(std::memory_order_relaxed);
}

// Traces from the calling source position, unbuffered.
#define TRV_TRACE(level, method, format, ...)                                                      \
    WriteTrace(__FILE_NAME__, __LINE__, (method), (level), false, format __VA_OPT__(, ) __VA_ARGS__)

// Formats and stores one line of already formatted text.
void WriteTraceLine(const char* sourceFile, int line, const char* method, int level, bool buffered,
                    const char* text);

// Sets the log up once per process (later calls do nothing): reads the "LOG" section of
// `iniPath` (the "config.ini" beside the program when empty), rotates the older logs and
// empties the current one. An instance started while another runs (`alreadyRunning`) writes
// its own log, its process id added to the name, and rotates nothing.
void InitTrace(bool alreadyRunning, const std::string& iniPath);

// Rotates the numbered logs of `folder`: *.09.log are deleted, *.08.log become *.09.log and so
// on down to .01; with the base name "Trace" or empty, the current log becomes its .01.log.
void RotateTraceFiles(const std::string& folder, const std::string& baseName);

namespace trv {

// The file lines are appended to; empty while the log is silent or not set up.
std::string GetTraceLogPath();

// Writes the buffered lines now (also done when the program ends).
void FlushTrace();

// Back to "never set up", pending lines dropped: the next message or InitTrace reads the
// configuration again. For tests.
void ResetTrace();

} // namespace trv
