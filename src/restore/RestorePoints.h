// Restore points: the copies of an account's data files that the host takes before each
// import, kept in the account's Restore\ folder, and putting them back.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace restore {

// Import types in the order the restore window lists them.
enum class ImportType { ActiveEmployees = 0, Qualifiers = 1, Participants = 2, Retirees = 3 };

// The first seven characters, in lower case, of a person file of the type.
const char* personPrefix(ImportType type);
// The account's person file that a restore of the type replaces.
const char* personTarget(ImportType type);

struct RestorePoint {
    std::string Caption;     // "Restore Point - 01/15/2026 at 10:30:00"
    std::string PersonFile;  // full host path
    std::string CompanyFile; // full host path, or empty when the folder has none
    std::string PlanFile;    // full host path, or empty
};

// The restore points of a type, in name order; nullopt when the account has no restore
// folder at all.
std::optional<std::vector<RestorePoint>> listRestorePoints(const std::string& accountDir,
                                                           ImportType type);

// The caption built from the time stamp in the last 26 characters of a file name.
std::string captionFor(std::string_view fileName);

// Replaces the account's files with the restore point's copies: always the person file, the
// company and plan files when asked and present. Each copy goes to a temporary file beside its
// target and is then renamed over it, so a failed copy never leaves a target half written.
// A failure throws an error naming the file; the files restored before it stay restored.
void restoreFiles(const RestorePoint& point, const std::string& accountDir, ImportType type,
                  bool company, bool plan);

} // namespace restore
