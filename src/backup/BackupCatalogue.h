// The backup catalogue, sysrestore.mdb in the program folder: one row of tblFileInformation
// per backup. Only read here, through the engine's queries and searches.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace backup {

inline constexpr const char* kCatalogueFile = "sysrestore.mdb";
inline constexpr int kFirstYear = 1999;
inline constexpr int kLastYear = 2101;

// Weekday of the month's first day, 1 = Sunday to 7 = Saturday.
int weekdayOfFirst(int year, int month);

// A day cell's caption: three characters, the day number after one blank ("  5" is " 5 ").
std::string dayCaption(int day);

class BackupCatalogue {
public:
    explicit BackupCatalogue(std::string appDir) : appDir_(std::move(appDir)) {}

    bool exists() const;

    // The days of the month that have at least one backup.
    std::set<int> daysWithBackups(int month, int year) const;

    // "number - time - name" for each backup of the day whose caption is given, in search
    // order.
    std::vector<std::string> backupsOfDay(int month, int year, const std::string& caption) const;

    // The details of one backup, lines joined by CR.
    std::string details(std::int64_t number) const;

private:
    std::string path() const;
    std::string appDir_;
};

} // namespace backup
