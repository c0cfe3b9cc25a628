// Our commission calculator over the company's agents (TV03_AGENTI) and their
// regimes: by item (TV04_AGENTIPROVV), by item commission group
// (TV10_ARTICOLIPROVV, TV11_AGENTIGRUPPIPROVV), by customer
// (TV12_AGENTICLIENTIPROVV), for every item (the '' row of TV04), and the
// agent's own percentage, in that order. The rules are in docs/commissions.md.
//
// Everything a run needs is read and checked before the first line is
// written, so a failure leaves the document's commission lines as they were.
#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tarvolin/automation/error.h"
#include "tarvolin/commissions/commission_calculator.h"
#include "tarvolin/db/connection.h"
#include "tarvolin/engine/core_document.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

namespace result = commission_result;
using R = CommissionRecordset;

// A run that cannot go on. Kept apart from Error so that a platform error
// number can never pass for one of the result codes.
struct Failure {
  int32_t code;
  std::string description;
};

[[noreturn]] void Fail(int32_t code, std::string description) {
  throw Failure{code, std::move(description)};
}

// One commission line to be: the agent and the percentage its regime gives.
struct Assignment {
  int32_t agent = 0;
  Decimal percentage;
};

// The body row a run works on, read once.
struct Row {
  int32_t progressive = 0;
  std::string item;
  Variant net;      // company currency
  Variant net_val;  // document currency; Null in a company-currency document
};

struct AgentData {
  Decimal percentage;
  int32_t area_manager = 0;
};

class CompanyCommissionCalculator final : public CommissionCalculator {
 public:
  void ImpostaRegimiProvvigioni() override {
    Run([&] {
      Inputs inputs = Check();
      for (const Row& row : inputs.rows) assigned_[row.progressive] = Assign(inputs, row);
    });
  }

  void CalcolaProvvigioni() override {
    Run([&] {
      Inputs inputs = Check();
      std::vector<std::vector<Assignment>> plan;
      for (const Row& row : inputs.rows) {
        const auto it = assigned_.find(row.progressive);
        plan.push_back(it != assigned_.end() ? it->second : Assign(inputs, row));
      }
      for (size_t i = 0; i < inputs.rows.size(); ++i) {
        WriteLines(inputs, inputs.rows[i], plan[i]);
        assigned_.erase(inputs.rows[i].progressive);
      }
    });
  }

  int32_t stato() const override { return stato_; }
  std::string description() const override { return description_; }

 private:
  struct Inputs {
    Connection* connection = nullptr;
    CurrentCompany* company = nullptr;
    Recordset* header = nullptr;
    Recordset* lines = nullptr;
    std::vector<int32_t> agents;  // the document's agents, then their area managers
    Variant customer;
    std::string currency;  // the document currency
    std::vector<Row> rows;
    std::map<int32_t, AgentData> agent_data;
  };

  template <class F>
  void Run(F&& body) {
    stato_ = result::kDone;
    description_.clear();
    try {
      body();
    } catch (const Failure& failure) {
      stato_ = failure.code;
      description_ = failure.description;
    } catch (const Error& error) {
      stato_ = result::kRuntimeError;
      description_ = error.description();
    } catch (const std::exception& error) {
      stato_ = result::kRuntimeError;
      description_ = error.what();
    }
  }

  // A document value, read so that a value that is not a number is a
  // validation failure naming the recordset and field.
  static Variant Number(const Recordset& rs, std::string_view table, std::string_view field) {
    try {
      return NzDec(rs.Get(field));
    } catch (const Error& error) {
      Fail(result::kValidation,
           std::string(table) + ", field " + std::string(field) + ": " + error.description());
    }
  }

  Inputs Check() {
    Inputs in;
    in.connection = ADOConnection().get();
    in.company = ClsDittaCorrente().get();
    if (in.connection == nullptr) Fail(result::kNoParameters, "no connection (ADOConnection)");
    if (in.company == nullptr) Fail(result::kNoParameters, "no current company (ClsDittaCorrente)");
    const auto given = [&](R which, const char* name) -> Recordset& {
      const auto& rs = GetRecordset(which);
      if (!rs) Fail(result::kNoParameters, std::string(name) + " is not given");
      return *rs;
    };
    in.header = &given(R::Recordset_DO11_DOCTESTATA, "Recordset_DO11_DOCTESTATA");
    Recordset& agents = given(R::Recordset_DO29_DOCTESAGENTI, "Recordset_DO29_DOCTESAGENTI");
    Recordset& body = given(R::Recordset_DO30_DOCCORPO, "Recordset_DO30_DOCCORPO");
    in.lines = &given(R::Recordset_DO32_DOCCORPOPROV, "Recordset_DO32_DOCCORPOPROV");
    if (in.header->Bof() || in.header->Eof()) {
      Fail(result::kNoParameters, "the header (DO11_DOCTESTATA) has no current record");
    }
    in.customer = Number(*in.header, "DO11_DOCTESTATA", "DO11_CLIFOR_CG44");
    in.currency = NzStr(in.header->Get("DO11_VALUTA_CG08"));

    auto header_agents = agents.Clone();
    for (header_agents->MoveFirst(); !header_agents->Eof(); header_agents->MoveNext()) {
      const Variant id = Number(*header_agents, "DO29_DOCTESAGENTI", "DO29_IDAGENTE_MG17");
      AddAgent(in, id.CLng(), 0);
    }
    // Area managers earn on their agents' rows, once per row.
    for (size_t i = 0; i < in.agents.size(); ++i) {
      const int32_t manager = in.agent_data.at(in.agents[i]).area_manager;
      if (manager != 0) AddAgent(in, manager, in.agents[i]);
    }

    // The calculator's current row; with none, every row it can see.
    if (!body.Bof() && !body.Eof()) {
      in.rows.push_back(ReadRow(body));
    } else {
      auto rows = body.Clone();
      rows->SetSort(body.Sort());
      rows->SetFilter(body.Filter());
      for (; !rows->Eof(); rows->MoveNext()) in.rows.push_back(ReadRow(*rows));
    }
    return in;
  }

  static Row ReadRow(const Recordset& body) {
    Row row;
    row.progressive = Number(body, "DO30_DOCCORPO", "DO30_PROGRIGA").CLng();
    const std::string where = "DO30_DOCCORPO row " + std::to_string(row.progressive);
    row.item = NzStr(body.Get("DO30_CODART_MG66"));
    row.net = Number(body, where, "DO30_IMPNETSCP");
    row.net_val = body.Get("DO30_IMPNETSCP_VAL").IsNull()
                      ? Variant::Null()
                      : Number(body, where, "DO30_IMPNETSCP_VAL");
    return row;
  }

  void AddAgent(Inputs& in, int32_t id, int32_t managed) {
    if (std::find(in.agents.begin(), in.agents.end(), id) != in.agents.end()) return;
    Load(in, id, managed);
    in.agents.push_back(id);
  }

  // The agent's master data, read once per run.
  static const AgentData& Load(Inputs& in, int32_t id, int32_t managed) {
    if (const auto known = in.agent_data.find(id); known != in.agent_data.end()) {
      return known->second;
    }
    const std::string sql =
        "SELECT TV03_PERCPROV, TV03_IDCAPOAREA_TV03 FROM TV03_AGENTI WHERE TV03_DITTA_CG18 = " +
        std::to_string(in.company->company_number) + " AND TV03_IDAGENTE = " + std::to_string(id);
    auto found = in.connection->Execute(sql, nullptr, execute_option::kCommandText);
    if (found->Eof()) {
      Fail(result::kNoAgentData, (managed != 0 ? "area manager " + std::to_string(id) +
                                                     " of agent " + std::to_string(managed)
                                               : "agent " + std::to_string(id)) +
                                     " has no master data (TV03_AGENTI, company " +
                                     std::to_string(in.company->company_number) + ")");
    }
    AgentData data;
    data.percentage = NzDecimal(found->Get("TV03_PERCPROV"));
    data.area_manager = NzDec(found->Get("TV03_IDCAPOAREA_TV03")).CLng();
    if (data.area_manager == id) data.area_manager = 0;
    CheckPercentage(data.percentage, "TV03_AGENTI agent " + std::to_string(id));
    return in.agent_data[id] = data;
  }

  // The document's agents; a document without header agents keeps the agents
  // its calculated lines of the row name, so no line is lost for want of them.
  static std::vector<int32_t> RowAgents(Inputs& in, const Row& row) {
    if (!in.agents.empty()) return in.agents;
    std::vector<int32_t> agents;
    auto lines = in.lines->Clone();
    lines->SetFilter("DO32_PROGRIGA = " + std::to_string(row.progressive));
    for (; !lines->Eof(); lines->MoveNext()) {
      if (Number(*lines, "DO32_DOCCORPOPROV", "DO32_FLGVARPROV") != Variant(int16_t{0})) continue;
      const int32_t agent = Number(*lines, "DO32_DOCCORPOPROV", "DO32_IDAGENTE_MG17").CLng();
      if (std::find(agents.begin(), agents.end(), agent) != agents.end()) continue;
      Load(in, agent, 0);
      agents.push_back(agent);
    }
    return agents;
  }

  static void CheckPercentage(const Decimal& percentage, const std::string& where) {
    if (percentage < Decimal(0) || percentage > Decimal(100)) {
      Fail(result::kInvalidRegime,
           where + ": percentage " + Variant(percentage).CStr() + " is outside 0 to 100");
    }
  }

  // The first percentage a query gives, checked; nullopt when it gives none.
  static std::optional<Decimal> Percentage(Inputs& in, const std::string& sql,
                                           const std::string& where) {
    auto found = in.connection->Execute(sql, nullptr, execute_option::kCommandText);
    if (found->Eof()) return std::nullopt;
    const Decimal percentage = NzDecimal(found->Get(found->Field(0).name));
    CheckPercentage(percentage, where);
    return percentage;
  }

  std::vector<Assignment> Assign(Inputs& in, const Row& row) {
    const std::string company = std::to_string(in.company->company_number);
    const std::string item = "'" + SqlQuoted(row.item) + "'";
    std::string group;
    if (!row.item.empty()) {
      auto found = in.connection->Execute(
          "SELECT TV10_GRUPPOPROVV FROM TV10_ARTICOLIPROVV WHERE TV10_DITTA_CG18 = " + company +
              " AND TV10_CODART_MG66 = " + item,
          nullptr, execute_option::kCommandText);
      if (!found->Eof()) group = NzStr(found->Get("TV10_GRUPPOPROVV"));
    }
    std::vector<Assignment> assignments;
    for (int32_t agent : RowAgents(in, row)) {
      const std::string id = std::to_string(agent);
      const std::string key =
          " WHERE TV04_DITTA_CG18 = " + company + " AND TV04_IDAGENTE_TV03 = " + id;
      std::optional<Decimal> percentage;
      if (!row.item.empty()) {
        percentage = Percentage(
            in,
            "SELECT TV04_PERCPROV FROM TV04_AGENTIPROVV" + key + " AND TV04_CODART_MG66 = " + item,
            "TV04_AGENTIPROVV agent " + id + " item " + row.item);
      }
      if (!percentage && !group.empty()) {
        percentage = Percentage(
            in,
            "SELECT TV11_PERCPROV FROM TV11_AGENTIGRUPPIPROVV WHERE TV11_DITTA_CG18 = " + company +
                " AND TV11_IDAGENTE_TV03 = " + id + " AND TV11_GRUPPOPROVV = '" + SqlQuoted(group) +
                "'",
            "TV11_AGENTIGRUPPIPROVV agent " + id + " group " + group);
      }
      if (!percentage && in.customer != Variant(int16_t{0})) {
        percentage = Percentage(
            in,
            "SELECT TV12_PERCPROV FROM TV12_AGENTICLIENTIPROVV WHERE TV12_DITTA_CG18 = " + company +
                " AND TV12_IDAGENTE_TV03 = " + id + " AND TV12_CLIFOR_CG44 = " + in.customer.CStr(),
            "TV12_AGENTICLIENTIPROVV agent " + id + " customer " + in.customer.CStr());
      }
      if (!percentage) {
        percentage = Percentage(
            in, "SELECT TV04_PERCPROV FROM TV04_AGENTIPROVV" + key + " AND TV04_CODART_MG66 = ''",
            "TV04_AGENTIPROVV agent " + id + " every item");
      }
      assignments.push_back({agent, percentage.value_or(in.agent_data.at(agent).percentage)});
    }
    return assignments;
  }

  static Variant Commission(const Variant& base, const Decimal& percentage, int16_t decimals) {
    if (base.IsNull()) return Variant::Null();
    return Variant((NzDecimal(base) * percentage / Decimal(100)).RoundHalfAwayFromZero(decimals));
  }

  static void Write(Recordset& rs, std::string_view field, const Variant& value) {
    if (value.IsNull()) {
      if (!rs.Get(field).IsNull()) rs.Set(field, Variant::Null());
    } else if (rs.Get(field).IsNull() || rs.Get(field).IsEmpty()) {
      rs.Set(field, value);
    } else {
      WriteIfChanged(rs, field, value);
    }
  }

  // The row's lines become the plan: lines entered by hand stay, lines of
  // agents no longer on the document go.
  void WriteLines(Inputs& in, const Row& row, const std::vector<Assignment>& plan) {
    const int16_t decimals = in.company->AmountDecimals(in.company->currency_code).value_or(2);
    const int16_t decimals_val = in.company->AmountDecimals(in.currency).value_or(2);
    auto lines = GetRecordset(R::Recordset_DO32_DOCCORPOPROV)->Clone();
    lines->SetFilter("DO32_PROGRIGA = " + std::to_string(row.progressive));
    std::map<int32_t, Bookmark> automatic;
    std::vector<int32_t> by_hand;
    for (; !lines->Eof(); lines->MoveNext()) {
      const int32_t agent = NzDec(lines->Get("DO32_IDAGENTE_MG17")).CLng();
      if (NzDec(lines->Get("DO32_FLGVARPROV")) != Variant(int16_t{0})) {
        by_hand.push_back(agent);
      } else {
        automatic[agent] = lines->GetBookmark();
      }
    }
    for (const Assignment& a : plan) {
      if (std::find(by_hand.begin(), by_hand.end(), a.agent) != by_hand.end()) continue;
      const auto it = automatic.find(a.agent);
      if (it != automatic.end()) {
        lines->SetBookmark(it->second);
        automatic.erase(it);
      } else {
        lines->AddNew();
        lines->Set("DO32_DITTA_CG18", in.header->Get("DO11_DITTA_CG18"));
        lines->Set("DO32_NUMREG_CO99", in.header->Get("DO11_NUMREG_CO99"));
        lines->Set("DO32_PROGRIGA", Variant(row.progressive));
        lines->Set("DO32_IDAGENTE_MG17", Variant(a.agent));
        lines->Set("DO32_FLGVARPROV", Variant(int16_t{0}));
      }
      Write(*lines, "DO32_PERCPROV", Variant(a.percentage));
      Write(*lines, "DO32_IMPONPROV", row.net);
      Write(*lines, "DO32_IMPONPROV_VAL", row.net_val);
      Write(*lines, "DO32_IMPORPROV", Commission(row.net, a.percentage, decimals));
      Write(*lines, "DO32_IMPORPROV_VAL", Commission(row.net_val, a.percentage, decimals_val));
      lines->Update();
    }
    for (const auto& [agent, bookmark] : automatic) {
      lines->SetBookmark(bookmark);
      lines->Delete();
    }
  }

  std::map<int32_t, std::vector<Assignment>> assigned_;
  int32_t stato_ = 0;
  std::string description_;
};

}  // namespace

std::shared_ptr<CommissionCalculator> MakeCommissionCalculator() {
  return std::make_shared<CompanyCommissionCalculator>();
}

}  // namespace tarvolin
