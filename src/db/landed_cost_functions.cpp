#include "db/landed_cost_functions.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "tarvolin/automation/variant.h"

namespace tarvolin {
namespace {

// Unit landed costs by company, kind (1 transport, 2 duty), item, option and
// start date. A row for the exact option wins over a row for every option ('').
constexpr char kUnitCostSql[] =
    "SELECT CAST(TV05_COSTOUNIT AS TEXT) FROM TV05_COSTIUNITARI"
    " WHERE TV05_DITTA_CG18 = ?1 AND TV05_INDTIPOCOSTO = ?5 AND TV05_CODART_MG66 = ?2"
    " AND TRIM(TV05_OPZIONE_MG5E) IN (?3, '') AND TV05_DATAINIZIO <= ?4"
    " ORDER BY TRIM(TV05_OPZIONE_MG5E) = ?3 DESC, TV05_DATAINIZIO DESC LIMIT 1";
// The cost kind each function reads (TV05_INDTIPOCOSTO), handed to it as its
// user data (which SQLite only passes back).
constexpr int64_t kTransport = 1;
constexpr int64_t kDuty = 2;

std::string ArgText(sqlite3_value* value) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  std::string out = text == nullptr ? std::string() : std::string(text);
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

void UnitCost(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (argc != 4) {
    sqlite3_result_error(context, "expects company, item, option and date", -1);
    return;
  }
  const int64_t kind = *static_cast<const int64_t*>(sqlite3_user_data(context));
  const std::string date_text = ArgText(argv[3]);
  const auto date = Date::Parse(date_text);
  if (!date) {
    sqlite3_result_error(context, ("not a date: '" + date_text + "'").c_str(), -1);
    return;
  }
  sqlite3* db = sqlite3_context_db_handle(context);
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, kUnitCostSql, -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_result_error(context, sqlite3_errmsg(db), -1);
    sqlite3_finalize(stmt);
    return;
  }
  sqlite3_bind_int64(stmt, 1, sqlite3_value_int64(argv[0]));
  const std::string item = ArgText(argv[1]);
  const std::string option = ArgText(argv[2]);
  const std::string iso = date->ToIso();
  sqlite3_bind_text(stmt, 2, item.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(stmt, 3, option.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(stmt, 4, iso.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(stmt, 5, kind);
  const int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL) {
    sqlite3_result_text(context, reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), -1,
                        SQLITE_TRANSIENT);
  } else if (rc == SQLITE_ROW || rc == SQLITE_DONE) {
    sqlite3_result_null(context);
  } else {
    sqlite3_result_error(context, sqlite3_errmsg(db), -1);
  }
  sqlite3_finalize(stmt);
}

}  // namespace

void RegisterLandedCostFunctions(sqlite3* db) {
  sqlite3_create_function_v2(db, "FNMG_GETSPTRASPMP", 4, SQLITE_UTF8,
                             const_cast<int64_t*>(&kTransport), UnitCost, nullptr, nullptr,
                             nullptr);
  sqlite3_create_function_v2(db, "FNMG_GETSPDAZIMP", 4, SQLITE_UTF8, const_cast<int64_t*>(&kDuty),
                             UnitCost, nullptr, nullptr, nullptr);
}

}  // namespace tarvolin
