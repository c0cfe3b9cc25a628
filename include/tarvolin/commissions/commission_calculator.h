// The commission calculator: assigns each body row and agent a commission
// regime and writes the row's commission lines (DO32_DOCCORPOPROV). The engine
// hands it clones of the document's recordsets (so what it writes is the
// document), runs one method and reads back a result code in stato.
//
// One calculator lives in the document (CommissionSwitches::calculator); the
// engine makes one with MakeCommissionCalculator the first time it needs it,
// and gives it the connection, the company and the preferences reader then
// only. A host or a test may put its own there beforehand.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "tarvolin/automation/variant.h"
#include "tarvolin/recordset/recordset.h"

namespace tarvolin {

class Connection;
class CurrentCompany;
class PreferencesReader;

// The recordset properties, named as the calculator's properties are.
enum class CommissionRecordset {
  Recordset_DO11_DOCTESTATA,
  Recordset_DO13_DOCTOTALI,
  Recordset_DO14_DOCDATIACC,
  Recordset_DO29_DOCTESAGENTI,
  Recordset_DO30_DOCCORPO,
  Recordset_DO31_DOCCORPOORD,
  Recordset_DO32_DOCCORPOPROV,
  Recordset_DO39_DOCCORPOCONF,
  Recordset_DO41_DOCCORPOPROGE,
  Recordset_DO69_DOCCORPOSCMAG,
};
inline constexpr int kCommissionRecordsetCount = 10;

// The result codes of stato (0: done).
namespace commission_result {
inline constexpr int32_t kDone = 0;
inline constexpr int32_t kValidation = 1;        // a document value the calculator cannot read
inline constexpr int32_t kNoParameters = 2;      // connection, company or recordsets missing
inline constexpr int32_t kInvalidRegime = 3;     // a percentage below 0 or above 100
inline constexpr int32_t kPriceRecovery = 4;     // not given by our calculator
inline constexpr int32_t kNoAgentData = 5;       // an agent without master data
inline constexpr int32_t kTheoreticalPrice = 6;  // not given by our calculator
inline constexpr int32_t kRuntimeError = 99;
}  // namespace commission_result

class CommissionCalculator : public Object {
 public:
  std::string_view TypeName() const override { return "CommissionCalculator"; }

  // Properties. The setters are virtual so a host can watch what it is given.
  virtual void set_ADOConnection(std::shared_ptr<Connection> value) {
    connection_ = std::move(value);
  }
  virtual void set_ClsDittaCorrente(std::shared_ptr<CurrentCompany> value) {
    company_ = std::move(value);
  }
  virtual void set_ClsLeggoPre(std::shared_ptr<PreferencesReader> value) {
    preferences_ = std::move(value);
  }
  // nullptr is Nothing.
  virtual void SetRecordset(CommissionRecordset which, std::shared_ptr<Recordset> value) {
    recordsets_[static_cast<int>(which)] = std::move(value);
  }
  virtual void set_NomeTabellaDO67Temp(std::string value) { do67_temp_table_ = std::move(value); }
  virtual void set_TabellaPrioritaLisPRecuperoPrezzi(std::string value) {
    priority_table_ = std::move(value);
  }

  const std::shared_ptr<Connection>& ADOConnection() const { return connection_; }
  const std::shared_ptr<CurrentCompany>& ClsDittaCorrente() const { return company_; }
  const std::shared_ptr<PreferencesReader>& ClsLeggoPre() const { return preferences_; }
  const std::shared_ptr<Recordset>& GetRecordset(CommissionRecordset which) const {
    return recordsets_[static_cast<int>(which)];
  }
  const std::string& NomeTabellaDO67Temp() const { return do67_temp_table_; }
  const std::string& TabellaPrioritaLisPRecuperoPrezzi() const { return priority_table_; }

  // Methods: never throw; a failure is a code in stato.
  virtual void ImpostaRegimiProvvigioni() = 0;
  virtual void CalcolaProvvigioni() = 0;
  virtual int32_t stato() const = 0;
  // Why the last method failed, naming the table and key; "" when it did not.
  virtual std::string description() const { return {}; }

 private:
  std::shared_ptr<Connection> connection_;
  std::shared_ptr<CurrentCompany> company_;
  std::shared_ptr<PreferencesReader> preferences_;
  std::shared_ptr<Recordset> recordsets_[kCommissionRecordsetCount];
  std::string do67_temp_table_;
  std::string priority_table_;
};

// Our calculator over the company's agents and regimes (TV03_AGENTI and the
// regime tables); its rules are in docs/commissions.md.
std::shared_ptr<CommissionCalculator> MakeCommissionCalculator();

}  // namespace tarvolin
