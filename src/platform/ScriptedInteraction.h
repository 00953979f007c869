// The test implementation of UserInteraction: answers come from a script set up by the test,
// and everything shown is kept in a transcript the test can assert on.
#pragma once

#include "platform/Interaction.h"

#include <deque>
#include <functional>
#include <vector>

namespace platform {

class ScriptedInteraction : public UserInteraction {
public:
    enum class Kind {
        Message,
        Input,
        Choice,
        OpenFile,
        SaveFile,
        Folder,
        Pause,
        Busy,
        Shell,
        Program,
        ViewText,
        Progress
    };

    struct Entry {
        Kind kind;
        std::string title;
        std::string text; // message text, prompt, document or command line
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        std::string detail;      // dialog folder, input initial value, pause length, busy on/off
        std::string filter = {}; // file dialogs
    };

    // Answers used in order; when a queue is empty, a box gets OK (or No for a question), an
    // input box or dialog counts as cancelled, and the shell reports success.
    void queueAnswer(Answer answer) { answers_.push_back(answer); }
    void queueInput(std::optional<std::string> text) { inputs_.push_back(std::move(text)); }
    void queueFile(std::optional<std::string> path) { files_.push_back(std::move(path)); }
    void queueShellResult(int code) { shellResults_.push_back(code); }
    void setProgramsStart(bool start) { programsStart_ = start; }
    // The next progress window is cancelled when its task reaches `done` steps.
    void cancelProgressAt(std::int64_t done) { cancelAt_ = done; }

    // Called after a message box is recorded and before it returns, as if the user looked at
    // the screen while the box was up.
    std::function<void(const Entry&)> onMessage;

    const std::vector<Entry>& transcript() const { return transcript_; }
    std::vector<Entry> messages() const;
    int unscriptedAnswers() const { return unscripted_; }
    bool busy() const { return busy_; }
    // The steps the last progress window showed as done.
    std::int64_t progressDone() const { return progressDone_; }
    // What the last progress window said of its last step; empty when it had none.
    const std::string& progressFinishing() const { return progressFinishing_; }
    void clearTranscript() { transcript_.clear(); }

    Answer message(const MessageBoxRequest& request) override;
    std::optional<std::string> inputBox(const std::string& title, const std::string& prompt,
                                        const std::string& initial) override;
    // Answered from the input queue; the transcript's detail holds the items, one per line.
    std::optional<std::string> chooseItem(const std::string& title, const std::string& prompt,
                                          const std::vector<std::string>& items) override;
    std::optional<std::string> openFile(const FileDialogRequest& request) override;
    std::optional<std::string> saveFile(const FileDialogRequest& request) override;
    std::optional<std::string> chooseFolder(const FileDialogRequest& request) override;
    void pause(int milliseconds) override;
    // The transcript's detail holds the total.
    std::unique_ptr<Progress> showProgress(const std::string& title, const std::string& text,
                                           std::int64_t total) override;
    void setBusy(bool busy) override;
    int shellOpen(const std::string& document, const std::string& parameters,
                  const std::string& operation) override;
    bool startProgram(const std::string& commandLine) override;
    void viewText(const std::string& title, const std::string& file) override;

private:
    std::optional<std::string> nextFile(Kind kind, const FileDialogRequest& request);
    // The next scripted text of a queue; an empty queue counts as cancelled.
    std::optional<std::string> next(std::deque<std::optional<std::string>>& queue);

    std::deque<Answer> answers_;
    std::deque<std::optional<std::string>> inputs_;
    std::deque<std::optional<std::string>> files_;
    std::deque<int> shellResults_;
    bool programsStart_ = true;
    std::vector<Entry> transcript_;
    int unscripted_ = 0;
    bool busy_ = false;
    std::optional<std::int64_t> cancelAt_;
    std::int64_t progressDone_ = 0;
    std::string progressFinishing_;
};

} // namespace platform
