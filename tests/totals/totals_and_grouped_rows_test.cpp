#include <gtest/gtest.h>

#include "engine/engine_object.h"
#include "support/errors.h"
#include "tarvolin/engine/value_helpers.h"
#include "tarvolin/host/host_document.h"

namespace tarvolin {
namespace {

Decimal D(const char* text) { return Decimal::Parse(text); }

std::shared_ptr<HostDocument> Document() {
  auto company = std::make_shared<CurrentCompany>();
  company->company_number = 1;
  company->currency_code = "USD";
  return std::make_shared<HostDocument>(company);
}

class GroupedRows : public ::testing::Test {
 protected:
  void SetUp() override {
    document_ = Document();
    engine_ = std::make_shared<CLSMG_TARVOLIN>(nullptr);
    engine_->set_cc(document_);
    body_ = NewDocumentRecordset(DocumentTable::kBody);
    grouped_ = NewDocumentRecordset(DocumentTable::kGroupedRows);
    order_ = NewDocumentRecordset(DocumentTable::kBodyOrderData);
    // Row 1 plain; row 10 a grid whose members are rows 11 and 12.
    AddBody(1, Variant::Null(), "2", "20.00", "Lantern");
    AddBody(11, Variant(int32_t{10}), "2", "30.00", "Boot 9");
    AddBody(12, Variant(int32_t{10}), "3", "45.00", "Boot 10");
    AddGrouped(1, 0, "1", "Lantern");
    AddGrouped(10, 1, "99", "Boots by size");
    AddGrouped(20, 0, "4", "Deleted row");
    AppendRow(*order_, {});
    order_->Set("DO31_PROGRIGA", Variant(int32_t{11}));
    order_->Set("DO31_QTA1CONS", Variant(D("1")));
    AppendRow(*order_, {});
    order_->Set("DO31_PROGRIGA", Variant(int32_t{12}));
    order_->Set("DO31_QTA1CONS", Variant(D("2")));
    document_->Set(DocumentTable::kBody, body_);
    document_->Set(DocumentTable::kGroupedRows, grouped_);
    document_->Set(DocumentTable::kBodyOrderData, order_);
  }
  void AddBody(int progressive, Variant parent, const char* qty, const char* amount,
               const char* description) {
    AppendRow(*body_, {});
    body_->Set("DO30_PROGRIGA", Variant(int32_t{progressive}));
    body_->Set("DO30_PROGPADRE", parent);
    body_->Set("DO30_QTA1", Variant(D(qty)));
    body_->Set("DO30_IMPORTO", Variant(D(amount)));
    body_->Set("DO30_DESCRART", Variant(description));
  }
  void AddGrouped(int progressive, int grid, const char* qty, const char* description) {
    AppendRow(*grouped_, {});
    grouped_->Set("DO30_PROGRIGA", Variant(int32_t{progressive}));
    grouped_->Set("GRIGLIA", Variant(int16_t(grid)));
    grouped_->Set("DO30_QTA1", Variant(D(qty)));
    grouped_->Set("DO30_DESCRART", Variant(description));
  }
  const Variant& GroupedField(int progressive, const char* field) {
    grouped_->MoveFirst();
    grouped_->Find("DO30_PROGRIGA = " + std::to_string(progressive));
    return grouped_->Get(field);
  }

  std::shared_ptr<HostDocument> document_;
  std::shared_ptr<CLSMG_TARVOLIN> engine_;
  std::shared_ptr<Recordset> body_, grouped_, order_;
};

TEST_F(GroupedRows, AFieldThatCannotBeCopiedCostsThatFieldOnly) {
  // A grouped view whose description holds 5 characters: "Lantern" cannot be copied.
  std::vector<FieldInfo> fields;
  for (int i = 0; i < grouped_->FieldCount(); ++i) {
    FieldInfo field = grouped_->Field(i);
    if (field.name == "DO30_DESCRART") field.defined_size = 5;
    fields.push_back(field);
  }
  auto narrow = MakeRecordset(fields);
  AppendRow(*narrow, {});
  narrow->Set("DO30_PROGRIGA", Variant(int32_t{1}));
  narrow->Set("GRIGLIA", Variant(int16_t{0}));
  document_->Set(DocumentTable::kGroupedRows, narrow);
  AppendRow(*order_, {});
  order_->Set("DO31_PROGRIGA", Variant(int32_t{1}));
  order_->Set("DO31_QTA1CONS", Variant(D("7")));

  // Go on: the fields after the description and the row's order data still follow.
  document_->set_error_answer(5);
  engine_->SyncDocCorpoRaggr(1);
  ASSERT_EQ(document_->asked_errors().size(), 1u);
  EXPECT_EQ(document_->asked_errors()[0].procedure, "SyncDocCorpoRaggr");
  EXPECT_EQ(document_->asked_errors()[0].number, err::kWrongValueType);
  narrow->MoveFirst();
  EXPECT_TRUE(narrow->Get("DO30_DESCRART").IsEmpty());
  EXPECT_EQ(narrow->Get("DO30_QTA1").dec(), D("2"));
  EXPECT_EQ(narrow->Get("DO30_IMPORTO").dec(), D("20.00"));
  EXPECT_EQ(narrow->Get("DO31_QTA1CONS").dec(), D("7"));

  // Leave: nothing after the failed field is copied, and the caller sees no error.
  narrow->Set("DO30_IMPORTO", Variant(D("1")));
  document_->set_error_answer(3);
  engine_->SyncDocCorpoRaggr(1);
  EXPECT_EQ(document_->asked_errors().size(), 2u);
  EXPECT_EQ(narrow->Get("DO30_IMPORTO").dec(), D("1"));
}

TEST_F(GroupedRows, AStatementThatFailsOnceIsRetriedExactlyOrPassedOver) {
  const auto rows = [&] {
    std::string out;
    auto cursor = grouped_->Clone();
    for (cursor->MoveFirst(); !cursor->Eof(); cursor->MoveNext()) {
      for (int i = 0; i < cursor->FieldCount(); ++i) out += cursor->Get(FieldRef(i)).Describe();
      out += "\n";
    }
    return out;
  };
  using testing_support::StatementFaults;
  // Each run on the fixture's rows as they were: a statement passed over may
  // leave a grouped row mirroring another row, for good.
  const auto sync = [&](std::shared_ptr<StatementFaults> faults) {
    SetUp();
    document_->set_error_service(std::move(faults));
    engine_->SyncDocCorpoRaggr(0);
    return rows();
  };
  auto counter = std::make_shared<StatementFaults>("SyncDocCorpoRaggr", 3);
  const std::string clean = sync(counter);
  ASSERT_GT(counter->statements, 100);
  for (int n = 1; n <= counter->statements; ++n) {
    auto retried = std::make_shared<StatementFaults>("SyncDocCorpoRaggr", 4);
    retried->fail_at = n;
    EXPECT_EQ(sync(retried), clean) << "statement " << n << " retried";
    auto passed_over = std::make_shared<StatementFaults>("SyncDocCorpoRaggr", 5);
    passed_over->fail_at = n;
    sync(passed_over);  // completes, whatever it had to pass over
  }
}

}  // namespace
}  // namespace tarvolin
