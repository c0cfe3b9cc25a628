// The recalculation of a whole document from its body rows, on the demo
// company database: goods rows in three tax groups over a tax area of four
// jurisdictions (TX-MSP). The time per row must stay flat as the body grows,
// and the statements per recalculation must not grow with the rows at all.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <utility>

#include "tarvolin/db/company_database.h"
#include "tarvolin/db/counting_connection.h"
#include "tarvolin/engine/engine.h"
#include "tarvolin/host/host_document.h"
#include "tarvolin/host/registration.h"
#include "tarvolin/recordset/recordset.h"

// Heap bytes in use and their high-water mark, counted only while a
// benchmark measures memory (outside the timed loop; one thread).
namespace heap {
bool counting = false;
int64_t live = 0;
int64_t peak = 0;

void Start() {
  live = 0;
  peak = 0;
  counting = true;
}
}  // namespace heap

namespace heap {
void* Acquire(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  if (counting) {
    live += static_cast<int64_t>(malloc_usable_size(p));
    if (live > peak) peak = live;
  }
  return p;
}
void Release(void* p) noexcept {
  if (p == nullptr) return;
  if (counting) live -= static_cast<int64_t>(malloc_usable_size(p));
  std::free(p);
}
}  // namespace heap

void* operator new(std::size_t size) { return heap::Acquire(size); }
void* operator new[](std::size_t size) { return heap::Acquire(size); }
void operator delete(void* p) noexcept { heap::Release(p); }
void operator delete[](void* p) noexcept { heap::Release(p); }
void operator delete(void* p, std::size_t) noexcept { heap::Release(p); }
void operator delete[](void* p, std::size_t) noexcept { heap::Release(p); }

namespace tarvolin {
namespace {

// The demo company database in a temporary directory of its own, removed
// when the process ends.
class DemoCompany {
 public:
  DemoCompany() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarvolin_bench_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::filesystem::filesystem_error("cannot create a temporary directory", pattern,
                                              std::error_code(errno, std::generic_category()));
    }
    dir_ = pattern;
    const std::string path = (dir_ / "company.db").string();
    InitCompanyDatabase(path, {});
    connection_ = OpenCompanyDatabase(path);
  }
  ~DemoCompany() {
    connection_->Close();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  DemoCompany(const DemoCompany&) = delete;
  DemoCompany& operator=(const DemoCompany&) = delete;

  std::shared_ptr<Connection> connection() const { return connection_; }

 private:
  std::filesystem::path dir_;
  std::shared_ptr<Connection> connection_;
};

// Built on first use, shared by every size.
const DemoCompany& Demo() {
  static const DemoCompany demo;
  return demo;
}

// The demo company on the server $TARVOLIN_BENCH_POSTGRES names (a database
// the benchmark may replace); nullptr when it is not set.
std::shared_ptr<Connection> PostgresDemo() {
  static const std::shared_ptr<Connection> connection = []() -> std::shared_ptr<Connection> {
    const char* uri = std::getenv("TARVOLIN_BENCH_POSTGRES");
    if (uri == nullptr || *uri == '\0') return nullptr;
    InitCompanyDatabase(uri, {.demo = true, .force = true});
    return OpenCompanyDatabase(uri);
  }();
  return connection;
}

constexpr const char* kNumReg = "2026009001";

std::shared_ptr<HostDocument> NewDocument() {
  auto company = std::make_shared<CurrentCompany>();
  company->company_number = 1;
  company->currency_code = "USD";
  company->first_decimals = Variant(int16_t{3});
  company->second_decimals = Variant(int16_t{4});
  company->accounts_group = "1";
  company->customers_control_account = "1200";
  company->suppliers_control_account = "2100";
  company->currency_decimals = {{"USD", 2}, {"CAD", 2}};
  auto document = std::make_shared<HostDocument>(company);
  static constexpr std::pair<const char*, int16_t> kSettings[] = {
      {"TIPODOC", 1},     {"INDREGCON", 1},    {"INDOMAGCOSTO", 1}, {"FLGPVSCPIE", 0},
      {"INDCALCOLLI", 0}, {"INDCALVOLUME", 0}, {"INDCALPESOTOT", 0}};
  for (const auto& [name, value] : kSettings) document->SetDocumentSetting(name, Variant(value));
  return document;
}

// A sales invoice to customer 1001 in TX-MSP with `rows` goods rows: four
// items in turn, tax groups GENERAL, CLOTHING and FREIGHT in turn, amounts
// already net (no foot discounts), so a recalculation changes no row.
std::shared_ptr<HostDocument> Invoice(int rows, const char* document_number = kNumReg) {
  auto document = NewDocument();
  auto header = NewDocumentRecordset(DocumentTable::kHeader);
  header->AddNew();
  header->Set("DO11_DITTA_CG18", Variant(int32_t{1}));
  header->Set("DO11_NUMREG_CO99", Variant(document_number));
  header->Set("DO11_DOCUM_MG36", Variant("SINV"));
  header->Set("DO11_NUMDOC", Variant(int32_t{9001}));
  header->Set("DO11_DATADOC", Variant(Date::FromYmd(2026, 3, 23)));
  header->Set("DO11_TIPODOC", Variant(int16_t{1}));
  header->Set("DO11_INDTIPOCODCF", Variant(int16_t{1}));
  header->Set("DO11_TIPOCF_CG44", Variant(int16_t{0}));
  header->Set("DO11_CLIFOR_CG44", Variant(int32_t{1001}));
  header->Set("DO11_VALUTA_CG08", Variant("USD"));
  header->Set("DO11_CAMBIO", Variant(Decimal(1)));
  header->Set("DO11_TAXAREA_NV01", Variant("TX-MSP"));
  header->Set("DO11_FLGTAXLIABLE", Variant(int16_t{1}));
  header->Set("DO11_FLGCONTIVAR", Variant(int16_t{0}));
  header->Set("DO11_CODPAG_CG62", Variant("NET30"));
  header->Update();
  document->Set(DocumentTable::kHeader, header);

  auto totals = NewDocumentRecordset(DocumentTable::kTotals);
  totals->AddNew();
  totals->Set("DO13_DITTA_CG18", Variant(int32_t{1}));
  totals->Set("DO13_NUMREG_CO99", Variant(document_number));
  totals->Update();
  document->Set(DocumentTable::kTotals, totals);
  document->Set(DocumentTable::kSchedule, NewDocumentRecordset(DocumentTable::kSchedule));

  struct Item {
    const char* code;
    const char* price;
    const char* cost;
  };
  static constexpr Item kItems[] = {{"LANT-LED", "39.90", "18.20"},
                                    {"TENT-4P", "250.00", "130.00"},
                                    {"STOVE-2B", "84.50", "41.75"},
                                    {"BOOT-WX", "129.00", "61.00"}};
  static constexpr const char* kGroups[] = {"GENERAL", "CLOTHING", "FREIGHT"};
  static constexpr const char* kAccounts[] = {"4010", "4020", "4100"};

  auto body = NewDocumentRecordset(DocumentTable::kBody);
  const auto f = [&](const char* name) { return body->Resolve(name); };
  const FieldRef company = f("DO30_DITTA_CG18"), numreg = f("DO30_NUMREG_CO99"),
                 progriga = f("DO30_PROGRIGA"), padre = f("DO30_PROGPADRE"),
                 tipo_riga = f("DO30_INDTIPORIGA"), tipo_dati = f("DO30_INDTIPODATI"),
                 item = f("DO30_CODART_MG66"), qta1 = f("DO30_QTA1"), qta2 = f("DO30_QTA2"),
                 colli = f("DO30_COLLI"), prezzo = f("DO30_PREZZO1"), importo = f("DO30_IMPORTO"),
                 importo_val = f("DO30_IMPORTO_VAL"), netto = f("DO30_IMPNETSCP"),
                 netto_val = f("DO30_IMPNETSCP_VAL"), costo = f("DO30_COSTOTOT"),
                 costo_val = f("DO30_COSTOTOT_VAL"), escl = f("DO30_FLGESCLSCPIEDE"),
                 omag = f("DO30_INDTIPOOMAG"), totaliz = f("DO30_INDTOTALIZ"),
                 peso_l = f("DO30_PESOL"), peso_n = f("DO30_PESON"), volume = f("DO30_VOLUME"),
                 account = f("DO30_CPMERCE_CG24"), group = f("DO30_TAXGROUP_NV04");
  for (int i = 0; i < rows; ++i) {
    const Item& it = kItems[i % 4];
    const Decimal quantity(1 + i % 7);
    const Decimal amount = Decimal::Parse(it.price) * quantity;
    body->AddNew();
    body->Set(company, Variant(int32_t{1}));
    body->Set(numreg, Variant(document_number));
    body->Set(progriga, Variant(int32_t{i + 1}));
    body->Set(padre, Variant::Null());
    body->Set(tipo_riga, Variant(int16_t{0}));
    body->Set(tipo_dati, Variant(int16_t{0}));
    body->Set(item, Variant(it.code));
    body->Set(qta1, Variant(quantity));
    body->Set(qta2, Variant(Decimal(0)));
    body->Set(colli, Variant(Decimal(1)));
    body->Set(prezzo, Variant(Decimal::Parse(it.price)));
    body->Set(importo, Variant(amount));
    body->Set(importo_val, Variant::Null());
    body->Set(netto, Variant(amount));
    body->Set(netto_val, Variant::Null());
    body->Set(costo, Variant(Decimal::Parse(it.cost) * quantity));
    body->Set(costo_val, Variant::Null());
    body->Set(escl, Variant(int16_t{0}));
    body->Set(omag, Variant(int16_t{0}));
    body->Set(totaliz, Variant(int16_t{1}));
    body->Set(peso_l, Variant(Decimal::Parse("1.25")));
    body->Set(peso_n, Variant(Decimal::Parse("1.10")));
    body->Set(volume, Variant(Decimal::Parse("0.0120")));
    body->Set(account, Variant(kAccounts[i % 3]));
    body->Set(group, Variant(kGroups[i % 3]));
    body->Update();
  }
  body->MoveFirst();
  document->Set(DocumentTable::kBody, body);
  return document;
}

void Recalculate(benchmark::State& state, const std::shared_ptr<Connection>& database) {
  const int rows = static_cast<int>(state.range(0));
  Demo();
  // Peak heap from building the document through its first recalculation:
  // the rows themselves and whatever the engine keeps or makes for them.
  heap::Start();
  auto document = Invoice(rows);
  auto connection = std::make_shared<CountingConnection>(database);
  auto engine = CreateEngine([] { return std::make_shared<HostCalculationHelper>(); });
  ICLSMG_TARVOLIN& api = *engine;
  api.set_cc(document);
  api.set_ADOConnection(connection);
  api.set_ADOConnectionString("company.db");
  const auto recalculate = [&] {
    // Every flag on, as a host recalculates before saving.
    api.RicalcolaTotaliDaRigheCorpo(true, true, true, true, true, true);
  };
  recalculate();  // warm: tax area, rates, descriptions and currencies cached
  heap::counting = false;
  const double peak_bytes = static_cast<double>(heap::peak);

  for (auto _ : state) {
    connection->Reset();
    recalculate();
  }
  state.counters["rows_per_second"] =
      benchmark::Counter(static_cast<double>(rows) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["statements"] = static_cast<double>(connection->statements());
  state.counters["edited_rows"] = api.NumRigheModificate();
  state.counters["peak_bytes_per_row"] = peak_bytes / rows;
  api.Terminate();
}

void BM_Recalculate(benchmark::State& state) { Recalculate(state, Demo().connection()); }
BENCHMARK(BM_Recalculate)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

void BM_RecalculatePostgres(benchmark::State& state) {
  if (!PostgresDemo()) {
    state.SkipWithError("set TARVOLIN_BENCH_POSTGRES to a postgresql:// URI of a database to use");
    return;
  }
  Recalculate(state, PostgresDemo());
}
BENCHMARK(BM_RecalculatePostgres)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

// Registrations of a 20-row invoice into one server, each worker with its own
// connection and document.
void BM_RegisterPostgres(benchmark::State& state) {
  if (!PostgresDemo()) {
    state.SkipWithError("set TARVOLIN_BENCH_POSTGRES to a postgresql:// URI of a database to use");
    return;
  }
  const std::string numreg = "20260091" + std::to_string(10 + state.thread_index());
  auto connection = OpenCompanyDatabase(std::getenv("TARVOLIN_BENCH_POSTGRES"));
  auto engine = CreateEngine([] { return std::make_shared<HostCalculationHelper>(); });
  ICLSMG_TARVOLIN& api = *engine;
  api.set_cc(Invoice(20, numreg.c_str()));
  api.set_ADOConnection(connection);
  api.set_ADOConnectionString("company");
  api.RicalcolaTotaliDaRigheCorpo(true, true, true, true, true, true);
  for (auto _ : state) RegisterDocument(api, *connection);
  state.counters["registrations_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  api.Terminate();
}
BENCHMARK(BM_RegisterPostgres)->Threads(1)->Threads(2)->Threads(4)->UseRealTime();

}  // namespace
}  // namespace tarvolin
