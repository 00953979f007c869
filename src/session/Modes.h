// The named values of the session's ModeCode, FormatSource and ToolbarOp.
#pragma once

namespace session {

// ModeCode: the file types 1..4, and the special values beside them.
namespace mode {
constexpr int kNone = 0;
constexpr int kEmployee = 1;
constexpr int kQualifier = 2;
constexpr int kParticipant = 3;
constexpr int kRetiree = 4;
constexpr int kRestore = 22;
constexpr int kDeleteByName = 69;
constexpr int kCancelled = 9999;
} // namespace mode

namespace source {
constexpr int kCatalogue = 0;
constexpr int kSavedFormat = 1;
constexpr int kStructureOnly = 2;
} // namespace source

namespace toolbar {
constexpr int kNone = 0;
constexpr int kOpen = 1;
constexpr int kDelete = 2;
} // namespace toolbar

} // namespace session
