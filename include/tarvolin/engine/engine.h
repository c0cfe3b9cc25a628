// CLSMG_TARVOLIN: the document-recalculation engine, as the host sees it.
// The host makes one with CreateEngine, sets cc, ADOConnection and
// ActiveInterface, calls members, and calls Terminate when done. The engine
// calls its own public members through this interface, as the host does, so
// one code path serves both.
//
// Errors are raised, not returned. Unless a member says otherwise, an error is
// raised again with the member's label ("Name:", CR LF, the incoming source)
// at the head of its source chain; 91 when cc or ADOConnection is needed and
// not set. Members that "ask the error service" put each failed statement to
// cc's error service instead: 4 retries it, 5 goes on with the next, any other
// answer leaves the member without raising.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "tarvolin/automation/dictionary.h"
#include "tarvolin/db/connection.h"
#include "tarvolin/engine/core_document.h"

namespace tarvolin {

// The engine's public interface, in slot order.
class CalculationTrace;

class ICLSMG_TARVOLIN : public Object {
 public:
  std::string_view TypeName() const override { return "CLSMG_TARVOLIN"; }

  // 1-7: properties. Plain accessors of what the host set: no handler, nothing
  // raised of their own.
  virtual std::shared_ptr<CoreDocument> cc() const = 0;
  virtual void set_cc(std::shared_ptr<CoreDocument> value) = 0;
  virtual std::shared_ptr<Connection> ADOConnection() const = 0;
  virtual void set_ADOConnection(std::shared_ptr<Connection> value) = 0;
  virtual std::shared_ptr<FrameworkSession> ActiveInterface() const = 0;
  virtual void set_ActiveInterface(std::shared_ptr<FrameworkSession> value) = 0;
  virtual std::string ADOConnectionString() const = 0;
  virtual void set_ADOConnectionString(std::string value) = 0;
  virtual int16_t NumRigheModificate() const = 0;
  virtual void set_NumRigheModificate(int16_t value) = 0;
  // The body rows edited since the list was last reset (DO30_PROGRIGA, or the
  // parent's DO30_PROGPADRE), 1 to NumRigheModificate; a copy.
  virtual Variant ArrRigheModificate() const = 0;
  // The calculation helper, made on first use and handed cc's current company;
  // a failure (cc not set: 91) reaches the caller unlabelled.
  virtual std::shared_ptr<CalculationHelper> Cls_Calcoli() = 0;

  // 8-32: methods.
  // Recalculates the document from its body rows: reads cc's recordsets and the
  // company database, writes row net amounts, totals, counterparts and USA74,
  // the schedule and commissions (each part behind its flag) and hands cc the
  // totals. Resets the edited-rows list. Label "RicalcolaTotaliDaRigheCorpo:".
  virtual void RicalcolaTotaliDaRigheCorpo(bool ImportoNettoScontiPiede = true,
                                           bool ContropartiteCastellettoIva = true,
                                           bool TotaliDocumento = true, bool Scadenze = true,
                                           bool UltimoProgressivoRiga = true,
                                           bool TotaliProvvigioni = true) = 0;
  // Rebuilds the payment schedule through the payment-terms calculator or from
  // the hand-entered installments, and writes the schedule totals. Does nothing
  // without cc; asks the error service; a calculator failure is a message.
  virtual void RicalcolaScadenze() = 0;
  // Releases cc, the connection, the session, the calculation helper and the
  // caches; ignores every error. The edited-rows list and the connection string
  // stay.
  virtual void Terminate() = 0;
  // The observer told how the figures are reached (calculation_trace.h), or
  // nullptr (the default) for none. Not owned: it must outlive the calls it
  // observes. Terminate keeps it: it is the host's, not the document's.
  virtual void set_trace(CalculationTrace* trace) = 0;
  // ImportoBase / Cambio rounded to 2 decimals; the Integer 0 for a rate of 0.
  // No handler: conversion errors reach the caller unlabelled.
  virtual Variant InValutaAzienda(const Variant& ImportoBase, const Variant& Cambio) = 0;
  // Adds the current row of RecordsetCorpo (or its parent) to the edited-rows
  // list once, when cc tracks edited rows. Raises under source
  // "AddRigaModificata": 91 without a recordset, 6 past 32767 rows.
  virtual void AddRigaModificata(std::shared_ptr<Recordset>& RecordsetCorpo) = 0;
  // Deletes the discount detail (DO69) of the current row of fclsDocCorpo.
  // Label "MemorizzaScontoArt26" (no colon).
  virtual void ClearDettaglioSConti(std::shared_ptr<Recordset>& fclsDocCorpo) = 0;
  // ImportoBase as a percentage of ImportoTotale, rounded to CifreDiPrecisione;
  // the Integer 0 when either is 0. Errors reach the caller unlabelled.
  virtual Variant CalcolaIncidenza(const Variant& ImportoBase, const Variant& ImportoTotale,
                                   int16_t CifreDiPrecisione = 6) = 0;
  // Adds the current body row to its counterpart (CG42) and, for a tax-liable
  // document, its taxable base to the USA74 lines of the tax area; loads the
  // area's lines from the database when the area changed.
  virtual void AggiungiContropartitaDaCorpo(std::shared_ptr<Recordset> RecordsetCorpo) = 0;
  // Rounds half away from zero; 6 when the result is not finite. No handler.
  virtual double RoundN(double Number, int32_t NumDigitsAfterDecimal = 0) = 0;
  // Rounds to the decimals TipoCampo names (below); for prices and amounts it
  // makes CodiceValuta cc's current currency. Any other kind rounds to 0.
  static constexpr int32_t kFirstDecimals = 0;   // the company's first setting
  static constexpr int32_t kPriceDecimals = 1;   // the price decimals of CodiceValuta
  static constexpr int32_t kAmountDecimals = 2;  // the amount decimals of CodiceValuta
  static constexpr int32_t kSecondDecimals = 3;  // the company's second setting
  virtual Variant Arrotondamento(const Variant& ImportoBase, int32_t TipoCampo,
                                 const Variant& CodiceValuta) = 0;
  // Whether the current row is an expense row whose tax is not deducted;
  // false with no current row. Reads only the row.
  virtual bool RigaSpesaNonDefiscalizzabile(std::shared_ptr<Recordset>& fclsRstCorpo) = 0;
  // Sets the row's price in unit fintUM (1-3) from a price entered gross or
  // net of the row's rate, and through the related-unit change the other two.
  virtual void ImpostaPrezziPerRigaDaLordo(std::shared_ptr<Recordset>& fclsRstTestata,
                                           std::shared_ptr<Recordset>& fclsRstCorpo,
                                           const Variant& fvarPrezzoLordo, int16_t fintUM,
                                           bool fbolIvaCompresa) = 0;
  // Appends one installment to RecordsetScadenze, filled from args and from
  // cc's header and totals; 91 without the recordset, header or totals.
  // AddScadenzaArgs holds the arguments in declaration order.
  struct AddScadenzaArgs;
  virtual void AddScadenza(std::shared_ptr<Recordset>& RecordsetScadenze,
                           const AddScadenzaArgs& args) = 0;
  // Makes CodiceValuta cc's current currency with its amount and price
  // decimals, reading the currencies from the database when needed; false (and
  // 2 and 2 decimals) for a code the database does not have.
  virtual bool FindValuta(const Variant& CodiceValuta) = 0;
  // The three related-unit price changes: write the row's price in one unit
  // (Num, when given) and recompute the prices the flags name, the discounts
  // and the row amounts. They ask the error service; a loop of changes stops.
  virtual void CambiaDocCorpoPrezzo1Rel(std::shared_ptr<Recordset>& fclsRstCorpo,
                                        const Variant& Num, bool FlagRicalcolaPrezzo2 = false,
                                        bool FlagRicalcolaPrezzoCF = false) = 0;
  virtual void CambiaDocCorpoPrezzo2Rel(std::shared_ptr<Recordset>& fclsRstCorpo,
                                        const Variant& Num, bool FlagRicalcolaPrezzo1 = false,
                                        bool FlagRicalcolaPrezzoCF = false) = 0;
  virtual void CambiaDocCorpoPrezzoCFRel(std::shared_ptr<Recordset>& fclsRstCorpo,
                                         const Variant& Num, bool FlagRicalcolaPrezzo1 = false,
                                         bool FlagRicalcolaPrezzo2 = false) = 0;
  // The statement that reads the preferred price-list priority table, with
  // fvarDitta put in for the company when given. Runs nothing.
  virtual std::string CLSMG_QUENDOR_GetTabellaPrioritaListiniP_TabellaPreferenziale(
      const std::optional<Variant>& fvarDitta = std::nullopt) = 0;
  // Gives cc a new, empty tax-summary recordset (USA74) in place of the old
  // one; str_appendToWhere is not used. Label "OpenCastIva:".
  virtual void OpenCastIva(const std::optional<std::string>& str_appendToWhere = std::nullopt) = 0;
  // RegistraContropartite replaces the document's stored DO73_DOCCONTROPARTITE
  // rows with cc's counterparts, RegistraCastellettoIVA its DO74_USATAX rows
  // with USA74 (delete, then insert); the host runs both in one transaction.
  virtual void RegistraContropartite() = 0;
  virtual void RegistraCastellettoIVA() = 0;
  // Landed costs: take the transport or duty cost recorded on the goods rows
  // back out (Azzeramento) or load it again from the database's cost functions
  // (Annotazione), for document types that carry it.
  virtual void AzzeramentoSpeseTrasportoACosto() = 0;
  virtual void AnnotazioneSpeseTrasportoACosto() = 0;
  virtual void AzzeramentoSpeseDaziACosto() = 0;
  virtual void AnnotazioneSpeseDaziACosto() = 0;
};

struct ICLSMG_TARVOLIN::AddScadenzaArgs {
  int16_t IndConto = 0;
  std::string CodiceConto;
  std::string CodiceValuta;
  bool DocumentoIntraOrNoClienteFornitore = false;
  int16_t TotaleRate = 0;
  std::string CodiceAgente;
  std::string CondizioneDiPagamento;
  int16_t TipoEffetto = 0;
  std::string SottoTipoEffetto;
  Date DataScadenza;
  Variant ImportoScadenzaEuro, ImportoScadenzaValuta, ImportoIvaEuro, ImportoIvaValuta,
      ImportoRitenutaEuro, ImportoRitenutaValuta, BolliEuro, BolliValuta, SpeseIncassoEuro,
      SpeseIncassoValuta, ImportoAbbuono, ImportoAcconto, ImportoPagato, ImportoScontoIncondEuro,
      ImportoScontoIncondValuta, ImportoOmaggiNoRivEuro, ImportoOmaggiNoRivValuta;
  bool ScadenzaSospesa = false;
  Variant BancaPresentazione, AgenziaPresentazione;
  std::optional<Variant> ProgressivoBanca, DataDecorrenza, TipoMerce;
};

using CalculationHelperFactory = std::function<std::shared_ptr<CalculationHelper>()>;

// A new engine with nothing set; helper_factory makes the calculation helper on
// first use of Cls_Calcoli (without one, Cls_Calcoli raises 91).
std::shared_ptr<ICLSMG_TARVOLIN> CreateEngine(CalculationHelperFactory helper_factory);

}  // namespace tarvolin
