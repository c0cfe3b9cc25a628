// The company database's two scalar functions for landed costs, registered on
// an SQLite connection under their bare names:
//   FNMG_GETSPTRASPMP(company, item, option, 'YYYYMMDD') -> unit transport cost
//   FNMG_GETSPDAZIMP(company, item, option, 'YYYYMMDD')  -> unit duty cost
// Each answers the cost in force on the date (the latest row dated on or before
// it) for the item and option, falling back to the item's row without option;
// Null when the item has no cost. The cost is returned as exact decimal text.
#pragma once

struct sqlite3;

namespace tarvolin {

void RegisterLandedCostFunctions(sqlite3* db);

}  // namespace tarvolin
