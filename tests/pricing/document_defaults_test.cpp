// Document defaults and the price-list priority table, against the demo
// company's CO16_PARAMSDOC and LP09_TESTATAPRIORITA rows.
#include <gtest/gtest.h>

#include <string>

#include "engine/statements.h"
#include "support/documents.h"
#include "support/errors.h"
#include "tarvolin/engine/value_helpers.h"

namespace tarvolin {
namespace {

using testing_support::Raises;

class DocumentDefaults : public testing_support::EngineBench {
 protected:
  DocumentDefaults() {
    header_->Set("DO11_ID_CO1A", Variant(int32_t{11}));
    engine_->set_ActiveInterface(std::make_shared<HostSession>("jdoe", "SALES"));
  }
  Variant Priority() { return engine_->GetTabellaPrioritaListiniP(); }
  int16_t Origin() { return document_->commissions().Switches().default_origin; }
};

TEST_F(DocumentDefaults, PriorityTableFromParametersQueriesAndFallbacks) {
  const struct {
    const char* about;
    const char* document;
    Variant site;
    int16_t site_defaults;
    int32_t company;
    Variant setting;  // TABPRIORLISPAR
    int expected;
    int16_t origin;
  } kCases[] = {
      // The generic row (group and user Null) sorts before the SALES row of site 2.
      {"with site", "SINV", Variant(int32_t{2}), 1, 1, Variant(), 1, 2},
      // No site on the document: compared with 0, only rows without a site match.
      {"site Null", "SINV", Variant::Null(), 1, 1, Variant(), 1, 2},
      {"without site", "SINV", Variant(int32_t{2}), 0, 1, Variant(), 1, 3},
      {"document type's setting", "SCRN", Variant(), 1, 1, Variant(int16_t{2}), 2, 0},
      // Two preferred tables: the higher id.
      {"preferred of two", "SCRN", Variant(), 1, 1, Variant::Null(), 3, 0},
      {"the one preferred", "SCRN", Variant(), 1, 2, Variant(), 4, 0},
      {"nothing anywhere", "SCRN", Variant(), 1, 3, Variant(), 0, 0},
  };
  for (const auto& c : kCases) {
    header_->Set("DO11_DOCUM_MG36", Variant(c.document));
    header_->Set("DO11_CODSEDE_CG31", c.site);
    company_->site_defaults = c.site_defaults;
    company_->company_number = c.company;
    document_->SetDocumentSetting("TABPRIORLISPAR", c.setting);
    EXPECT_EQ(Priority(), Variant(int16_t(c.expected))) << c.about;
    EXPECT_EQ(Origin(), c.origin) << c.about;
  }
}

TEST_F(DocumentDefaults, TheDocumentParametersObjectComesFirst) {
  company_->site_defaults = 1;
  auto service = std::make_shared<HostDocumentParameters>();
  service->entries.push_back({11, "sinv", Variant("X"), Variant(""), Variant(int32_t{7})});
  company_->document_parameters = service;
  header_->Set("DO11_DOCUM_MG36", Variant("SINV"));
  EXPECT_EQ(Priority(), Variant(int32_t{7}));
  EXPECT_EQ(Origin(), 1);
  ASSERT_TRUE(document_->commissions().Switches().current_parameters);
  EXPECT_TRUE(document_->commissions().Switches().current_parameters->found);

  // A blank deposit is not found there: the query with site gives the generic row's.
  int16_t kind = 1;
  std::string code;
  Variant value;
  engine_->GetValoreDefault(kind, code, value);
  EXPECT_EQ(code, "SINV");
  EXPECT_EQ(NzStr(value), "MAIN");
  EXPECT_EQ(Origin(), 2);

  // Switched off, or without a session, the service is not asked.
  service->enabled = false;
  EXPECT_EQ(Priority(), Variant(int32_t{1}));
  service->enabled = true;
  engine_->set_ActiveInterface(nullptr);
  EXPECT_EQ(Priority(), Variant(int32_t{1}));
}

TEST_F(DocumentDefaults, PreferredTableStatementAndErrors) {
  ICLSMG_TARVOLIN& api = *engine_;
  EXPECT_EQ(api.CLSMG_QUENDOR_GetTabellaPrioritaListiniP_TabellaPreferenziale(),
            statements::PreferredPriority(std::nullopt));
  EXPECT_EQ(api.CLSMG_QUENDOR_GetTabellaPrioritaListiniP_TabellaPreferenziale(Variant("7.0")),
            statements::PreferredPriority("7"));

  engine_->set_ADOConnection(nullptr);
  header_->Set("DO11_DOCUM_MG36", Variant("SCRN"));
  EXPECT_TRUE(Raises([&] { Priority(); }, err::kObjectNotSet,
                     "GetTabellaPrioritaListiniP:\r\nGetValoreDefault:\r\n", "ADOConnection"));
}

}  // namespace
}  // namespace tarvolin
