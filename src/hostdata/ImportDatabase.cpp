#include "hostdata/ImportDatabase.h"

#include "hostdata/ImportTarget.h"
#include "hostdata/Transfer.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "platform/Ansi.h"
#include "platform/AtomicFile.h"
#include "platform/HostPath.h"

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace hostdata {
namespace {

constexpr const char* kSaveTitle = "Save Import File For Brandmoor";
constexpr const char* kProposedName = "Brandmoor-ImportFile1.mdb";
constexpr const char* kSaveFilter = "Access Databases (*.mdb)|*.mdb";

constexpr const char* kTemplateNameTitle = "Invalid File Name";
constexpr const char* kTemplateNameText =
    "You may not call the database Import file the same as the template.  This would distroy "
    "the template and the ability to create new import files.";

constexpr const char* kReplaceTitle = "Replace Current File With New One?";
constexpr const char* kReplaceText = "This file already exists.  Do you wish to copy over it?";

constexpr const char* kInvalidTitle = "Invalid Database Structure";
constexpr const char* kInvalidText =
    "The database selected is not a valid database for this program.  The file needs to have "
    "the same structure as the BRANDMDB.MDB file found in the root directory.  The system "
    "cannot import information in any other database structures.  The Import Procedure is "
    "terminated.";

constexpr const char* kNotCreatedTitle = "Import File Not Created";

// The tables and columns the import writes: the eight it empties, with the columns of the
// company and plan transfer and of the person, dependant and plan rows of the import run.
struct RequiredTable {
    const char* name;
    std::initializer_list<const char*> columns;
};
const RequiredTable kRequired[] = {
    {"Active_Employees",
     {"Employee_ID", "Last_Name", "First_Name", "Middle_Initial", "Address", "Address_Overflow",
      "City_State_ZIP", "Gender", "Social", "EmployeeDOB", "Hire_Date", "Benefit_Start_Date",
      "Initial_Notification_Date"}},
    {"Dependent_Information",
     {"Employee_ID",        "Last_Name",          "First_Name",         "SOCIAL",
      "Spouse_Name",        "Spouse_Social",      "Spouse_Birth_Date",  "Child_1_Name",
      "Child_1_Social",     "Child_1_Birth_Date", "Child_2_Name",       "Child_2_Social",
      "Child_2_Birth_Date", "Child_3_Name",       "Child_3_Social",     "Child_3_Birth_Date",
      "Child_4_Name",       "Child_4_Social",     "Child_4_Birth_Date", "Child_5_Name",
      "Child_5_Social",     "Child_5_Birth_Date", "Child_6_Name",       "Child_6_Social",
      "Child_6_Birth_Date"}},
    {"Member_Insurance_Plan",
     {"Employee_ID", "Last_Name", "First_Name", "SOCIAL", "Medical_Plan_Name",
      "Medical_Coverage_Type", "Dental_Plan_Name", "Dental_Coverage_Type", "Other_1_Plan_Name",
      "Other_1_Coverage_Type", "Other_2_Plan_Name", "Other_2_Coverage_Type", "Other_3_Plan_Name",
      "Other_3_Coverage_Type", "Medical_FSA_Premium"}},
    {"Insurance_Companies",
     {"Insurance_Company_Name",
      "ADDRESS",
      "City_State_Zip",
      "Phone",
      "Insurer_ID",
      "Term_Regs",
      "Open_Enrollment",
      "Conversion",
      "ACTIVE",
      "Plan_Type",
      "Dependent_Term",
      "Student_Term",
      "Tier_Structure",
      "Effective_Date",
      "Completion_Date",
      "Single_Rate",
      "Two_Party_Rate",
      "EE_Child_Rate",
      "Family_Rate",
      "Old_Tier_Structure",
      "Old_Effective_Date",
      "Old_Completion_Date",
      "Old_Single_Rate",
      "Old_Two_Party_Rate",
      "Old_EE_Child_Rate",
      "Old_Family_Rate"}},
    {"Payments", {}},
    {"Rates", {"Insurer_ID", "Effective_Date", "Completion_Date", "Structure_Name", "Rate"}},
    {"Qualifier_Information",
     {"Employee_ID",
      "Last_Name",
      "First_Name",
      "Middle_Initial",
      "Address",
      "Address_Overflow",
      "City_State_ZIP",
      "Gender",
      "Social",
      "Date_of_Birth",
      "Hire_Date",
      "Benefits_Start_Date",
      "Initial_Notification_Date",
      "Qualifying_Event_Date",
      "COBRA_Reason",
      "Paid_Through_Date",
      "COBRA_Accepted",
      "Disabled(Y/N)",
      "Multiple_Qualifying_Event(Y/N)",
      "File_Type"}},
    {"Company_Information",
     {"Company_Name", "ADDRESS", "Address_Overflow", "City_State_Zip", "Administrator", "title",
      "COBRA_Admin_Fee", "Disabled_Admin_Fee"}},
};

std::string withoutTrailingSeparator(const std::string& dir) {
    if (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/'))
        return dir.substr(0, dir.size() - 1);
    return dir;
}

std::string_view fileNamePart(std::string_view path) {
    auto cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// True when path is the template's own file, under any name (a link, a path the file system
// reads as the same file).
bool isTemplateFile(const std::string& appDir, const std::string& path) {
    std::error_code ec;
    auto target = hostpath::resolve(path);
    auto source = hostpath::resolve(appDir + kTemplateName);
    return fs::exists(target, ec) && fs::exists(source, ec) && fs::equivalent(target, source, ec);
}

// Refused as the import file's name: the template's name in any letter case and any folder,
// or the template's own file.
bool namesTemplate(const std::string& appDir, const std::string& path) {
    return hostpath::sameName(ansi::trim(fileNamePart(ansi::trim(path))), kTemplateName) ||
           isTemplateFile(appDir, path);
}

void refuseTemplateName(platform::UserInteraction& ui) {
    ui.critical(kTemplateNameTitle, kTemplateNameText);
}

// Copies the template to the partial file; a failed copy leaves nothing behind.
bool copyTemplate(const std::string& appDir, const ImportDatabaseMade& made,
                  platform::UserInteraction& ui) {
    const std::string templatePath = appDir + kTemplateName;
    std::error_code ec;
    fs::copy_file(hostpath::resolve(templatePath), made.partial,
                  fs::copy_options::overwrite_existing, ec);
    // A template marked read-only must still give a copy the import can write.
    if (!ec)
        fs::permissions(made.partial, fs::perms::owner_write, fs::perm_options::add, ec);
    if (!ec)
        return true;
    std::error_code ignored;
    fs::remove(made.partial, ignored);
    ui.setBusy(false);
    ui.critical(kNotCreatedTitle, "The template database " + templatePath +
                                      " could not be copied to " + made.path + ".\n\n" +
                                      ansi::fromUtf8(ec.message()));
    return false;
}

void reportUnfinished(platform::UserInteraction& ui, const std::string& path,
                      const std::exception& e) {
    std::string where = "the import database";
    std::string cause = e.what();
    if (const auto* t = dynamic_cast<const TransferError*>(&e)) {
        where = t->where();
        cause = t->cause();
    }
    ui.setBusy(false);
    ui.critical(kNotCreatedTitle, "The import file " + path +
                                      " could not be completed.  The error arose in " + where +
                                      ":\n\n" + ansi::fromUtf8(cause) +
                                      "\n\nNo import database was made; no records will be "
                                      "imported.");
}

} // namespace

void CloseImportDatabase(std::shared_ptr<jet::Database>& database) {
    if (!database)
        return;
    try {
        if (database->IsOpen())
            database->Close();
    } catch (const std::exception&) {
        // The database is finished with; an error closing it changes nothing now.
    }
    database.reset();
}

std::string MissingImportStructure(jet::Database& db) {
    auto names = db.TableNames();
    for (const auto& table : kRequired) {
        auto wanted = jet::utf16(table.name);
        bool present = false;
        for (const auto& name : names)
            present = present || jet::sameName(name, wanted);
        if (!present)
            return "table '" + std::string(table.name) + "'";
        const jet::TableDef& def = db.GetTable(wanted).def();
        for (const char* column : table.columns)
            if (!def.findColumn(jet::utf16(column)))
                return "column '" + std::string(table.name) + "." + column + "'";
    }
    return {};
}

void EmptyImportTables(jet::Database& db) {
    for (const char* table : kEmptiedTables) {
        try {
            auto rs = db.OpenRecordset(table);
            if (rs.RecordCount() > 0) {
                rs.MoveFirst();
                while (!rs.Eof()) {
                    rs.Delete();
                    rs.MoveNext();
                }
            }
            rs.Close();
        } catch (const std::exception& e) {
            throw TransferError(table, e.what());
        }
    }
}

std::shared_ptr<jet::Database>
OpenImportDatabase(const std::string& appDir, platform::UserInteraction& ui, std::string& path) {
    std::shared_ptr<jet::Database> database;
    try {
        // The template is never opened for writing, whatever it is called.
        if (isTemplateFile(appDir, path))
            throw jet::Error(path + " is the template");
        database = std::make_shared<jet::Database>(
            jet::Database::OpenDatabase(hostpath::resolve(path), jet::OpenMode::ReadWrite));
        auto missing = MissingImportStructure(*database);
        if (!missing.empty())
            throw jet::Error(path + " has no " + missing);
        return database;
    } catch (const std::exception&) {
        // Every failure looks the same to the user: this is not a database of the template's
        // shape.
    }
    CloseImportDatabase(database);
    ui.setBusy(false);
    ui.message({kInvalidTitle, kInvalidText, platform::Icon::Exclamation, platform::Buttons::Ok});
    path = kInvalidPath;
    return nullptr;
}

std::optional<ImportDatabaseMade> MakeImportDatabase(const HostFolders& host,
                                                     platform::UserInteraction& ui,
                                                     const std::string& path) {
    if (namesTemplate(host.appDir, path)) {
        ui.setBusy(false);
        refuseTemplateName(ui);
        return std::nullopt;
    }
    if (auto refused = RefusedTarget(host, path); !refused.empty()) {
        ui.setBusy(false);
        ui.critical(kNotCreatedTitle, refused);
        return std::nullopt;
    }
    ui.setBusy(true);
    ImportDatabaseMade made;
    made.path = path;
    const auto target = hostpath::resolve(path);
    atomicfile::removeLeftovers(target);
    made.partial = atomicfile::partialPath(target);
    if (!copyTemplate(host.appDir, made, ui))
        return std::nullopt;

    std::string opened = hostpath::fromNative(made.partial);
    made.database = OpenImportDatabase(host.appDir, ui, opened);
    if (!made.database) {
        DiscardImportDatabase(made);
        return std::nullopt;
    }
    try {
        EmptyImportTables(*made.database);
        made.planCount = TransferHostData(*made.database, host.accountDir, sharedHostRecords());
    } catch (const std::exception& e) {
        DiscardImportDatabase(made);
        reportUnfinished(ui, path, e);
        return std::nullopt;
    }
    ui.setBusy(false);
    return made;
}

bool FinishImportDatabase(ImportDatabaseMade& made, platform::UserInteraction& ui,
                          const std::string& reached, std::string* causeOut) {
    std::string cause;
    try {
        auto database = std::move(made.database);
        database->Close();
        if (TargetInUse(made.path))
            cause = InUseText(made.path);
        else if (auto ec = atomicfile::replace(made.partial, hostpath::resolve(made.path)))
            cause = made.path + " could not be replaced: " + ansi::fromUtf8(ec.message());
        else
            return true;
    } catch (const std::exception& e) {
        cause = ansi::fromUtf8(e.what());
    }
    DiscardImportDatabase(made);
    ui.setBusy(false);
    ui.critical(kNotCreatedTitle, "No import database was made.  The import had reached " +
                                      reached + ", but the database could not be saved as " +
                                      made.path + ":\n\n" + cause + "\n\n" + made.path +
                                      " is as it was before the import.");
    if (causeOut)
        *causeOut = cause;
    return false;
}

void DiscardImportDatabase(ImportDatabaseMade& made) {
    CloseImportDatabase(made.database);
    std::error_code ec;
    if (!made.partial.empty())
        fs::remove(made.partial, ec);
}

std::optional<ImportDatabaseMade> CreateImportDatabase(const HostFolders& host,
                                                       platform::UserInteraction& ui) {
    const platform::FileDialogRequest dialog{kSaveTitle, withoutTrailingSeparator(host.appDir),
                                             kProposedName, kSaveFilter};
    while (true) {
        auto chosen = ui.saveFile(dialog);
        if (!chosen)
            return std::nullopt;
        if (namesTemplate(host.appDir, *chosen)) {
            refuseTemplateName(ui);
            continue;
        }
        const std::string path(ansi::trim(*chosen));
        if (auto refused = RefusedTarget(host, path); !refused.empty()) {
            ui.critical(kNotCreatedTitle, refused);
            continue;
        }
        // The file is replaced only once the new database is finished.
        if (hostpath::exists(path)) {
            auto answer = ui.message(
                {kReplaceTitle, kReplaceText, platform::Icon::None, platform::Buttons::YesNo});
            if (answer != platform::Answer::Yes)
                continue;
        }
        return MakeImportDatabase(host, ui, path);
    }
}

} // namespace hostdata
