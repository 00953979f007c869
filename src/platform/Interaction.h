// Every message box, input box, file dialog, pause, busy pointer and shell call of the program
// goes through this interface. The windows use the Qt implementation; tests use the scripted
// one, which answers from a script and keeps a transcript of what was shown.
//
// All texts are Windows-1252, like the rest of the program's strings.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
    std::string title; // empty: the program's title
    std::string text;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
};

struct FileDialogRequest {
    std::string title;
    std::string initialDir;   // host path
    std::string proposedName; // save dialogs: the name offered
    std::string filter;       // "Access Databases (*.mdb)|*.mdb"; empty: every file
};

// Result codes of the shell's open-a-document call, as the Windows shell reports them:
// above 32 is success.
namespace shell {
constexpr int kOutOfMemory = 0;
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kBadFormat = 11;
constexpr int kNoAssociation = 31;
constexpr int kSuccess = 42;
} // namespace shell

// A long task's window of progress, open while the object lives.
class Progress {
public:
    virtual ~Progress() = default;
    // Shows `done` of the total; false once the user has asked to stop the task.
    virtual bool advance(std::int64_t done) = 0;
    // Says what the task does now, for a last step that is not counted and cannot be cancelled.
    virtual void finishing(const std::string& text) = 0;
};

class UserInteraction {
public:
    virtual ~UserInteraction() = default;

    virtual Answer message(const MessageBoxRequest& request) = 0;

    // The text entered, or nullopt when the box was cancelled.
    virtual std::optional<std::string> inputBox(const std::string& title, const std::string& prompt,
                                                const std::string& initial) = 0;

    // One of a list of choices (a workbook's sheets), or nullopt when the box was cancelled.
    virtual std::optional<std::string> chooseItem(const std::string& title,
                                                  const std::string& prompt,
                                                  const std::vector<std::string>& items) = 0;

    // The chosen path, or nullopt when the dialog was cancelled.
    virtual std::optional<std::string> openFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> saveFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> chooseFolder(const FileDialogRequest& request) = 0;

    // Waits while the windows keep painting and answering.
    virtual void pause(int milliseconds) = 0;

    // Opens a window showing a task's progress towards `total` steps, with a way to cancel it.
    // The windows keep painting while the task advances it.
    virtual std::unique_ptr<Progress> showProgress(const std::string& title,
                                                   const std::string& text, std::int64_t total) = 0;

    // The hourglass pointer on or off.
    virtual void setBusy(bool busy) = 0;

    // Opens a document or address with its associated program; returns a shell result code.
    virtual int shellOpen(const std::string& document, const std::string& parameters,
                          const std::string& operation) = 0;

    // Starts a program from a command line in a normal window; false when it cannot start.
    virtual bool startProgram(const std::string& commandLine) = 0;

    // Shows a text file in a read-only viewer of the program's own, for documents no program
    // on the desktop opens.
    virtual void viewText(const std::string& title, const std::string& file) = 0;

    // Convenience for the common boxes.
    Answer critical(const std::string& title, const std::string& text) {
        return message({title, text, Icon::Critical, Buttons::Ok});
    }
    Answer information(const std::string& title, const std::string& text) {
        return message({title, text, Icon::Information, Buttons::Ok});
    }
    Answer question(const std::string& title, const std::string& text) {
        return message({title, text, Icon::Question, Buttons::YesNo});
    }
};

} // namespace platform
