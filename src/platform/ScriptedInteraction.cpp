#include "platform/ScriptedInteraction.h"

#include <utility>

namespace platform {

std::vector<ScriptedInteraction::Entry> ScriptedInteraction::messages() const {
    std::vector<Entry> out;
    for (const auto& e : transcript_)
        if (e.kind == Kind::Message)
            out.push_back(e);
    return out;
}

Answer ScriptedInteraction::message(const MessageBoxRequest& request) {
    transcript_.push_back(
        {Kind::Message, request.title, request.text, request.icon, request.buttons, {}});
    if (onMessage)
        onMessage(transcript_.back());
    if (!answers_.empty()) {
        Answer a = answers_.front();
        answers_.pop_front();
        return a;
    }
    if (request.buttons == Buttons::Ok)
        return Answer::Ok;
    ++unscripted_;
    return request.buttons == Buttons::OkCancel ? Answer::Cancel : Answer::No;
}

std::optional<std::string> ScriptedInteraction::inputBox(const std::string& title,
                                                         const std::string& prompt,
                                                         const std::string& initial) {
    transcript_.push_back({Kind::Input, title, prompt, Icon::None, Buttons::OkCancel, initial});
    return next(inputs_);
}

std::optional<std::string> ScriptedInteraction::chooseItem(const std::string& title,
                                                           const std::string& prompt,
                                                           const std::vector<std::string>& items) {
    std::string listed;
    for (const auto& item : items)
        listed += item + "\n";
    transcript_.push_back({Kind::Choice, title, prompt, Icon::None, Buttons::OkCancel, listed});
    return next(inputs_);
}

std::optional<std::string>
ScriptedInteraction::next(std::deque<std::optional<std::string>>& queue) {
    if (queue.empty()) {
        ++unscripted_;
        return std::nullopt;
    }
    auto answer = queue.front();
    queue.pop_front();
    return answer;
}

std::optional<std::string> ScriptedInteraction::nextFile(Kind kind,
                                                         const FileDialogRequest& request) {
    transcript_.push_back({kind, request.title, request.proposedName, Icon::None, Buttons::OkCancel,
                           request.initialDir, request.filter});
    return next(files_);
}

std::optional<std::string> ScriptedInteraction::openFile(const FileDialogRequest& request) {
    return nextFile(Kind::OpenFile, request);
}

std::optional<std::string> ScriptedInteraction::saveFile(const FileDialogRequest& request) {
    return nextFile(Kind::SaveFile, request);
}

std::optional<std::string> ScriptedInteraction::chooseFolder(const FileDialogRequest& request) {
    return nextFile(Kind::Folder, request);
}

std::unique_ptr<Progress> ScriptedInteraction::showProgress(const std::string& title,
                                                            const std::string& text,
                                                            std::int64_t total) {
    class Scripted : public Progress {
    public:
        Scripted(std::int64_t& done, std::string& finishing, std::optional<std::int64_t> cancelAt)
            : done_(done), finishing_(finishing), cancelAt_(cancelAt) {}
        bool advance(std::int64_t done) override {
            done_ = done;
            return !cancelAt_ || done < *cancelAt_;
        }
        void finishing(const std::string& text) override { finishing_ = text; }

    private:
        std::int64_t& done_;
        std::string& finishing_;
        std::optional<std::int64_t> cancelAt_;
    };
    transcript_.push_back(
        {Kind::Progress, title, text, Icon::None, Buttons::Ok, std::to_string(total)});
    progressDone_ = 0;
    progressFinishing_.clear();
    return std::make_unique<Scripted>(progressDone_, progressFinishing_,
                                      std::exchange(cancelAt_, std::nullopt));
}

void ScriptedInteraction::pause(int milliseconds) {
    transcript_.push_back(
        {Kind::Pause, {}, {}, Icon::None, Buttons::Ok, std::to_string(milliseconds)});
}

void ScriptedInteraction::setBusy(bool busy) {
    busy_ = busy;
    transcript_.push_back({Kind::Busy, {}, {}, Icon::None, Buttons::Ok, busy ? "on" : "off"});
}

int ScriptedInteraction::shellOpen(const std::string& document, const std::string& parameters,
                                   const std::string& operation) {
    transcript_.push_back({Kind::Shell, operation, document, Icon::None, Buttons::Ok, parameters});
    if (shellResults_.empty())
        return shell::kSuccess;
    int code = shellResults_.front();
    shellResults_.pop_front();
    return code;
}

bool ScriptedInteraction::startProgram(const std::string& commandLine) {
    transcript_.push_back({Kind::Program, {}, commandLine, Icon::None, Buttons::Ok, {}});
    return programsStart_;
}

void ScriptedInteraction::viewText(const std::string& title, const std::string& file) {
    transcript_.push_back({Kind::ViewText, title, {}, Icon::None, Buttons::Ok, file});
}

} // namespace platform
