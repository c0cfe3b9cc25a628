-- Demo company: Prairie Lantern Supply Co., company 1, a Texas distributor of camping
-- gear that sells into Texas, California and Tennessee and buys from Canada.
-- Company 2 exists only so that the company filters of the lookups have something to
-- leave out. Load after data/schema/company.sql. Dates are ISO text.
-- docs/schema.md walks through the tax setup and works the demo documents by hand.


------------------------------------------------------------------------------------
-- Companies, currencies, exchange rates
------------------------------------------------------------------------------------

INSERT INTO TV07_DITTE (TV07_DITTA, TV07_RAGSOC, TV07_STATO, TV07_VALUTA_CG08,
  TV07_GRUPPO_CG10, TV07_CONTOCLI_CG24, TV07_CONTOFOR_CG24, TV07_NUMDEC1, TV07_NUMDEC2,
  TV07_FLGDEFSEDE, TV07_FLGPARAMSDOC) VALUES
  (1, 'Prairie Lantern Supply Co.', 'TX', 'USD', 1, '1200', '2100', 3, 4, 1, 1),
  (2, 'Prairie Lantern Holdings LLC', 'TX', 'USD', 1, '1200', '2100', 3, 4, 0, 0);

-- JPY has no MG49 row for company 1: its price decimals there are 0.
INSERT INTO CG08_TABVALUTE (CG08_CODICE, CG08_DESCR, CG08_SIMBOLO, CG08_NUMDEC) VALUES
  ('CAD', 'Canadian dollar', 'C$', 2),
  ('EUR', 'Euro', 'EUR', 2),
  ('JPY', 'Japanese yen', 'JPY', 0),
  ('USD', 'US dollar', '$', 2);

INSERT INTO MG49_PARMAGAZDEC (MG49_DITTA_CG18, MG49_CODICE_CG08, MG49_NUMDEC) VALUES
  (1, 'USD', 4),
  (1, 'CAD', 4),
  (1, 'EUR', 3),
  (2, 'USD', 2);

-- Units of the currency per US dollar.
INSERT INTO TV06_CAMBI (TV06_CODICE_CG08, TV06_DATA, TV06_CAMBIO) VALUES
  ('CAD', '2026-01-02', 1.37250000),
  ('CAD', '2026-02-02', 1.36400000),
  ('CAD', '2026-03-02', 1.35850000),
  ('CAD', '2026-04-01', 1.36100000),
  ('CAD', '2026-07-01', 1.35200000),
  ('EUR', '2026-01-02', 0.92150000),
  ('EUR', '2026-02-02', 0.91800000),
  ('EUR', '2026-03-02', 0.92600000),
  ('EUR', '2026-04-01', 0.93000000),
  ('EUR', '2026-07-01', 0.91400000);

------------------------------------------------------------------------------------
-- Settings
------------------------------------------------------------------------------------

INSERT INTO FW95_SETTINGS (FW95_CODICE, FW95_VALORE, FW95_DESCR) VALUES
  ('NAV_DECIMALI_TASSE', '4', 'Decimals of intermediate sales-tax amounts');

INSERT INTO CO60_CONFVEXNAV (CO60_ID, CO60_DATABASE) VALUES (1, 'TVASSETS');

------------------------------------------------------------------------------------
-- US sales tax setup
------------------------------------------------------------------------------------

INSERT INTO NV04_TAXGROUP (NV04_CODE, NV04_DESCRIPTION) VALUES
  ('GENERAL',  'General merchandise'),
  ('CLOTHING', 'Clothing and footwear'),
  ('GROCERY',  'Groceries (food for home consumption)'),
  ('FREIGHT',  'Freight, delivery and handling charges'),
  ('SERVICES', 'Exempt services');

INSERT INTO NV02_TAXJURISDICTION (NV02_CODE, NV02_DESCRIPTION, NV02_CALCULATETAXONTAX,
  NV02_TAXACCOUNTSALES, NV02_TAXACCOUNTPURCHASES) VALUES
  ('TX-ST',     'Texas state sales tax',                 0, '2310', '1410'),
  ('TX-CO-PEC', 'Pecan County',                          0, '2310', '1410'),
  ('TX-CI-MSP', 'City of Mesquite Springs',              0, '2310', '1410'),
  ('TX-DI-MTA', 'Mesquite Springs Transit Authority',    0, '2310', '1410'),
  ('TX-DI-PEH', 'Pecan County Emergency Services Dist.', 0, '2310', '1410'),
  ('CA-ST',     'California state sales and use tax',    0, '2320', '1410'),
  ('CA-CO-TUL', 'Tule Basin County',                     0, '2320', '1410'),
  ('CA-CI-PMS', 'City of Port Marisol',                  0, '2320', '1410'),
  ('CA-DI-PMT', 'Port Marisol Transit District',         1, '2320', '1410'),
  ('TN-ST',     'Tennessee state sales tax',             0, '2330', '1410'),
  ('TN-CO-SYH', 'Sycamore Hollow County',                0, '2330', '1410');

-- Rounding: Texas areas to nearest, California up, Tennessee down. OUT-STATE has no
-- jurisdictions (sales where the company collects no tax).
INSERT INTO NV01_TAXAREA (NV01_CODE, NV01_DESCRIPTION, NV01_ROUNDTAX) VALUES
  ('TX-MSP',    'Mesquite Springs, TX (city)',               0),
  ('TX-PEC',    'Pecan County, TX (unincorporated)',         0),
  ('CA-PMS',    'Port Marisol, CA',                          1),
  ('TN-SYH',    'Sycamore Hollow County, TN',                2),
  ('OUT-STATE', 'Out of state, no sales tax collected',      0);

-- Calculation order: within a tax group the highest order is computed first, so the
-- state goes first and the district last (the Port Marisol district taxes the state,
-- county and city taxes too).
INSERT INTO NV03_TAXAREALINE (NV03_TAXAREACODE_NV01, NV03_TAXJURCODE_NV02,
  NV03_CALCULATIONORD) VALUES
  ('TX-MSP', 'TX-ST',     40),
  ('TX-MSP', 'TX-CO-PEC', 30),
  ('TX-MSP', 'TX-CI-MSP', 20),
  ('TX-MSP', 'TX-DI-MTA', 10),
  ('TX-PEC', 'TX-ST',     40),
  ('TX-PEC', 'TX-CO-PEC', 30),
  ('TX-PEC', 'TX-DI-PEH', 10),
  ('CA-PMS', 'CA-ST',     40),
  ('CA-PMS', 'CA-CO-TUL', 30),
  ('CA-PMS', 'CA-CI-PMS', 20),
  ('CA-PMS', 'CA-DI-PMT', 10),
  ('TN-SYH', 'TN-ST',     40),
  ('TN-SYH', 'TN-CO-SYH', 30);

-- Rates. Types: 0 sales tax, 1 excise, 2 sales and use, 3 use tax only; documents
-- read types 0 and 2 only. Groups a jurisdiction does not tax have no row there
-- (the tax-summary line then keeps a zero tax); the states carry explicit 0% rows for
-- exempt groups.
INSERT INTO NV05_TAXDETAIL (NV05_TAXJURCODE_NV02, NV05_TAXGROUPCODE_NV04, NV05_TAXTYPE,
  NV05_EFFECTIVEDATE, NV05_MAXIMUMAMOUNTQTY, NV05_TAXBELOWMAX, NV05_TAXABOVEMAX) VALUES
  -- Texas state: 6.25%, groceries and services exempt. The newer excise row (type 1)
  -- is never read by documents.
  ('TX-ST', 'GENERAL',  0, '2020-01-01', 0, 6.25, 0),
  ('TX-ST', 'CLOTHING', 0, '2020-01-01', 0, 6.25, 0),
  ('TX-ST', 'GROCERY',  0, '2020-01-01', 0, 0,    0),
  ('TX-ST', 'FREIGHT',  0, '2020-01-01', 0, 6.25, 0),
  ('TX-ST', 'SERVICES', 0, '2020-01-01', 0, 0,    0),
  ('TX-ST', 'GENERAL',  1, '2026-01-01', 0, 2.00, 0),
  -- Texas locals.
  ('TX-CO-PEC', 'GENERAL',  0, '2020-01-01', 0, 0.50, 0),
  ('TX-CO-PEC', 'CLOTHING', 0, '2020-01-01', 0, 0.50, 0),
  ('TX-CO-PEC', 'FREIGHT',  0, '2020-01-01', 0, 0.50, 0),
  -- Mesquite Springs raises its rate from 1.00% to 1.25% on 2026-07-01.
  ('TX-CI-MSP', 'GENERAL',  0, '2020-01-01', 0, 1.00, 0),
  ('TX-CI-MSP', 'CLOTHING', 0, '2020-01-01', 0, 1.00, 0),
  ('TX-CI-MSP', 'FREIGHT',  0, '2020-01-01', 0, 1.00, 0),
  ('TX-CI-MSP', 'GENERAL',  0, '2026-07-01', 0, 1.25, 0),
  ('TX-CI-MSP', 'CLOTHING', 0, '2026-07-01', 0, 1.25, 0),
  ('TX-CI-MSP', 'FREIGHT',  0, '2026-07-01', 0, 1.25, 0),
  ('TX-DI-MTA', 'GENERAL',  0, '2020-01-01', 0, 0.25, 0),
  ('TX-DI-MTA', 'CLOTHING', 0, '2020-01-01', 0, 0.25, 0),
  ('TX-DI-MTA', 'FREIGHT',  0, '2020-01-01', 0, 0.25, 0),
  ('TX-DI-PEH', 'GENERAL',  0, '2022-04-01', 0, 1.00, 0),
  ('TX-DI-PEH', 'CLOTHING', 0, '2022-04-01', 0, 1.00, 0),
  ('TX-DI-PEH', 'FREIGHT',  0, '2022-04-01', 0, 1.00, 0),
  -- California state: the sales-and-use row (type 2, 6.00%) wins over the sales-only
  -- row of the same date (type 0, 5.75%); the use-tax-only row (type 3) is never read.
  -- Groceries, freight and services exempt.
  ('CA-ST', 'GENERAL',  0, '2020-01-01', 0, 5.75, 0),
  ('CA-ST', 'GENERAL',  2, '2020-01-01', 0, 6.00, 0),
  ('CA-ST', 'GENERAL',  3, '2026-01-01', 0, 7.25, 0),
  ('CA-ST', 'CLOTHING', 2, '2020-01-01', 0, 6.00, 0),
  ('CA-ST', 'GROCERY',  2, '2020-01-01', 0, 0,    0),
  ('CA-ST', 'FREIGHT',  2, '2020-01-01', 0, 0,    0),
  ('CA-ST', 'SERVICES', 2, '2020-01-01', 0, 0,    0),
  -- California locals; the transit district computes tax on tax.
  ('CA-CO-TUL', 'GENERAL',  2, '2020-01-01', 0, 0.25, 0),
  ('CA-CO-TUL', 'CLOTHING', 2, '2020-01-01', 0, 0.25, 0),
  ('CA-CI-PMS', 'GENERAL',  2, '2020-01-01', 0, 1.00, 0),
  ('CA-CI-PMS', 'CLOTHING', 2, '2020-01-01', 0, 1.00, 0),
  ('CA-DI-PMT', 'GENERAL',  2, '2020-01-01', 0, 0.50, 0),
  ('CA-DI-PMT', 'CLOTHING', 2, '2020-01-01', 0, 0.50, 0),
  -- Tennessee state: 7%, groceries at the reduced 4%.
  ('TN-ST', 'GENERAL',  0, '2020-01-01', 0, 7.00, 0),
  ('TN-ST', 'CLOTHING', 0, '2020-01-01', 0, 7.00, 0),
  ('TN-ST', 'GROCERY',  0, '2020-01-01', 0, 4.00, 0),
  ('TN-ST', 'FREIGHT',  0, '2020-01-01', 0, 7.00, 0),
  ('TN-ST', 'SERVICES', 0, '2020-01-01', 0, 0,    0),
  -- Sycamore Hollow County: 2.25% on the first 1,600 dollars, nothing above
  -- (groceries without a cap).
  ('TN-CO-SYH', 'GENERAL',  0, '2020-01-01', 1600, 2.25, 0),
  ('TN-CO-SYH', 'CLOTHING', 0, '2020-01-01', 1600, 2.25, 0),
  ('TN-CO-SYH', 'FREIGHT',  0, '2020-01-01', 1600, 2.25, 0),
  ('TN-CO-SYH', 'GROCERY',  0, '2020-01-01', 0,    2.25, 0);

------------------------------------------------------------------------------------
-- Chart of accounts (group 1, shared by both companies) and banks
------------------------------------------------------------------------------------

INSERT INTO CG24_TABPDC (CG24_GRUPPO_CG10, CG24_CONTO, CG24_DESCR, CG24_INDATTPASSPOR) VALUES
  (1, '1010', 'Cash - operating account',        1),
  (1, '1200', 'Accounts receivable - trade',     1),
  (1, '1300', 'Merchandise inventory',           1),
  (1, '1410', 'Sales tax paid on purchases',     1),
  (1, '1510', 'Warehouse equipment',             1),
  (1, '1520', 'Delivery vehicles',               1),
  (1, '2100', 'Accounts payable - trade',        2),
  (1, '2310', 'Sales tax payable - Texas',       2),
  (1, '2320', 'Sales tax payable - California',  2),
  (1, '2330', 'Sales tax payable - Tennessee',   2),
  (1, '4010', 'Sales - general merchandise',     4),
  (1, '4020', 'Sales - apparel',                 4),
  (1, '4030', 'Sales - food',                    4),
  (1, '4100', 'Freight and handling income',     4),
  (1, '4200', 'Service revenue',                 4),
  (1, '5010', 'Purchases - merchandise',         3),
  (1, '5100', 'Freight-in',                      3),
  (1, '5200', 'Customs duty',                    3),
  (1, '6100', 'Bank and card fees',              3);

-- Company descriptions: 4010, 4020 and 5010 have one for company 1; 4010 has another
-- for company 2; every other account keeps the chart's description.
INSERT INTO CG39_PRSDESPDC (CG39_DITTA_CG18, CG39_GRUPPO_CG10, CG39_CONTO_CG24, CG39_DESCR) VALUES
  (1, 1, '4010', 'Sales - camping and lighting'),
  (1, 1, '4020', 'Sales - outdoor apparel and boots'),
  (1, 1, '5010', 'Purchases - camping gear'),
  (2, 1, '4010', 'Sales - intercompany recharges');

INSERT INTO EF08_BANCHE (EF08_DITTA_CG18, EF08_PROGR, EF08_DESCR, EF08_BANCA_CG12,
  EF08_CABCONTO_CG13, EF08_CABBONIF_CG13, EF08_NUMCONTO) VALUES
  (1, 1, 'Lone Prairie National Bank - operating', 31177, 1042, 1043, '0004417720981'),
  (1, 2, 'Pacific Marisol Bank - collections',     32245, 2210, 2211, '7720015533'),
  (2, 1, 'Lone Prairie National Bank - holding',   31177, 1042, 1043, '0004417729911');

------------------------------------------------------------------------------------
-- Document setup: types, landed costs, blocks, defaults, price-list priority
------------------------------------------------------------------------------------

INSERT INTO TV08_TIPIDOC (TV08_DITTA_CG18, TV08_CODDOCUM_MG36, TV08_DESCR, TV08_TIPOCF,
  TV08_TIPODOC, TV08_FLGGESOMAG, TV08_INDOMAGCOSTO, TV08_INDREGCON, TV08_INDCALCOLLI,
  TV08_INDCALVOLUME, TV08_INDCALPESOTOT, TV08_FLGPVSCPIE, TV08_FLGGESBLOCCHI,
  TV08_FLGBLOCCATO, TV08_CAUSBLOCCO, TV08_INDCAUBENIUS, TV08_INDREGPROV,
  TV08_TABPRIORLISPAR) VALUES
  (1, 'SINV', 'Sales invoice',             0, 1, 1, 1, 1, 0, 0, 0, 0, 1, 0, NULL, 0, 1, NULL),
  (1, 'SCRN', 'Sales credit note',         0, 6, 0, 0, 1, 0, 0, 0, 0, 0, 0, NULL, 0, 1, 2),
  (1, 'PINV', 'Purchase invoice',          1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, NULL, 0, 0, NULL),
  (1, 'PIMP', 'Import purchase invoice',   1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, NULL, 0, 0, NULL),
  (1, 'PRET', 'Purchase return',           1, 6, 0, 0, 1, 0, 0, 0, 0, 0, 0, NULL, 0, 0, NULL);

-- PINV loads transport only, PIMP transport and duty; SINV and SCRN load nothing;
-- PRET has no row at all (nothing is loaded either).
INSERT INTO NV07_DOCATTIVI (NV07_DITTA_CG18, NV07_CODDOCUM_MG36, NV07_FLGFE, NV07_FLGDE) VALUES
  (1, 'SINV', 0, 0),
  (1, 'SCRN', 0, 0),
  (1, 'PINV', 1, 0),
  (1, 'PIMP', 1, 1),
  (2, 'PIMP', 0, 0);

INSERT INTO MG3K_DOCBLOCCHI (MG3K_CODBLOCCO, MG3K_DESCR, MG3K_FLGSOSPSCAD) VALUES
  ('CREDIT',  'Credit hold: over credit limit',     1),
  ('PRICING', 'Price review pending',               0),
  ('RESALE',  'Resale certificate missing',         0);

-- Defaults of sales invoices: the generic row sorts first (NULL before values), so a
-- look-up with site finds it before the SALES group row.
INSERT INTO CO16_PARAMSDOC (CO16_DITTA_CG18, CO16_CODDOCUM_MG36, CO16_CODGRUPPO_FW06,
  CO16_CODUTENTE_FW07, CO16_CODSEDE_CG31, CO16_SEZ_CG68, CO16_DEP_MG58,
  CO16_IDPRIORITA_LP09) VALUES
  (1, 'SINV', NULL,    NULL,     NULL, 'S',  'MAIN', 1),
  (1, 'SINV', 'SALES', NULL,     2,    'SW', 'WEST', 3),
  (1, 'SINV', NULL,    'mreyes', NULL, 'SR', 'MAIN', NULL),
  (1, 'PINV', 'PURCH', NULL,     NULL, 'P',  'MAIN', NULL),
  (1, 'PIMP', NULL,    NULL,     1,    'PI', 'DOCK', NULL),
  (2, 'SINV', NULL,    NULL,     NULL, 'H',  'HQ',   4);

-- Company 1 has two preferred tables: the preferred-table query gives the higher id, 3.
INSERT INTO LP09_TESTATAPRIORITA (LP09_ID, LP09_DITTA_CG18, LP09_DESCR, LP09_FLGPREF) VALUES
  (1, 1, 'Retail price lists first',       1),
  (2, 1, 'Wholesale price lists first',    0),
  (3, 1, 'Contract customers first',       1),
  (4, 2, 'Holding company default',        1);

------------------------------------------------------------------------------------
-- Document expenses and their brackets (USD and CAD; none in EUR, so an expense on
-- a euro document comes out at 0)
------------------------------------------------------------------------------------

INSERT INTO MG04_SPESE (MG04_CODICE, MG04_DESCR, MG04_INDTIPOSPESA, MG04_INDTIPOTOT,
  MG04_INDTIPOALIQ, MG04_ALIQ_CG28) VALUES
  ('FRTPCT',    'Freight at a percentage of net goods',       1, 0, 0, NULL),
  ('HANDLING',  'Handling: percentage of gross goods + fee',  2, 1, 0, NULL),
  ('SHIPPING',  'Shipping by order value',                    3, 0, 0, NULL),
  ('INSURANCE', 'Transit insurance by document total',        4, 3, 0, NULL),
  ('CODFEE',    'Collect-on-delivery fee',                    5, 3, 1, NULL),
  ('MISC',      'Miscellaneous charge entered by hand',       0, 0, 0, NULL),
  ('FRTWEIGHT', 'Freight by order weight (lb)',               3, 2, 0, NULL),
  ('COLLECT',   'Collection charge: percentage of net goods', 1, 0, 0, NULL);

-- Kinds 1 and 2 use the lowest bracket whatever the base (HANDLING's 500 bracket);
-- kinds 3 to 5 the first bracket whose limit reaches the base.
INSERT INTO MG05_SCAGLSPESE (MG05_CODICE_MG04, MG05_CODICE_CG08, MG05_FINOA,
  MG05_IMPORTO, MG05_PERC) VALUES
  ('FRTPCT',    'USD', 999999999, 0,     3.00),
  ('FRTPCT',    'CAD', 999999999, 0,     3.50),
  ('HANDLING',  'USD', 500,       5.00,  1.00),
  ('HANDLING',  'USD', 999999999, 0,     0.50),
  ('HANDLING',  'CAD', 700,       7.00,  1.00),
  ('HANDLING',  'CAD', 999999999, 0,     0.50),
  ('SHIPPING',  'USD', 99.99,     12.00, 0),
  ('SHIPPING',  'USD', 499.99,    25.00, 0),
  ('SHIPPING',  'USD', 999999999, 0,     0),
  ('SHIPPING',  'CAD', 149.99,    18.00, 0),
  ('SHIPPING',  'CAD', 699.99,    35.00, 0),
  ('SHIPPING',  'CAD', 999999999, 0,     0),
  ('INSURANCE', 'USD', 1000,      0,     1.50),
  ('INSURANCE', 'USD', 10000,     0,     1.00),
  ('INSURANCE', 'USD', 999999999, 0,     0.50),
  ('INSURANCE', 'CAD', 1500,      0,     1.50),
  ('INSURANCE', 'CAD', 15000,     0,     1.00),
  ('INSURANCE', 'CAD', 999999999, 0,     0.50),
  ('CODFEE',    'USD', 500,       3.00,  2.00),
  ('CODFEE',    'USD', 999999999, 5.00,  1.00),
  ('CODFEE',    'CAD', 700,       4.00,  2.00),
  ('CODFEE',    'CAD', 999999999, 7.00,  1.00),
  -- Freight by the order's gross weight in lb (the expense base of totals kind 2);
  -- nothing above 500 lb, which ships by quote.
  ('FRTWEIGHT', 'USD', 50,        15.00, 0),
  ('FRTWEIGHT', 'USD', 150,       35.00, 0),
  ('FRTWEIGHT', 'USD', 500,       60.00, 0),
  ('FRTWEIGHT', 'CAD', 50,        20.00, 0),
  ('FRTWEIGHT', 'CAD', 150,       48.00, 0),
  ('FRTWEIGHT', 'CAD', 500,       82.00, 0),
  ('COLLECT',   'USD', 999999999, 0,     1.50),
  ('COLLECT',   'CAD', 999999999, 0,     1.75);

------------------------------------------------------------------------------------
-- Payment terms, agents, customers and suppliers
------------------------------------------------------------------------------------

INSERT INTO TV01_PAGAMENTI (TV01_CODICE, TV01_DESCR, TV01_INDIVA, TV01_SPBOLLI,
  TV01_SPINCASSO, TV01_IMPFISSO, TV01_INDIMPFISSO) VALUES
  ('NET30',    'Net 30 days',                                        0, 0, 0,    0,   0),
  ('3I306090', 'Three drafts at 30/60/90 days end of month, tax first', 1, 0, 2.50, 0, 0),
  ('DEP30',    'Deposit of 500 on order, balance net 30',            0, 0, 0,    500, 1),
  ('CARD',     'Card payment on order',                              0, 0, 0,    0,   0);

INSERT INTO TV02_PAGAMENTIRATE (TV02_CODICE_TV01, TV02_NUMRATA, TV02_PERC, TV02_GIORNI,
  TV02_FLGFINEMESE, TV02_TIPOEFF, TV02_STIPOEFF) VALUES
  ('NET30',    1, 100,   30, 0, 1, NULL),
  ('3I306090', 1, 33.33, 30, 1, 2, '1'),
  ('3I306090', 2, 33.33, 60, 1, 2, '1'),
  ('3I306090', 3, 33.34, 90, 1, 2, '1'),
  ('DEP30',    1, 0,     0,  0, 1, NULL),
  ('DEP30',    2, 100,   30, 0, 1, NULL),
  ('CARD',     1, 100,   0,  0, 3, NULL);

-- Terms for the payment-terms calculator's own cases: percentages that do not add
-- up to 100 (the last installment takes the rest) with a stamp on each, and terms
-- whose installments are not set up yet.
INSERT INTO TV01_PAGAMENTI (TV01_CODICE, TV01_DESCR, TV01_INDIVA, TV01_SPBOLLI,
  TV01_SPINCASSO, TV01_IMPFISSO, TV01_INDIMPFISSO) VALUES
  ('SPLIT5030', '50% on order, the rest at 30 days (set up as 30%)', 0, 1.00, 0, 0, 0),
  ('NOINST',    'Installments not set up yet',                      0, 0,    0, 0, 0);

INSERT INTO TV02_PAGAMENTIRATE (TV02_CODICE_TV01, TV02_NUMRATA, TV02_PERC, TV02_GIORNI,
  TV02_FLGFINEMESE, TV02_TIPOEFF, TV02_STIPOEFF) VALUES
  ('SPLIT5030', 1, 50,    0,  0, 1, NULL),
  ('SPLIT5030', 2, 30,    30, 0, 9, NULL);

-- Ortega and Pettibone work in Texas under Rosalind Achterberg, the area manager (105).
INSERT INTO TV03_AGENTI (TV03_DITTA_CG18, TV03_IDAGENTE, TV03_NOME, TV03_PERCPROV,
  TV03_FLGATTIVO, TV03_IDCAPOAREA_TV03) VALUES
  (1, 101, 'Marisol Ortega',          5.00, 1, 105),
  (1, 102, 'Dwayne Pettibone',        3.50, 1, 105),
  (1, 103, 'Harbor Coast Reps LLC',   7.00, 1, NULL),
  (1, 104, 'Clement Oyelaran',        4.00, 0, NULL),
  (1, 105, 'Rosalind Achterberg',     1.00, 1, NULL);

-- Ortega earns 6% on boots and 2% on coffee; Harbor Coast 6.5% on everything;
-- Achterberg 1.25% on everything.
INSERT INTO TV04_AGENTIPROVV (TV04_DITTA_CG18, TV04_IDAGENTE_TV03, TV04_CODART_MG66,
  TV04_PERCPROV) VALUES
  (1, 101, 'BOOT-WX',    6.00),
  (1, 101, 'COFFEE-1LB', 2.00),
  (1, 103, '',           6.50),
  (1, 105, '',           1.25);

INSERT INTO TV10_ARTICOLIPROVV (TV10_DITTA_CG18, TV10_CODART_MG66, TV10_GRUPPOPROVV) VALUES
  (1, 'LANT-LED',   'LIGHT'),
  (1, 'STOVE-2B',   'COOK'),
  (1, 'TENT-4P',    'SHELTER'),
  (1, 'BOOT-WX',    'APPAREL'),
  (1, 'COFFEE-1LB', 'FOOD');

-- Ortega earns 4.5% on cooking gear; Achterberg 1.5% on shelters.
INSERT INTO TV11_AGENTIGRUPPIPROVV (TV11_DITTA_CG18, TV11_IDAGENTE_TV03, TV11_GRUPPOPROVV,
  TV11_PERCPROV) VALUES
  (1, 101, 'COOK',    4.50),
  (1, 105, 'SHELTER', 1.50);

-- Pettibone has 4% on everything Cedar Creek Outfitters buys.
INSERT INTO TV12_AGENTICLIENTIPROVV (TV12_DITTA_CG18, TV12_IDAGENTE_TV03, TV12_CLIFOR_CG44,
  TV12_PERCPROV) VALUES
  (1, 102, 1001, 4.00);

INSERT INTO TV09_CLIFOR (TV09_DITTA_CG18, TV09_TIPOCF, TV09_CODICE, TV09_RAGSOC,
  TV09_STATO, TV09_TAXAREA_NV01, TV09_FLGTAXLIABLE, TV09_VALUTA_CG08, TV09_CODPAG_TV01,
  TV09_IDAGENTE_TV03, TV09_BANCA_CG12, TV09_CODCAB_CG13) VALUES
  (1, 0, 1001, 'Cedar Creek Outfitters',             'TX', 'TX-MSP',    1, 'USD', 'NET30',    101, 40512, 330),
  (1, 0, 1002, 'Port Marisol Trail Co-op',           'CA', 'CA-PMS',    1, 'USD', '3I306090', 103, 51120, 118),
  (1, 0, 1003, 'Sycamore Hollow General Store',      'TN', 'TN-SYH',    1, 'USD', 'NET30',    102, 60233, 75),
  (1, 0, 1004, 'Pecan County Volunteer Fire Dept.',  'TX', 'TX-PEC',    0, 'USD', 'NET30',    NULL, NULL, NULL),
  (1, 0, 1005, 'Northern Lights Camping Ltd.',       NULL, 'OUT-STATE', 0, 'CAD', 'CARD',     NULL, NULL, NULL),
  (1, 1, 2001, 'Great Lakes Tentworks Inc.',         NULL, NULL,        0, 'CAD', 'NET30',    NULL, NULL, NULL),
  (1, 1, 2002, 'Lone Star Lantern Wholesale',        'TX', NULL,        0, 'USD', 'NET30',    NULL, NULL, NULL),
  (1, 1, 2003, 'Hanseatische Kocher GmbH',           NULL, NULL,        0, 'EUR', 'DEP30',    NULL, NULL, NULL);

------------------------------------------------------------------------------------
-- Unit landed costs (company currency) read by FNMG_GETSPTRASPMP (kind 1) and
-- FNMG_GETSPDAZIMP (kind 2)
------------------------------------------------------------------------------------

INSERT INTO TV05_COSTIUNITARI (TV05_DITTA_CG18, TV05_INDTIPOCOSTO, TV05_CODART_MG66,
  TV05_OPZIONE_MG5E, TV05_DATAINIZIO, TV05_COSTOUNIT) VALUES
  (1, 1, 'LANT-LED', '',      '2025-01-01', 0.85),
  (1, 1, 'LANT-LED', '',      '2026-07-01', 0.95),
  (1, 1, 'TENT-4P',  '',      '2025-01-01', 4.00),
  (1, 1, 'TENT-4P',  'GREEN', '2025-01-01', 4.50),
  (1, 1, 'BOOT-WX',  '',      '2025-01-01', 1.01),
  (1, 1, 'STOVE-2B', '',      '2025-06-01', 2.20),
  (1, 2, 'LANT-LED', '',      '2025-01-01', 1.20),
  (1, 2, 'TENT-4P',  '',      '2025-01-01', 7.35),
  (1, 2, 'BOOT-WX',  '',      '2025-01-01', 4.80),
  (1, 2, 'BOOT-WX',  '',      '2026-07-01', 5.10),
  (2, 1, 'LANT-LED', '',      '2025-01-01', 0.70);

------------------------------------------------------------------------------------
-- Demo documents (totals, tax summary and schedule are left for the engine)
--   2026000101 sales invoice, Mesquite Springs TX, agent 101, handling expense row
--   2026000102 sales invoice, Port Marisol CA, agent 103, blocked for credit
--   2026000103 sales invoice, Sycamore Hollow County TN, one article above 1,600
--   2026000201 import purchase invoice from Canada in CAD, with an asset row
------------------------------------------------------------------------------------

INSERT INTO DO11_DOCTESTATA (DO11_DITTA_CG18, DO11_NUMREG_CO99, DO11_DOCUM_MG36,
  DO11_ID_CO1A, DO11_NUMDOC, DO11_DATADOC, DO11_TIPODOC, DO11_STIPODOC,
  DO11_INDTIPOCODCF, DO11_TIPOCF_CG44, DO11_CLIFOR_CG44, DO11_CODSEDE_CG31,
  DO11_VALUTA_CG08, DO11_CAMBIO, DO11_DATACAMBIO, DO11_TAXAREA_NV01, DO11_FLGTAXLIABLE,
  DO11_CODPAG_CG62, DO11_PROGR_EF08, DO11_BANCA_CG12, DO11_CODCAB_CG13) VALUES
  (1, '2026000101', 'SINV', 11, 101, '2026-03-16', 1, 0, 1, 0, 1001, 1,
   'USD', 1, '2026-03-16', 'TX-MSP', 1, 'NET30', 1, 40512, 330),
  (1, '2026000102', 'SINV', 11, 102, '2026-03-18', 1, 0, 1, 0, 1002, 2,
   'USD', 1, '2026-03-18', 'CA-PMS', 1, '3I306090', 2, 51120, 118),
  (1, '2026000103', 'SINV', 11, 103, '2026-03-20', 1, 0, 1, 0, 1003, 1,
   'USD', 1, '2026-03-20', 'TN-SYH', 1, 'NET30', 1, 60233, 75),
  (1, '2026000201', 'PIMP', 21, 7731, '2026-03-10', 1, 0, 2, 1, 2001, 1,
   'CAD', 1.3585, '2026-03-02', NULL, 0, 'NET30', 1, NULL, NULL);

INSERT INTO DO13_DOCTOTALI (DO13_DITTA_CG18, DO13_NUMREG_CO99) VALUES
  (1, '2026000101'), (1, '2026000102'), (1, '2026000103'), (1, '2026000201');

INSERT INTO DO14_DOCDATIACC (DO14_DITTA_CG18, DO14_NUMREG_CO99) VALUES
  (1, '2026000101'), (1, '2026000102'), (1, '2026000103'), (1, '2026000201');

INSERT INTO DO30_DOCCORPO (DO30_DITTA_CG18, DO30_NUMREG_CO99, DO30_PROGRIGA,
  DO30_INDTIPORIGA, DO30_INDTIPODATI, DO30_CODART_MG66, DO30_OPZIONE_MG5E, DO30_DESCRART,
  DO30_CODSPESA_MG04, DO30_QTA1, DO30_COLLI, DO30_PREZZO1, DO30_PREZZO1IVA,
  DO30_IMPORTO, DO30_IMPORTO_VAL, DO30_IMPNETSCP, DO30_IMPNETSCP_VAL, DO30_COSTOTOT,
  DO30_INDTOTALIZ, DO30_PESOL, DO30_PESON, DO30_VOLUME, DO30_CPMERCE_CG24,
  DO30_ASSETCODE, DO30_TAXGROUP_NV04) VALUES
  -- Mesquite Springs, TX
  (1, '2026000101', 1, 0, 0, 'LANT-LED',   NULL, 'LED camp lantern, 400 lumen', NULL,
   10, 1, 39.90, 39.90, 399.00, NULL, 399.00, NULL, 182.00, 1, 0.62, 0.55, 0.0041, '4010', NULL, 'GENERAL'),
  (1, '2026000101', 2, 0, 0, 'BOOT-WX',    NULL, 'Waterproof hiking boot', NULL,
   2, 1, 129.00, 129.00, 258.00, NULL, 258.00, NULL, 122.00, 2, 1.45, 1.30, 0.0120, '4020', NULL, 'CLOTHING'),
  (1, '2026000101', 3, 0, 0, 'COFFEE-1LB', NULL, 'Trail blend coffee, 1 lb', NULL,
   12, 1, 11.50, 11.50, 138.00, NULL, 138.00, NULL, 73.20, 3, 0.48, 0.45, 0.0015, '4030', NULL, 'GROCERY'),
  (1, '2026000101', 4, 4, 3, NULL,         NULL, 'Handling', 'HANDLING',
   1, 0, 0, 0, 0, NULL, 0, NULL, 0, 1, 0, 0, 0, '4100', NULL, 'FREIGHT'),
  -- Port Marisol, CA
  (1, '2026000102', 1, 0, 0, 'TENT-4P',    'GREEN', '4-person dome tent, green', NULL,
   4, 4, 250.00, 250.00, 1000.00, NULL, 1000.00, NULL, 520.00, 1, 6.80, 6.20, 0.0450, '4010', NULL, 'GENERAL'),
  -- Sycamore Hollow County, TN
  (1, '2026000103', 1, 0, 0, 'GENSET-3K',  NULL, '3,000 W inverter generator', NULL,
   1, 1, 2500.00, 2500.00, 2500.00, NULL, 2500.00, NULL, 1710.00, 1, 31.00, 28.50, 0.1300, '4010', NULL, 'GENERAL'),
  -- Import from Canada: amounts in USD (plain) and CAD (_VAL) at 1.3585
  (1, '2026000201', 1, 0, 0, 'TENT-4P',    'GREEN', '4-person dome tent, green', NULL,
   40, 40, 160.00, 160.00, 4711.08, 6400.00, 4711.08, 6400.00, 0, 1, 6.80, 6.20, 0.0450, '5010', NULL, NULL),
  (1, '2026000201', 2, 0, 0, 'LANT-LED',   NULL, 'LED camp lantern, 400 lumen', NULL,
   200, 10, 24.50, 24.50, 3606.92, 4900.00, 3606.92, 4900.00, 0, 1, 0.62, 0.55, 0.0041, '5010', NULL, NULL),
  (1, '2026000201', 3, 0, 0, 'RACK-12',    NULL, 'Pallet racking, 12 bays', NULL,
   1, 1, 3395.00, 3395.00, 2499.08, 3395.00, 2499.08, 3395.00, 0, 1, 0, 0, 0, '1510', 'FA-0004', NULL);

INSERT INTO DO29_DOCTESAGENTI (DO29_DITTA_CG18, DO29_NUMREG_CO99, DO29_IDAGENTE_MG17,
  DO29_FLGAGERIFER) VALUES
  (1, '2026000101', 101, 1),
  (1, '2026000102', 103, 1),
  (1, '2026000103', 102, 1);

INSERT INTO DO32_DOCCORPOPROV (DO32_DITTA_CG18, DO32_NUMREG_CO99, DO32_PROGRIGA,
  DO32_IDAGENTE_MG17, DO32_PERCPROV, DO32_IMPONPROV, DO32_IMPORPROV) VALUES
  (1, '2026000101', 1, 101, 5.00, 399.00, 19.95),
  (1, '2026000101', 2, 101, 6.00, 258.00, 15.48),
  (1, '2026000101', 3, 101, 2.00, 138.00, 2.76),
  (1, '2026000102', 1, 103, 6.50, 1000.00, 65.00),
  (1, '2026000103', 1, 102, 3.50, 2500.00, 87.50);

INSERT INTO DO21_DOCAGENTI (DO21_DITTA_CG18, DO21_NUMREG_CO99, DO21_IDAGENTE_MG17,
  DO21_IMPONPROV, DO21_IMPORPROV, DO21_PROVMEDIA) VALUES
  (1, '2026000101', 101, 795.00, 38.19, 4.80377),
  (1, '2026000102', 103, 1000.00, 65.00, 6.50),
  (1, '2026000103', 102, 2500.00, 87.50, 3.50);

-- The Port Marisol invoice is on credit hold: its installments are suspended.
INSERT INTO DO66_DOCTESTABLOCCHI (DO66_DITTA_CG18, DO66_NUMREG_CO99, DO66_CODBLOCCO_MG3K,
  DO66_FLGBLOCCATO, DO66_FLGSOSPSCAD) VALUES
  (1, '2026000102', 'CREDIT', 1, 1);

