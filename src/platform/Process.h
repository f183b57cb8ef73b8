#pragma once

#include <string>
#include <string_view>
#include <vector>

// Child processes: started with posix_spawn, identified by their process id (the handle the
// callers keep), waited on, ended.

namespace trv {

// The arguments of a command line: blanks separate them, double quotes group blanks into one
// argument and are removed ("" inside quotes is a literal quote).
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

struct SpawnOptions
{
    bool idlePriority = false;        // the lowest scheduling priority (nice 19)
    bool nullStandardStreams = false; // standard input and outputs on /dev/null
};

// Starts the program (arguments[0], searched on PATH when it holds no '/'). The process id, or
// -1 when the program cannot be started.
int SpawnProcess(const std::vector<std::string>& arguments, const SpawnOptions& options);

// Waits for the child to end: without limit when `timeoutMilliseconds` is negative. True when
// it ended (its exit status, or 128 + the signal that ended it, in `exitCode`).
bool WaitForProcess(int processId, int timeoutMilliseconds, int* exitCode = nullptr);

// Runs the program to its end with its standard output captured; true when it started and
// exited with status 0.
bool CaptureProcessOutput(const std::vector<std::string>& arguments, std::string& output);

// Ends the child at once.
void TerminateProcess(int processId);

// Nobody will wait for the child: it is reaped in the background when it ends.
void ReleaseProcess(int processId);

} // namespace trv
