// The real dialogs: Qt message boxes, input boxes and file dialogs, and the desktop's shell.
#pragma once

#include "platform/Interaction.h"

class QWidget;

namespace ui {

// The window a dialog belongs to: the modal window open, else the window the user works in,
// else `owner`.
QWidget* dialogParent(QWidget* owner);

class QtInteraction : public platform::UserInteraction {
public:
    // programTitle: the caption of boxes that give none of their own.
    explicit QtInteraction(std::string programTitle) : programTitle_(std::move(programTitle)) {}

    // Dialogs are centred over this window (the main window), when set.
    void setOwner(QWidget* owner) { owner_ = owner; }

    platform::Answer message(const platform::MessageBoxRequest& request) override;
    std::optional<std::string> inputBox(const std::string& title, const std::string& prompt,
                                        const std::string& initial) override;
    std::optional<std::string> chooseItem(const std::string& title, const std::string& prompt,
                                          const std::vector<std::string>& items) override;
    std::optional<std::string> openFile(const platform::FileDialogRequest& request) override;
    std::optional<std::string> saveFile(const platform::FileDialogRequest& request) override;
    std::optional<std::string> chooseFolder(const platform::FileDialogRequest& request) override;
    void pause(int milliseconds) override;
    std::unique_ptr<platform::Progress>
    showProgress(const std::string& title, const std::string& text, std::int64_t total) override;
    void setBusy(bool busy) override;
    int shellOpen(const std::string& document, const std::string& parameters,
                  const std::string& operation) override;
    bool startProgram(const std::string& commandLine) override;
    void viewText(const std::string& title, const std::string& file) override;

private:
    QWidget* parentWidget() const;

    std::string programTitle_;
    QWidget* owner_ = nullptr;
    int busyDepth_ = 0;
};

} // namespace ui
