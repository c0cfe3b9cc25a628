// The 52 totals a recalculation carries from its passes to the header writes
// and to the totals handed to the document, one fixed meaning per slot. Every
// amount's document-currency twin is the slot after it (Val). Slots 38 to 51
// are carried along and read by nobody.
#pragma once

#include <cstddef>

namespace tarvolin::acc {

enum Slot : size_t {
  kFootDiscountBase = 0,  // DO30_IMPORTO of the rows that take foot discounts
  kQuantity1 = 2,
  kQuantity2 = 3,
  kPackages = 4,
  kGrossWeight = 5,
  kNetWeight = 6,
  kVolume = 7,
  kSundryExpenses1 = 8,  // DO13_TOTSPVAR1..4 at 8, 10, 12, 14
  kSundryExpenses2 = 10,
  kSundryExpenses3 = 12,
  kSundryExpenses4 = 14,
  kGoods1 = 16,  // DO13_TOTMERCE1..4 at 16, 18, 20, 22
  kGoods2 = 18,
  kGoods3 = 20,
  kGoods4 = 22,
  kCost = 24,
  kGrossGoods = 26,
  kNetGoods = 28,
  kTaxable = 30,
  kTax = 32,
  kToPay = 34,
  kDocumentTotal = 36,
};

// The document-currency twin of an amount slot.
constexpr size_t Val(Slot slot) { return static_cast<size_t>(slot) + 1; }

}  // namespace tarvolin::acc
