#include "backup/BackupCatalogue.h"

#include "hostdata/ValueText.h"
#include "jet/Database.h"
#include "platform/Ansi.h"
#include "platform/Dates.h"
#include "platform/HostPath.h"

#include <array>

namespace backup {
namespace {

std::string monthQuery(int month, int year) {
    return "SELECT * FROM tblFileInformation WHERE fldBackupMonth=" + std::to_string(month) +
           " AND fldYear=" + std::to_string(year);
}

std::string field(jet::Recordset& rs, const char* column) {
    return hostdata::ansiText(rs.GetValue(jet::utf16(column)));
}

std::string trimmedField(jet::Recordset& rs, const char* column) {
    return std::string(ansi::trim(field(rs, column)));
}

} // namespace

int weekdayOfFirst(int year, int month) {
    // Day 0 of the serial count, 1899-12-30, was a Saturday.
    long long serial = dates::toSerial({year, month, 1});
    return static_cast<int>(((serial % 7) + 7 + 6) % 7) + 1;
}

std::string dayCaption(int day) {
    return day <= 9 ? " " + std::to_string(day) + " " : " " + std::to_string(day);
}

std::string BackupCatalogue::path() const {
    return appDir_ + kCatalogueFile;
}

bool BackupCatalogue::exists() const {
    return hostpath::isFile(path());
}

std::set<int> BackupCatalogue::daysWithBackups(int month, int year) const {
    auto db = jet::Database::OpenDatabase(hostpath::resolve(path()), jet::OpenMode::ReadOnly);
    auto rs = db.OpenRecordset(monthQuery(month, year));
    std::set<int> days;
    for (int d = 1; d <= dates::daysInMonth(year, month); ++d)
        if (rs.FindFirst("[fldBackupDay]=" + std::to_string(d)))
            days.insert(d);
    rs.Close();
    db.Close();
    return days;
}

std::vector<std::string> BackupCatalogue::backupsOfDay(int month, int year,
                                                       const std::string& caption) const {
    auto db = jet::Database::OpenDatabase(hostpath::resolve(path()), jet::OpenMode::ReadOnly);
    auto rs = db.OpenRecordset(monthQuery(month, year));
    const std::string criteria = "[fldBackupDay]=" + caption;
    std::vector<std::string> items;
    for (bool found = rs.FindFirst(criteria); found; found = rs.FindNext(criteria))
        items.push_back(field(rs, "fldAutoNum") + " - " + field(rs, "fldBackUpTime") + " - " +
                        trimmedField(rs, "fldBackupName"));
    rs.Close();
    db.Close();
    return items;
}

std::string BackupCatalogue::details(std::int64_t number) const {
    auto db = jet::Database::OpenDatabase(hostpath::resolve(path()), jet::OpenMode::ReadOnly);
    auto rs = db.OpenRecordset("SELECT * FROM tblFileInformation WHERE fldAutoNum=" +
                               std::to_string(number));
    std::string text;
    if (rs.RecordCount() > 0) {
        rs.MoveFirst();
        text = "Name: " + trimmedField(rs, "fldBackupName") +
               "\rDate / Time: " + trimmedField(rs, "fldBackUpMonth") + "-" +
               trimmedField(rs, "fldBackUpDay") + "-" + trimmedField(rs, "fldYear") + " " +
               trimmedField(rs, "fldBackUpTime") +
               "\rBackup Location: " + trimmedField(rs, "fldFileNameLocation") +
               "\rNotes: " + trimmedField(rs, "fldNotes");
    }
    rs.Close();
    db.Close();
    return text;
}

} // namespace backup
