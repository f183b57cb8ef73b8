#include "platform/Process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace trv {

namespace {

constexpr int kIdleNice = 19;

int ExitCodeOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine)
{
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t index = 0; index < commandLine.size(); ++index) {
        const char character = commandLine[index];
        if (character == '"') {
            if (quoted && index + 1 < commandLine.size() && commandLine[index + 1] == '"') {
                current += '"';
                ++index;
            } else {
                quoted = !quoted;
            }
            inArgument = true;
            continue;
        }
        if (!quoted && (character == ' ' || character == '\t')) {
            if (inArgument)
                arguments.push_back(std::move(current));
            current.clear();
            inArgument = false;
            continue;
        }
        current += character;
        inArgument = true;
    }
    if (inArgument)
        arguments.push_back(std::move(current));
    return arguments;
}

int SpawnProcess(const std::vector<std::string>& arguments, const SpawnOptions& options)
{
    if (arguments.empty() || arguments.front().empty())
        return -1;
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.nullStandardStreams) {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t processId = -1;
    // glibc reports a program that cannot be executed as an error of the call itself.
    const int result =
        posix_spawnp(&processId, argv.front(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0)
        return -1;
    if (options.idlePriority)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(processId), kIdleNice);
    return processId;
}

bool WaitForProcess(int processId, int timeoutMilliseconds, int* exitCode)
{
    if (processId <= 0)
        return false;
    int status = 0;
    if (timeoutMilliseconds < 0) {
        pid_t ended;
        do
            ended = ::waitpid(processId, &status, 0);
        while (ended < 0 && errno == EINTR);
        if (ended != processId)
            return false;
        if (exitCode)
            *exitCode = ExitCodeOf(status);
        return true;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    for (;;) {
        const pid_t ended = ::waitpid(processId, &status, WNOHANG);
        if (ended == processId) {
            if (exitCode)
                *exitCode = ExitCodeOf(status);
            return true;
        }
        if (ended < 0 && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool CaptureProcessOutput(const std::vector<std::string>& arguments, std::string& output)
{
    output.clear();
    if (arguments.empty())
        return false;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return false;
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t processId = -1;
    const int result =
        posix_spawnp(&processId, argv.front(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (result != 0) {
        ::close(pipeEnds[0]);
        return false;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        output.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(pipeEnds[0]);
    int exitCode = -1;
    return WaitForProcess(processId, -1, &exitCode) && exitCode == 0;
}

void TerminateProcess(int processId)
{
    if (processId > 0)
        ::kill(processId, SIGKILL);
}

void ReleaseProcess(int processId)
{
    if (processId <= 0)
        return;
    std::thread([processId] {
        int status = 0;
        while (::waitpid(processId, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

} // namespace trv
