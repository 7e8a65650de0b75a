#pragma once

#include "ui/ui.h"

namespace tramela::store {

class DatabaseConnection;

// Brings a database made before the standard lines existed up to the structure the XML
// communication needs: the tables reglinee and reglklin, their keys and relations, and the
// built-in registers. Works on the structure directly, not through the catalogue.

// True when the command must stop: the structure is already there (said so) or it is damaged
// (said so); false when the upgrade must be carried out.
bool CheckUpgradeNeeded(DatabaseConnection& connection);
// Creates the structure, stopping at the first failure; what was created stays. True on success.
bool PerformUpgrade(DatabaseConnection& connection);
// The menu command: the check, then the upgrade when it is needed.
ui::Outcome UpgradeXmlLevel1(DatabaseConnection& connection);

} // namespace tramela::store
