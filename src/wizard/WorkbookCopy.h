// A workbook or comma-separated file chosen where a TAB file is expected: the TAB file a
// spreadsheet program would save from it is written beside it, and that file goes on to be
// verified and imported.
#pragma once

#include "platform/Interaction.h"
#include "session/ImportSession.h"

#include <optional>
#include <string>

namespace wizard {

// What the import file dialogs offer: TAB files first, then what a TAB file can be made from.
inline constexpr const char* kImportFileFilter =
    "Text files (*.txt)|*.txt|Spreadsheets (*.xlsx *.ods *.xls *.csv)|*.xlsx;*.ods;*.xls;*.csv|"
    "All files (*.*)|*.*";

// The file dialog for an import file, titled `title`: the first of a run starts at C:\ (the
// home folder where there is no C:), each later one where the last file was found, which the
// session keeps. The chosen path, trimmed; nullopt when the dialog was cancelled.
std::optional<std::string> chooseImportFile(session::ImportSession& session,
                                            platform::UserInteraction& ui,
                                            const std::string& title);

struct WorkbookChoice {
    std::string sheet;              // the sheet to copy; empty: ask when there are several
    bool askBeforeReplacing = true; // false: an earlier copy is replaced without a question
    bool firstSheetUnasked = false; // true: several sheets and none named take the first
};

// The sheet of a workbook to read, as the workbook names it (UTF-8): the one the choice names,
// the only one, or the one the user picks. Nullopt when there is none to read or the user
// declined; a message said why.
std::optional<std::string> chooseSheet(const std::string& chosen, const WorkbookChoice& choice,
                                       platform::UserInteraction& ui);

// The TAB file to go on with for the file the user chose (a host path): the file itself when it
// is no workbook, else the copy written beside it, after the user was told its name. Nullopt
// when the user declined a question or the copy could not be written; a message said why.
std::optional<std::string> tabFileFor(const std::string& chosen, platform::UserInteraction& ui,
                                      const WorkbookChoice& choice = {});

} // namespace wizard
