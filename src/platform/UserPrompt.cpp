#include "platform/UserPrompt.h"

#include <atomic>

namespace trv {

namespace {

std::atomic<PromptTracer> tracer{nullptr};
std::atomic<UserPrompt*> installed{nullptr};

HeadlessUserPrompt& Headless()
{
    static HeadlessUserPrompt headless;
    return headless;
}

void Report(const char* method, std::string_view key, std::string_view text)
{
    if (PromptTracer current = tracer.load())
        current(method, std::string(key) + ": " + std::string(text));
}

const char* AnswerWord(PromptAnswer answer)
{
    switch (answer) {
    case PromptAnswer::Yes:
        return "Yes";
    case PromptAnswer::No:
        return "No";
    case PromptAnswer::Cancel:
        return "Cancel";
    }
    return "?";
}

} // namespace

void HeadlessUserPrompt::ShowMessage(std::string_view key, std::string_view text, MessageKind)
{
    Report("UserPrompt::ShowMessage", key, text);
}

PromptAnswer HeadlessUserPrompt::AskQuestion(std::string_view key, std::string_view text, bool,
                                             PromptAnswer defaultAnswer)
{
    Report("UserPrompt::AskQuestion", key, std::string(text) + " -> " + AnswerWord(defaultAnswer));
    return defaultAnswer;
}

bool HeadlessUserPrompt::AskText(std::string_view key, std::string_view question,
                                 std::string& answer)
{
    Report("UserPrompt::AskText", key, std::string(question) + " -> " + answer);
    return true;
}

bool HeadlessUserPrompt::ChooseFile(const FileChoiceRequest& request, std::string& path)
{
    Report("UserPrompt::ChooseFile", request.key, request.title + " -> " + request.defaultPath);
    path = request.defaultPath;
    return !path.empty();
}

UserPrompt& GetUserPrompt()
{
    UserPrompt* prompt = installed.load();
    return prompt ? *prompt : Headless();
}

UserPrompt* InstallUserPrompt(UserPrompt* prompt)
{
    return installed.exchange(prompt);
}

void SetPromptTracer(PromptTracer newTracer)
{
    tracer.store(newTracer);
}

void TracePlatformMessage(const char* method, const std::string& text)
{
    if (PromptTracer current = tracer.load())
        current(method, text);
}

} // namespace trv
