#include "wizard/WorkbookCopy.h"

#include "platform/Ansi.h"
#include "platform/HostPath.h"
#include "spreadsheet/Workbook.h"

#include <filesystem>

namespace wizard {
namespace {

constexpr const char* kNotReadTitle = "Spreadsheet Not Read";

} // namespace

// The user sees and names sheets in the program's Windows-1252, the workbook in UTF-8.
std::optional<std::string> chooseImportFile(session::ImportSession& session,
                                            platform::UserInteraction& ui,
                                            const std::string& title) {
    const std::string start = session.LastTabFolder.empty() ? "C:\\" : session.LastTabFolder;
    auto chosen = ui.openFile({title, start, "", kImportFileFilter});
    if (!chosen)
        return std::nullopt;
    std::string picked(ansi::trim(*chosen));
    session.LastTabFolder = hostpath::folderOf(picked);
    return picked;
}

std::optional<std::string> chooseSheet(const std::string& chosen, const WorkbookChoice& choice,
                                       platform::UserInteraction& ui) {
    const auto list = spreadsheet::listSheets(hostpath::resolve(chosen));
    if (!list.error.empty() || list.names.empty()) {
        ui.critical(kNotReadTitle, list.error.empty()
                                       ? "The workbook " + chosen + " has no sheet to import."
                                       : ansi::fromUtf8(list.error));
        return std::nullopt;
    }
    std::vector<std::string> shown;
    for (const auto& name : list.names)
        shown.push_back(ansi::fromUtf8(name));
    auto named = [&](const std::string& name) -> std::optional<std::string> {
        for (std::size_t i = 0; i < shown.size(); ++i)
            if (shown[i] == name)
                return list.names[i];
        return std::nullopt;
    };
    if (!choice.sheet.empty()) {
        if (auto name = named(choice.sheet))
            return name;
        ui.critical(kNotReadTitle,
                    "The workbook " + chosen + " has no sheet called '" + choice.sheet + "'.");
        return std::nullopt;
    }
    if (shown.size() == 1 || choice.firstSheetUnasked)
        return list.names.front();
    auto answer = ui.chooseItem("Choose the Sheet",
                                "The workbook " + chosen +
                                    " has more than one sheet.  Which sheet holds the records?",
                                shown);
    return answer ? named(*answer) : std::nullopt;
}

std::optional<std::string> tabFileFor(const std::string& chosen, platform::UserInteraction& ui,
                                      const WorkbookChoice& choice) {
    const auto source = hostpath::resolve(chosen);
    const auto kind = spreadsheet::kindOf(source);
    if (kind == spreadsheet::Kind::Text)
        return chosen;

    std::string sheet;
    if (kind != spreadsheet::Kind::Csv) {
        auto picked = chooseSheet(chosen, choice, ui);
        if (!picked)
            return std::nullopt;
        sheet = *picked;
    }
    const auto target = spreadsheet::tabCopyPath(source);
    const std::string targetName = hostpath::fromNative(target);
    std::error_code ec;
    if (choice.askBeforeReplacing && std::filesystem::exists(target, ec) &&
        ui.question("Replace File?", targetName +
                                         " already exists.  Do you want to replace it with a new "
                                         "TAB delimited copy of " +
                                         chosen + "?") != platform::Answer::Yes)
        return std::nullopt;

    ui.setBusy(true);
    const auto copied = spreadsheet::writeTabCopy(source, sheet, target);
    ui.setBusy(false);
    if (!copied.ok) {
        ui.critical(kNotReadTitle, ansi::fromUtf8(copied.error));
        return std::nullopt;
    }
    const std::string what = sheet.empty()
                                 ? "The file " + chosen
                                 : "The sheet '" + ansi::fromUtf8(sheet) + "' of " + chosen;
    ui.information("TAB Delimited File Written",
                   what + " was written as the TAB delimited file\n\n" + targetName + "\n\n(" +
                       std::to_string(copied.rows) +
                       " lines).  That file will be verified and imported.");
    return targetName;
}

} // namespace wizard
