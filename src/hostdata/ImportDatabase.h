// TEMPORARY STAND-IN, to be deleted when the real import database creation is merged: it keeps
// the signatures of that work so the import run can be built and tested against them. It
// copies the template, opens the copy and empties the eight tables; it transfers no company,
// plan or rate data and asks nothing.
#pragma once

#include "app/ImportSession.h"
#include "platform/Interaction.h"

#include <string>

namespace hostdata {

// Makes the import database at path from the template and leaves it open in the session.
// False, with ModeCode 9999, when it cannot.
bool MakeImportDatabase(app::ImportSession& s, platform::UserInteraction& ui,
                        const std::string& path);

// Asks where to save the import database and makes it there; ModeCode 9999 when abandoned.
void CreateImportDatabase(app::ImportSession& s, platform::UserInteraction& ui);

} // namespace hostdata
