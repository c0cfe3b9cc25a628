// Services on single body rows: the modified-rows list, the discount detail of
// a row, and the test for expense rows that VAT extraction must not reduce.
#include "engine/engine_object.h"
#include "tarvolin/automation/error_policy.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {

void CLSMG_TARVOLIN::AddRigaModificata(std::shared_ptr<Recordset>& RecordsetCorpo) {
  if (!RequireCc()->Services().ModifiedRowTracking()) return;
  if (!RecordsetCorpo) Raise(err::kObjectNotSet, "AddRigaModificata", "no body recordset");
  const Variant& parent = RecordsetCorpo->Get("DO30_PROGPADRE");
  // A row never given a parent reads Empty here; it has no parent either.
  const int32_t key = (parent.IsNull() || parent.IsEmpty())
                          ? RecordsetCorpo->Get("DO30_PROGRIGA").CLng()
                          : parent.CLng();
  VariantArray& entries = arr_righe_modificate_.mutable_array();
  if (num_righe_modificate_ > 0 && static_cast<size_t>(num_righe_modificate_) > entries.size()) {
    Raise(err::kSubscriptOutOfRange, "AddRigaModificata",
          "NumRigheModificate is " + std::to_string(num_righe_modificate_) +
              " but the list holds " + std::to_string(entries.size()) + " rows");
  }
  // The keys of the first NumRigheModificate entries, so that a pass over n
  // rows costs O(n); rebuilt when the host or the driver changed the count.
  if (modified_keys_count_ != num_righe_modificate_) {
    modified_keys_.clear();
    for (int i = 0; i < num_righe_modificate_; ++i) {
      modified_keys_.insert(entries[static_cast<size_t>(i)].CLng());
    }
    modified_keys_count_ = num_righe_modificate_;
  }
  if (modified_keys_.count(key) != 0) return;
  // The count is a 16-bit Integer, as the host reads it.
  if (num_righe_modificate_ == INT16_MAX) {
    Raise(err::kOverflow, "AddRigaModificata", "more than 32767 modified rows");
  }
  ++num_righe_modificate_;
  entries.resize(static_cast<size_t>(num_righe_modificate_));
  entries.back() = Variant(key);
  modified_keys_.insert(key);
  modified_keys_count_ = num_righe_modificate_;
}

void CLSMG_TARVOLIN::ClearDettaglioSConti(std::shared_ptr<Recordset>& fclsDocCorpo) {
  // The label has no colon: it is the one the procedure has always used.
  WithLabel("MemorizzaScontoArt26", [&] {
    auto details = RequireCc()->Recordsets().Get(DocumentTable::kDiscountDetail);
    if (!details) Raise(err::kObjectNotSet, "ClearDettaglioSConti", "no discount detail");
    auto clone = details->Clone();
    clone->SetFilter("DO69_DITTA_CG18 = " + fclsDocCorpo->Get("DO30_DITTA_CG18").CStr() +
                     " AND DO69_NUMREG_CO99 = '" +
                     SqlQuoted(fclsDocCorpo->Get("DO30_NUMREG_CO99").CStr()) +
                     "' AND DO69_PROGRIGA_DO30 = " + fclsDocCorpo->Get("DO30_PROGRIGA").CStr());
    while (clone->RecordCount() > 0) {
      clone->MoveFirst();
      clone->Delete();
    }
  });
}

bool CLSMG_TARVOLIN::RigaSpesaNonDefiscalizzabile(std::shared_ptr<Recordset>& fclsRstCorpo) {
  return WithLabel("RigaSpesaNonDefiscalizzabile:", [&] {
    if (!fclsRstCorpo || fclsRstCorpo->Bof() || fclsRstCorpo->Eof()) return false;
    return NzDec(fclsRstCorpo->Get("DO30_INDTIPORIGA")) == Variant(int16_t{4}) &&
           NzDec(fclsRstCorpo->Get("DO30_FLGSPDEFILE")) == Variant(int16_t{0});
  });
}

}  // namespace tarvolin
