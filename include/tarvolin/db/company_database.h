// The company database on disk: where it is by default, how it is created
// (schema, and the demo company unless asked for an empty one) and how it is
// opened with its second database attached.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tarvolin/db/sqlite_connection.h"

namespace tarvolin {

// A database is named by a path (an SQLite file) or by a URI,
// postgresql://user@host:port/dbname or postgres://..., for a PostgreSQL
// server (postgres_connection.h); every function here takes either.

// $TARVOLIN_DB when set, else "tarvolin.db" in the working directory.
std::string DefaultDatabasePath();

// The file of a second database named `name` (the name the company's
// CO60_CONFVEXNAV gives): "<name>.db" beside the company database.
std::string ExternalDatabasePath(const std::string& company_path, const std::string& name);

struct InitOptions {
  bool demo = true;    // load the demo company (else the schema alone)
  bool force = false;  // replace a database that already holds tables
};

// Creates the company database at path, and with the demo its asset database
// beside it. All or nothing: files are built aside and moved into place only
// when complete. Refuses (3705, naming the path) a file that already holds
// tables unless force. Returns the files written.
// On a server the schema, the landed-cost functions and the demo go into the
// database's current schema in one transaction, the asset database into a
// schema of its name; force drops the tables there first. Returns the server.
std::vector<std::string> InitCompanyDatabase(const std::string& path, InitOptions options);

// Opens an existing company database and attaches the second database its
// settings name, when that file exists. A missing file raises 3709 naming the
// path (with the hint to run "tarvolin db init"); a file that is not a
// company database raises 3709 too, as does a server that cannot be reached
// or a server database without the schema (naming the server).
std::shared_ptr<Connection> OpenCompanyDatabase(const std::string& path);

// The company schema (kept in the SQLite spelling) as PostgreSQL takes it.
std::string PostgresSchema(std::string_view sqlite_ddl);

}  // namespace tarvolin
