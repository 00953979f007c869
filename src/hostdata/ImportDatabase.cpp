// TEMPORARY STAND-IN; see ImportDatabase.h.
#include "hostdata/ImportDatabase.h"

#include "jet/Database.h"
#include "platform/Ansi.h"
#include "platform/HostPath.h"

#include <filesystem>

namespace hostdata {

bool MakeImportDatabase(app::ImportSession& s, platform::UserInteraction& ui,
                        const std::string& path) {
    try {
        if (s.ImportDatabase) {
            s.ImportDatabase->Close();
            s.ImportDatabase.reset();
        }
        auto target = hostpath::resolve(path);
        std::filesystem::remove(target);
        std::filesystem::copy_file(hostpath::resolve(s.AppDir + "BRANDMDB.MDB"), target);
        // A read-only template gives a read-only copy; the copy is ours to write.
        std::filesystem::permissions(target, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        auto db = std::make_shared<jet::Database>(jet::Database::OpenDatabase(target));
        for (const char* table : {"Active_Employees", "Dependent_Information",
                                  "Member_Insurance_Plan", "Insurance_Companies", "Payments",
                                  "Rates", "Qualifier_Information", "Company_Information"}) {
            auto rs = db->OpenRecordset(table);
            if (rs.RecordCount() > 0)
                for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
                    rs.Delete();
            rs.Close();
        }
        s.ImportDatabase = std::move(db);
        return true;
    } catch (const std::exception& e) {
        ui.critical("Invalid Database Structure", e.what());
        s.ModeCode = app::mode::kCancelled;
        return false;
    }
}

void CreateImportDatabase(app::ImportSession& s, platform::UserInteraction& ui) {
    for (;;) {
        auto chosen = ui.saveFile(
            {"Save Import File For Brandmoor", s.AppDir, "Brandmoor-ImportFile1.mdb", ""});
        if (!chosen) {
            s.ModeCode = app::mode::kCancelled;
            return;
        }
        std::string path(ansi::trim(*chosen));
        auto name = std::filesystem::path(path).filename().string();
        if (hostpath::sameName(name, "BRANDMDB.MDB"))
            continue;
        MakeImportDatabase(s, ui, path);
        return;
    }
}

} // namespace hostdata
