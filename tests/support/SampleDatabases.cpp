#include "support/SampleDatabases.h"

#include "sample/SampleDatabases.h"

namespace testsupport {

void writeSampleCatalogue(const std::filesystem::path& file) {
    auto db = sample::createFromSchema(file, "sysrestore.sql");
    struct Backup {
        int month, day, year;
        const char16_t *time, *name, *location, *notes;
    };
    const Backup rows[] = {
        {12, 1, 2026, u"09:15:02 AM", u"  Weekly backup  ", u"D:\\Backups\\2026-12-01\\",
         u"before open enrollment"},
        {12, 1, 2026, u"04:40:10 PM", u"Afternoon backup", u"D:\\Backups\\2026-12-01b\\", u""},
        {12, 4, 2026, u"08:00:00 AM", u"Before import", u"D:\\Backups\\2026-12-04\\",
         u"ACME import"},
        {11, 28, 2026, u"10:00:00 AM", u"Month end", u"D:\\Backups\\2026-11-28\\",
         u"   trimmed notes   "},
        {2, 29, 2000, u"11:11:11 AM", u"Leap day", u"C:\\Old\\", u"Y2K era"},
        {12, 31, 2101, u"11:59:59 PM", u"Far future", u"E:\\", u""},
    };
    auto rs = db.OpenRecordset("tblFileInformation");
    for (const auto& b : rows) {
        rs.AddNew();
        rs["fldBackupMonth"] = b.month;
        rs["fldBackupDay"] = b.day;
        rs["fldYear"] = b.year;
        rs["fldBackUpTime"] = b.time;
        rs["fldBackupName"] = b.name;
        rs["fldFileNameLocation"] = b.location;
        rs["fldNotes"] = b.notes;
        rs.Update();
    }
    db.Close();
}

} // namespace testsupport
