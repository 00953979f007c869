// The import run's input for the TAB file import.txt in a test's folder, with the date flags
// verification would leave for the labels.
#pragma once

#include "support/TempDir.h"
#include "wizard/ImportRun.h"
#include "wizard/TabVerifier.h"

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

inline wizard::ImportRunInput importInput(const TempDir& dir, std::vector<std::string> labels,
                                          int mode, bool firstLineIsRecord) {
    wizard::ImportRunInput in;
    in.ModeCode = mode;
    in.AppDir = dir.withSlash();
    in.TabPath = (dir / "import.txt").string();
    in.DateFlags = wizard::initialDateFlags(labels);
    in.labels = std::move(labels);
    in.firstLineIsRecord = firstLineIsRecord;
    return in;
}

} // namespace testsupport
