// The engine object behind ICLSMG_TARVOLIN: its state, the caches of one
// engine and the private procedures the subsystems share. Only the engine's
// own sources and the tests that call private procedures include it; hosts
// hold the interface (tarvolin/engine/engine.h).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "tarvolin/engine/engine.h"

namespace tarvolin {

// Work cursors the counterpart procedures reuse from row to row.
struct LedgerCursors;

class CLSMG_TARVOLIN : public ICLSMG_TARVOLIN {
 public:
  // helper_factory makes the calculation helper on first use of Cls_Calcoli.
  explicit CLSMG_TARVOLIN(CalculationHelperFactory helper_factory);
  ~CLSMG_TARVOLIN() override;

  std::shared_ptr<CoreDocument> cc() const override { return cc_; }
  void set_cc(std::shared_ptr<CoreDocument> value) override { cc_ = std::move(value); }
  std::shared_ptr<Connection> ADOConnection() const override { return connection_; }
  void set_ADOConnection(std::shared_ptr<Connection> value) override {
    connection_ = std::move(value);
  }
  std::shared_ptr<FrameworkSession> ActiveInterface() const override { return session_; }
  void set_ActiveInterface(std::shared_ptr<FrameworkSession> value) override {
    session_ = std::move(value);
  }
  std::string ADOConnectionString() const override { return connection_string_; }
  void set_ADOConnectionString(std::string value) override {
    connection_string_ = std::move(value);
  }
  int16_t NumRigheModificate() const override { return num_righe_modificate_; }
  void set_NumRigheModificate(int16_t value) override { num_righe_modificate_ = value; }
  Variant ArrRigheModificate() const override { return arr_righe_modificate_; }
  std::shared_ptr<CalculationHelper> Cls_Calcoli() override;

  void RicalcolaTotaliDaRigheCorpo(bool ImportoNettoScontiPiede, bool ContropartiteCastellettoIva,
                                   bool TotaliDocumento, bool Scadenze, bool UltimoProgressivoRiga,
                                   bool TotaliProvvigioni) override;
  void RicalcolaScadenze() override;
  void Terminate() override;
  Variant InValutaAzienda(const Variant& ImportoBase, const Variant& Cambio) override;
  void AddRigaModificata(std::shared_ptr<Recordset>& RecordsetCorpo) override;
  void ClearDettaglioSConti(std::shared_ptr<Recordset>& fclsDocCorpo) override;
  Variant CalcolaIncidenza(const Variant& ImportoBase, const Variant& ImportoTotale,
                           int16_t CifreDiPrecisione) override;
  void AggiungiContropartitaDaCorpo(std::shared_ptr<Recordset> RecordsetCorpo) override;
  double RoundN(double Number, int32_t NumDigitsAfterDecimal) override;
  Variant Arrotondamento(const Variant& ImportoBase, int32_t TipoCampo,
                         const Variant& CodiceValuta) override;
  bool RigaSpesaNonDefiscalizzabile(std::shared_ptr<Recordset>& fclsRstCorpo) override;
  void ImpostaPrezziPerRigaDaLordo(std::shared_ptr<Recordset>& fclsRstTestata,
                                   std::shared_ptr<Recordset>& fclsRstCorpo,
                                   const Variant& fvarPrezzoLordo, int16_t fintUM,
                                   bool fbolIvaCompresa) override;
  void AddScadenza(std::shared_ptr<Recordset>& RecordsetScadenze,
                   const AddScadenzaArgs& args) override;
  bool FindValuta(const Variant& CodiceValuta) override;
  void CambiaDocCorpoPrezzo1Rel(std::shared_ptr<Recordset>& fclsRstCorpo, const Variant& Num,
                                bool FlagRicalcolaPrezzo2, bool FlagRicalcolaPrezzoCF) override;
  void CambiaDocCorpoPrezzo2Rel(std::shared_ptr<Recordset>& fclsRstCorpo, const Variant& Num,
                                bool FlagRicalcolaPrezzo1, bool FlagRicalcolaPrezzoCF) override;
  void CambiaDocCorpoPrezzoCFRel(std::shared_ptr<Recordset>& fclsRstCorpo, const Variant& Num,
                                 bool FlagRicalcolaPrezzo1, bool FlagRicalcolaPrezzo2) override;
  std::string CLSMG_QUENDOR_GetTabellaPrioritaListiniP_TabellaPreferenziale(
      const std::optional<Variant>& fvarDitta) override;
  void OpenCastIva(const std::optional<std::string>& str_appendToWhere) override;
  void RegistraContropartite() override;
  void RegistraCastellettoIVA() override;
  void AzzeramentoSpeseTrasportoACosto() override;
  void AnnotazioneSpeseTrasportoACosto() override;
  void AzzeramentoSpeseDaziACosto() override;
  void AnnotazioneSpeseDaziACosto() override;
  void set_trace(CalculationTrace* trace) override { trace_ = trace; }
  CalculationTrace* trace() const { return trace_; }

  // Private procedures, reachable for tests and for the engine's own parts.
  std::string GetTestoMessaggio(const std::string& Testo, int32_t Numero, const Variant& Parametri);
  std::shared_ptr<Recordset> CopiaRecordset(std::shared_ptr<Recordset>& Origine);
  void GetRecordsetValute();

  // The five tax-detail caches, created on first use.
  Dictionary& DictTaxDetailFound();
  Dictionary& DictTaxMaxAmountQty();
  Dictionary& DictTaxBelowMax();
  Dictionary& DictTaxAboveMax();
  Dictionary& DictTaxOnTax();
  // Whether a cache exists (tests: Terminate releases them).
  bool HasTaxDetailCaches() const;

  int16_t DecimaliTasse() const { return decimali_tasse_; }

  // ---- US sales tax: setup lookups (src/ustax/tax_setup.cpp) ----
  // Fills the four values (maximum amount, percentage below and above it, tax
  // on tax) for a jurisdiction and tax group; false when the setup has no rate.
  bool GetTaxDetails(const std::string& jurisdiction, const std::string& group, Variant& MaxAmount,
                     Variant& TaxBelowMax, Variant& TaxAboveMax, Variant& CalcTaxOnTax);
  bool ReloadTaxAreaLines();
  void GetDecimaliTasse();
  std::string GetVexNavDb();
  std::string GetTaxGroupDescr(const std::string& code);
  std::string GetTaxJurisdictionDescr(const std::string& code);
  const std::shared_ptr<Recordset>& RstTaxAreaLines() const { return rst_tax_area_lines_; }
  const std::string& LoadedTaxArea() const { return tax_area_lines_loaded_for_; }

  // ---- US sales tax: calculation (src/ustax/tax_calculation.cpp) ----
  void CalculateTax();
  Variant RoundUsa(const Variant& value, const Variant& decimals);
  Variant RoundUPUsa(const Variant& value, const Variant& decimals);
  Variant RoundDWUsa(const Variant& value, const Variant& decimals);
  void ImpostaTotSTaxRighe();
  void ImpostaTotSTaxGruppo(const std::string& group, const Variant& total);
  Variant GetTotaleTasse();

  // ---- Body-row pass (src/totals/body_row_pass.cpp) ----
  // The working values the driver hands the pass, in the pass's argument order.
  struct BodyPassArgs {
    bool TotaliDocumento = true;
    bool ImportoNettoScontiPiede = true;
    bool ContropartiteCastellettoIva = true;
    bool UltimoProgressivoRiga = true;
    bool TotaliProvvigioni = true;
    std::shared_ptr<Recordset> RstCorpo;   // the body rows
    std::shared_ptr<Recordset> RstLavoro;  // work recordset, left cleared
    bool EscludiContabilita = false;
    bool DocInValutaAzienda = true;
    bool HaSpese = false;        // out
    bool SpeseTipoTot3 = false;  // out: an expense based on totals kind 3
    bool SpeseTipoTot0 = false;  // out: an expense based on totals kind 0
    int16_t NumSpese = 0;        // in and out: entries of the expense arrays
    Variant AzzeraPerRiga;       // set to the Integer 0 on every row not skipped
    Variant ScPerMerce1, ScPerMerce2, ScPerMerce3;
    int32_t ProgRigaUltimaScontabile = 0;
    Variant ResiduoScImpMerce, ResiduoScImpArt26;        // remaining, company currency
    Variant ResiduoScImpMerceVal, ResiduoScImpArt26Val;  // remaining, document currency
    Variant TotScImpMerce, TotScImpArt26;                // totals, company currency
    Variant TotScImpMerceVal, TotScImpArt26Val;          // totals, document currency
    std::string CodiceValuta;
    VariantArray* AccumulatoriTotali = nullptr;  // the 52 accumulators
    std::shared_ptr<Recordset> RstProvv;         // the commission lines
  };
  void RicalcolaTotaliDaRigheCorpo_CicloRighe(BodyPassArgs& args);
  // The expense rows the pass collected (1-based in meaning, 0-based here).
  const std::vector<int32_t>& ArrSpeseProgRiga() const { return arr_spese_prog_riga_; }
  const std::vector<int16_t>& ArrSpeseTipoSpesa() const { return arr_spese_tipo_spesa_; }
  const std::vector<int16_t>& ArrSpeseTipoTot() const { return arr_spese_tipo_tot_; }
  const std::vector<int16_t>& ArrSpeseTipoAliq() const { return arr_spese_tipo_aliq_; }

  // ---- Calculated expenses (src/totals/document_expenses.cpp) ----
  // The driver's working values for the expense calculation; the
  // accumulators it reads and adds to (8-15, 26-31) are AccumulatoriTotali's.
  struct ExpenseArgs {
    int16_t NumSpese = 0;                      // entries of the expense arrays
    std::shared_ptr<Recordset> RstCorpo;       // the body rows (a clone)
    std::shared_ptr<Recordset> RecordLinkato;  // out: the last linked record found
    std::string CodiceValuta;                  // the document currency
    std::shared_ptr<Recordset> RstLavoro;      // work recordset, left cleared
    bool DocInValutaAzienda = true;
    bool ContropartiteCastellettoIva = true;
    bool TotaliDocumento = true;
    Variant* AliquotaRiga = nullptr;             // the row's rate work value (may be null)
    VariantArray* AccumulatoriTotali = nullptr;  // the 52 accumulators
  };
  void RicalcolaTotaliDaRigheCorpo_CalcoloSpese(ExpenseArgs& args);

  // ---- Payment schedule (src/schedule/) ----
  // True when the rebuilt schedule differs from the old one in what matters.
  bool ScadenzeDiverse(const std::shared_ptr<Recordset>& old_schedule,
                       const std::shared_ptr<Recordset>& new_schedule);

  // ---- Totals persistence and grouped rows (src/totals/) ----
  // The 52 accumulators of a recalculation, handed to the document as the
  // 36 keyed totals.
  static constexpr int kAccumulatorCount = 52;
  void SalvaTotali(VariantArray& Totali);
  // Brings the grouped rows of ProgRiga (0: all) in step with the body rows.
  void SyncDocCorpoRaggr(int32_t ProgRiga);

  // ---- Ledger (src/ledger/) ----
  void AggiungiImponibileTassa(const std::string& jurisdiction, const std::string& group,
                               const std::string& account, const std::string& asset,
                               const Variant& amount, int16_t order, const Variant& rounding);
  std::string SqlTesto(const Variant& value, bool null_if_blank);
  std::string SqlNumero(const Variant& value, bool null_if_zero);

  // ---- Agent commissions (src/commissions/) and document defaults (src/pricing/) ----
  // BookmarkRiga: a bookmark of the body rows (Bookmark::ToVariant); absent:
  // the calculator's rows follow the document's current row, sort and filter.
  void ImpostaProvvigioni(const std::optional<Variant>& BookmarkRiga = std::nullopt);
  void RicalcolaProvvigioni(const std::optional<Variant>& BookmarkRiga = std::nullopt);
  // Tipo: 0 section, 1 deposit, 2 price-list priority table. A blank
  // CodDocumento is filled from the header. Risultato: the value, or "".
  void GetValoreDefault(int16_t& Tipo, std::string& CodDocumento, Variant& Risultato);
  Variant GetTabellaPrioritaListiniP();

 private:
  friend class DocumentRecalculation;
  friend class CounterpartPosting;
  // The interface the engine calls its own members through.
  ICLSMG_TARVOLIN& Self() { return *this; }
  std::shared_ptr<CoreDocument> RequireCc() const;
  std::shared_ptr<Connection> RequireConnection() const;
  static Dictionary& Lazy(std::shared_ptr<Dictionary>& slot);
  LedgerCursors& Cursors();

  CalculationHelperFactory helper_factory_;
  std::shared_ptr<CoreDocument> cc_;
  std::shared_ptr<Connection> connection_;
  std::shared_ptr<FrameworkSession> session_;
  std::string connection_string_;
  std::shared_ptr<CalculationHelper> cls_calcoli_;
  int16_t num_righe_modificate_ = 0;
  Variant arr_righe_modificate_ = Variant(VariantArray{});
  std::unordered_set<int32_t> modified_keys_;  // keys of the list, for AddRigaModificata
  int16_t modified_keys_count_ = 0;
  std::vector<int32_t> arr_spese_prog_riga_;
  std::vector<int16_t> arr_spese_tipo_spesa_;
  std::vector<int16_t> arr_spese_tipo_tot_;
  std::vector<int16_t> arr_spese_tipo_aliq_;
  std::shared_ptr<Recordset> rst_tax_area_lines_;
  std::string tax_area_lines_loaded_for_;
  std::shared_ptr<Dictionary> dict_tax_detail_found_;
  std::shared_ptr<Dictionary> dict_tax_max_amount_qty_;
  std::shared_ptr<Dictionary> dict_tax_below_max_;
  std::shared_ptr<Dictionary> dict_tax_above_max_;
  std::shared_ptr<Dictionary> dict_tax_on_tax_;
  int16_t decimali_tasse_ = 0;
  std::shared_ptr<LedgerCursors> ledger_cursors_;
  // How deep the related-unit price changes are nested (a loop is stopped).
  int price_change_depth_ = 0;
  CalculationTrace* trace_ = nullptr;
};

}  // namespace tarvolin
