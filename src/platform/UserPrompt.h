#pragma once

#include <string>
#include <string_view>
#include <vector>

// What code below the user interface asks of the person in front of the program: a message, a
// yes/no(/cancel) question, a text answer, a file name. The application installs an
// implementation that shows dialogs; the default one (batch runs, tests) shows nothing, reports
// the message through the prompt tracer and returns the default answer.
//
// Every call carries the dictionary key of the text (what tests and traces identify it by) and
// the text to show, already translated and formatted by the caller.

namespace trv {

enum class MessageKind
{
    Information,
    Warning,
    Error,
};

enum class PromptAnswer
{
    Yes,
    No,
    Cancel,
};

struct FileChoiceRequest
{
    std::string key;              // dictionary key of the dialog's title
    std::string title;            // the title to show
    bool save = false;            // a file to write (true) or an existing file to read (false)
    std::string filter;           // e.g. "Text files (*.txt)|*.txt|All files (*.*)|*.*"
    std::string defaultPath;      // proposed file name, possibly with its folder
    std::string defaultExtension; // added to a typed name that has none (".ord")
    std::string initialFolder;    // where the dialog opens; empty: the current folder
    bool multiple = false;        // several existing files may be chosen (reading only)
};

class UserPrompt
{
  public:
    virtual ~UserPrompt() = default;

    virtual void ShowMessage(std::string_view key, std::string_view text, MessageKind kind) = 0;

    // A yes/no question, with a Cancel button when `withCancel` is set.
    virtual PromptAnswer AskQuestion(std::string_view key, std::string_view text, bool withCancel,
                                     PromptAnswer defaultAnswer) = 0;

    // `answer` holds the proposed text on entry and the given one on return; false when the
    // person cancelled (then `answer` is unchanged).
    virtual bool AskText(std::string_view key, std::string_view question, std::string& answer) = 0;

    // The chosen path, or false when none was chosen.
    virtual bool ChooseFile(const FileChoiceRequest& request, std::string& path) = 0;

    // The chosen paths (several when the request allows it), or false when none was chosen.
    // Without its own dialog for it, a prompt answers the one path ChooseFile gives.
    virtual bool ChooseFiles(const FileChoiceRequest& request, std::vector<std::string>& paths)
    {
        std::string path;
        paths.clear();
        if (!ChooseFile(request, path))
            return false;
        paths.push_back(path);
        return true;
    }
};

// Shows nothing: traces each message and question and returns the default answer (the proposed
// text; the proposed file, false when there is none).
class HeadlessUserPrompt : public UserPrompt
{
  public:
    void ShowMessage(std::string_view key, std::string_view text, MessageKind kind) override;
    PromptAnswer AskQuestion(std::string_view key, std::string_view text, bool withCancel,
                             PromptAnswer defaultAnswer) override;
    bool AskText(std::string_view key, std::string_view question, std::string& answer) override;
    bool ChooseFile(const FileChoiceRequest& request, std::string& path) override;
};

// The installed prompt (the headless one until another is installed).
UserPrompt& GetUserPrompt();

// Installs `prompt` (owned by the caller, alive until replaced) and returns the one it
// replaces; null puts the headless prompt back.
UserPrompt* InstallUserPrompt(UserPrompt* prompt);

// How the headless prompt reports what it would have shown. The trace log installs itself
// here (the platform layer sits below it); without a tracer the headless prompt is silent.
using PromptTracer = void (*)(const char* method, const std::string& text);
void SetPromptTracer(PromptTracer tracer);
// Traces a refusal of the platform layer through the same tracer (silent without one).
void TracePlatformMessage(const char* method, const std::string& text);

// Records every call and answers from queues given in advance (then the default); for tests.
// Installs itself for its lifetime.
class RecordingUserPrompt : public UserPrompt
{
  public:
    struct Call
    {
        std::string kind; // "message", "question", "text" or "file"
        std::string key;
        std::string text;
    };

    RecordingUserPrompt() : previous_(InstallUserPrompt(this)) {}
    ~RecordingUserPrompt() override { InstallUserPrompt(previous_); }
    RecordingUserPrompt(const RecordingUserPrompt&) = delete;
    RecordingUserPrompt& operator=(const RecordingUserPrompt&) = delete;

    std::vector<Call> calls;
    std::vector<PromptAnswer> questionAnswers; // taken from the front, one per question
    std::vector<std::string> textAnswers;      // one per text question
    std::vector<std::string> fileAnswers;      // one per file choice; "" means cancelled
    // One per choice of several files, before fileAnswers; an empty list means cancelled.
    std::vector<std::vector<std::string>> fileListAnswers;
    std::vector<FileChoiceRequest> fileRequests; // every file choice asked, in order

    void ShowMessage(std::string_view key, std::string_view text, MessageKind) override
    {
        calls.push_back({"message", std::string(key), std::string(text)});
    }

    PromptAnswer AskQuestion(std::string_view key, std::string_view text, bool,
                             PromptAnswer defaultAnswer) override
    {
        calls.push_back({"question", std::string(key), std::string(text)});
        if (questionAnswers.empty())
            return defaultAnswer;
        const PromptAnswer answer = questionAnswers.front();
        questionAnswers.erase(questionAnswers.begin());
        return answer;
    }

    bool AskText(std::string_view key, std::string_view question, std::string& answer) override
    {
        calls.push_back({"text", std::string(key), std::string(question)});
        if (textAnswers.empty())
            return true;
        answer = textAnswers.front();
        textAnswers.erase(textAnswers.begin());
        return true;
    }

    bool ChooseFile(const FileChoiceRequest& request, std::string& path) override
    {
        calls.push_back({"file", request.key, request.title});
        fileRequests.push_back(request);
        if (fileAnswers.empty()) {
            path = request.defaultPath;
            return !path.empty();
        }
        path = fileAnswers.front();
        fileAnswers.erase(fileAnswers.begin());
        return !path.empty();
    }

    bool ChooseFiles(const FileChoiceRequest& request, std::vector<std::string>& paths) override
    {
        if (fileListAnswers.empty())
            return UserPrompt::ChooseFiles(request, paths);
        calls.push_back({"file", request.key, request.title});
        fileRequests.push_back(request);
        paths = fileListAnswers.front();
        fileListAnswers.erase(fileListAnswers.begin());
        return !paths.empty();
    }

  private:
    UserPrompt* previous_;
};

} // namespace trv
