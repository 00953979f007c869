// The one program-wide record through which the windows pass state to each other.
#pragma once

#include "session/Modes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jet {
class Database;
}

namespace session {

struct ImportSession {
    std::string AppDir;            // program folder with its trailing separator
    std::int64_t AccountCount = 0; // records in Account.dat
    std::string AccountDir;        // AppDir + the chosen account's folder

    std::string FileTypeName; // "EMPLOYEE", "QUALIFIER", "PARTICIPANT", "RETIREE"
    int ModeCode = mode::kNone;
    int FormatSource = source::kCatalogue;
    int ToolbarOp = toolbar::kNone;

    // Labels of the saved format loaded last, from index 1; index 0 holds no label.
    std::vector<std::string> ChosenFields{std::string()};

    // The first and second line of the TAB file as verification read them (indexes 1 and 2).
    std::array<std::string, 3> RecordText;
    // One flag per structure position, from index 1: "N", "Y", "W" or "#".
    std::vector<std::string> DateFlags{std::string()};

    std::int64_t PlanCount = 0; // plans read from INSPLAN.DAT

    // The folder of the TAB file chosen last in this run, where the next Browse starts.
    std::string LastTabFolder;

    // The open import database, from its creation to the end of the run or the next Create.
    // The engine needs no separate workspace object: opening a database is the workspace's
    // only use.
    std::shared_ptr<jet::Database> ImportDatabase;

    // Backup catalogue browsing.
    std::int64_t SelectedBackupNumber = 0;
    std::string BackupGroup;

    void resetChosenFields() { ChosenFields.assign(1, std::string()); }
};

} // namespace session
