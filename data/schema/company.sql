-- Company database of Tarvolin (SQLite).
--
-- Names follow the company database: a module prefix of letters and a table number,
-- then the name (DO30_DOCCORPO); a column that refers to another table ends with
-- that table's prefix (DO11_VALUTA_CG08). Declared types are read by the C++ layer
-- to type recordset fields, so only these spellings are used: SMALLINT, INT, BIGINT,
-- DECIMAL(p,s), FLOAT, VARCHAR(n), CHAR(n), DATETIME, BIT.
--
-- Conventions (docs/schema.md says more):
--   * dates are ISO text, 'YYYY-MM-DD' (or 'YYYY-MM-DD HH:MM:SS'), so that text
--     comparison is date comparison;
--   * amounts, prices, quantities, weights: DECIMAL(18,5); percentages DECIMAL(9,5);
--     exchange rates and conversion factors DECIMAL(18,8); the stored tax summary keeps
--     the precision of the engine's tax-summary fields (DECIMAL(13,2), DECIMAL(38,20));
--   * flags and indicators are SMALLINT (0/1 or small codes), ids and progressives INT;
--   * codes are VARCHAR and stored without trailing blanks, so that the engine's
--     "= 'CODE'" comparisons match; CHAR(n) only where the engine writes fixed-length
--     text with its trailing blanks (DO74_USATAX);
--   * a "_VAL" column is the document-currency twin of an amount; NULL when the
--     document is kept in company currency, hence no default;
--   * every column outside the primary key is nullable or has a default, so a row can
--     be inserted with the key and the columns of interest alone.
--
-- The external asset register (VS02_ASSET) lives in a second database:
-- data/schema/external_assets.sql.

PRAGMA foreign_keys = OFF;

------------------------------------------------------------------------------------
-- Currencies
------------------------------------------------------------------------------------

-- Currencies; CG08_NUMDEC is the number of decimals of amounts.
CREATE TABLE IF NOT EXISTS CG08_TABVALUTE (
  CG08_CODICE        VARCHAR(4)   NOT NULL,
  CG08_DESCR         VARCHAR(40),
  CG08_SIMBOLO       VARCHAR(5),
  CG08_NUMDEC        SMALLINT     DEFAULT 2,
  PRIMARY KEY (CG08_CODICE)
);

-- Decimals of prices per company and currency (a currency without a row here has
-- price decimals 0 for that company).
CREATE TABLE IF NOT EXISTS MG49_PARMAGAZDEC (
  MG49_DITTA_CG18    INT          NOT NULL,
  MG49_CODICE_CG08   VARCHAR(4)   NOT NULL,
  MG49_NUMDEC        SMALLINT,
  PRIMARY KEY (MG49_DITTA_CG18, MG49_CODICE_CG08)
);

------------------------------------------------------------------------------------
-- Document expenses
------------------------------------------------------------------------------------

-- Expense master. MG04_INDTIPOSPESA: 0 not calculated, 1 percentage of the base
-- (lowest bracket), 2 percentage + fixed amount (lowest bracket), 3 fixed amount of
-- the bracket holding the base, 4 percentage of that bracket, 5 percentage + fixed
-- amount of that bracket. MG04_INDTIPOTOT, the base: 0 goods net of foot discounts,
-- 1 goods gross amount, 2 the host's expense-base service, 3 taxable amount + tax.
-- MG04_INDTIPOALIQ: 1 = the expense stays outside the taxable amount (no counterpart,
-- not in the taxable total); other values are the host's tax-rate kinds.
CREATE TABLE IF NOT EXISTS MG04_SPESE (
  MG04_CODICE        VARCHAR(10)  NOT NULL,
  MG04_DESCR         VARCHAR(60),
  MG04_INDTIPOSPESA  SMALLINT     DEFAULT 0,
  MG04_INDTIPOTOT    SMALLINT     DEFAULT 0,
  MG04_INDTIPOALIQ   SMALLINT     DEFAULT 0,
  MG04_ALIQ_CG28     VARCHAR(5),
  PRIMARY KEY (MG04_CODICE)
);

-- Expense brackets per currency: a bracket runs up to MG05_FINOA (inclusive).
CREATE TABLE IF NOT EXISTS MG05_SCAGLSPESE (
  MG05_CODICE_MG04   VARCHAR(10)  NOT NULL,
  MG05_CODICE_CG08   VARCHAR(4)   NOT NULL,
  MG05_FINOA         DECIMAL(18,5) NOT NULL,
  MG05_IMPORTO       DECIMAL(18,5) DEFAULT 0,
  MG05_PERC          DECIMAL(9,5)  DEFAULT 0,
  PRIMARY KEY (MG05_CODICE_MG04, MG05_CODICE_CG08, MG05_FINOA)
);

------------------------------------------------------------------------------------
-- US sales tax setup
------------------------------------------------------------------------------------

-- Tax areas. NV01_ROUNDTAX: 0 to nearest (halves away from zero), 1 up (away from
-- zero), 2 down (truncation).
CREATE TABLE IF NOT EXISTS NV01_TAXAREA (
  NV01_CODE          VARCHAR(10)  NOT NULL,
  NV01_DESCRIPTION   VARCHAR(50),
  NV01_ROUNDTAX      SMALLINT     DEFAULT 0,
  PRIMARY KEY (NV01_CODE)
);

-- Tax jurisdictions. NV02_CALCULATETAXONTAX <> 0: the jurisdiction's base is its own
-- base plus the taxes of the same tax group computed before it in the area.
CREATE TABLE IF NOT EXISTS NV02_TAXJURISDICTION (
  NV02_CODE                 VARCHAR(10)  NOT NULL,
  NV02_DESCRIPTION          VARCHAR(50),
  NV02_CALCULATETAXONTAX    SMALLINT     DEFAULT 0,
  NV02_TAXACCOUNTSALES      VARCHAR(20),
  NV02_TAXACCOUNTPURCHASES  VARCHAR(20),
  PRIMARY KEY (NV02_CODE)
);

-- Jurisdictions of a tax area. Within a tax group the tax is computed from the
-- highest NV03_CALCULATIONORD down.
CREATE TABLE IF NOT EXISTS NV03_TAXAREALINE (
  NV03_TAXAREACODE_NV01  VARCHAR(10)  NOT NULL,
  NV03_TAXJURCODE_NV02   VARCHAR(10)  NOT NULL,
  NV03_CALCULATIONORD    SMALLINT     DEFAULT 0,
  PRIMARY KEY (NV03_TAXAREACODE_NV01, NV03_TAXJURCODE_NV02)
);

-- Tax groups (the body row's DO30_TAXGROUP_NV04).
CREATE TABLE IF NOT EXISTS NV04_TAXGROUP (
  NV04_CODE          VARCHAR(10)  NOT NULL,
  NV04_DESCRIPTION   VARCHAR(50),
  PRIMARY KEY (NV04_CODE)
);

-- Dated rates per jurisdiction and tax group. NV05_TAXTYPE: 0 sales tax, 1 excise
-- tax, 2 sales and use tax, 3 use tax only; documents use types 0 and 2 only (the
-- newest date on or before the document date wins, type 2 before type 0 on the same
-- date). NV05_MAXIMUMAMOUNTQTY > 0 splits the base: up to it at NV05_TAXBELOWMAX,
-- above it at NV05_TAXABOVEMAX; 0 = no maximum.
CREATE TABLE IF NOT EXISTS NV05_TAXDETAIL (
  NV05_TAXJURCODE_NV02     VARCHAR(10)  NOT NULL,
  NV05_TAXGROUPCODE_NV04   VARCHAR(10)  NOT NULL,
  NV05_TAXTYPE             SMALLINT     NOT NULL DEFAULT 0,
  NV05_EFFECTIVEDATE       DATETIME     NOT NULL,
  NV05_MAXIMUMAMOUNTQTY    DECIMAL(18,5) DEFAULT 0,
  NV05_TAXBELOWMAX         DECIMAL(9,5)  DEFAULT 0,
  NV05_TAXABOVEMAX         DECIMAL(9,5)  DEFAULT 0,
  PRIMARY KEY (NV05_TAXJURCODE_NV02, NV05_TAXGROUPCODE_NV04, NV05_TAXTYPE,
               NV05_EFFECTIVEDATE)
);

------------------------------------------------------------------------------------
-- Settings
------------------------------------------------------------------------------------

-- General settings, key and value (text). "NAV_DECIMALI_TASSE": decimals of the
-- intermediate tax amounts (5 when missing, at most 20).
CREATE TABLE IF NOT EXISTS FW95_SETTINGS (
  FW95_CODICE        VARCHAR(50)  NOT NULL,
  FW95_VALORE        VARCHAR(255),
  FW95_DESCR         VARCHAR(100),
  PRIMARY KEY (FW95_CODICE)
);

-- Name of the external system's database (the asset register); one row is read.
-- The database is attached to the connection under this name.
CREATE TABLE IF NOT EXISTS CO60_CONFVEXNAV (
  CO60_ID            INT          NOT NULL DEFAULT 1,
  CO60_DATABASE      VARCHAR(128),
  PRIMARY KEY (CO60_ID)
);

------------------------------------------------------------------------------------
-- Chart of accounts and banks
------------------------------------------------------------------------------------

-- Chart of accounts by chart group. CG24_INDATTPASSPOR: 1 asset, 2 liability,
-- 3 cost, 4 revenue.
CREATE TABLE IF NOT EXISTS CG24_TABPDC (
  CG24_GRUPPO_CG10   INT          NOT NULL,
  CG24_CONTO         VARCHAR(20)  NOT NULL,
  CG24_DESCR         VARCHAR(80),
  CG24_INDATTPASSPOR SMALLINT     DEFAULT 0,
  PRIMARY KEY (CG24_GRUPPO_CG10, CG24_CONTO)
);

-- Account descriptions of one company; when present they replace CG24_DESCR.
CREATE TABLE IF NOT EXISTS CG39_PRSDESPDC (
  CG39_DITTA_CG18    INT          NOT NULL,
  CG39_GRUPPO_CG10   INT          NOT NULL,
  CG39_CONTO_CG24    VARCHAR(20)  NOT NULL,
  CG39_DESCR         VARCHAR(80),
  PRIMARY KEY (CG39_DITTA_CG18, CG39_GRUPPO_CG10, CG39_CONTO_CG24)
);

-- Company banks. EF08_BANCA_CG12 bank code, EF08_CABCONTO_CG13 branch of the account
-- (presentation branch on sales), EF08_CABBONIF_CG13 branch for transfers (used on
-- purchases).
CREATE TABLE IF NOT EXISTS EF08_BANCHE (
  EF08_DITTA_CG18    INT          NOT NULL,
  EF08_PROGR         INT          NOT NULL,
  EF08_DESCR         VARCHAR(60),
  EF08_BANCA_CG12    INT,
  EF08_CABCONTO_CG13 INT,
  EF08_CABBONIF_CG13 INT,
  EF08_NUMCONTO      VARCHAR(30),
  PRIMARY KEY (EF08_DITTA_CG18, EF08_PROGR)
);

------------------------------------------------------------------------------------
-- Document blocks, document defaults, price-list priority, document types
------------------------------------------------------------------------------------

-- Block causes. MG3K_FLGSOSPSCAD = 1: a document blocked for this cause has its
-- installments suspended.
CREATE TABLE IF NOT EXISTS MG3K_DOCBLOCCHI (
  MG3K_CODBLOCCO     VARCHAR(10)  NOT NULL,
  MG3K_DESCR         VARCHAR(60),
  MG3K_FLGSOSPSCAD   SMALLINT     DEFAULT 0,
  PRIMARY KEY (MG3K_CODBLOCCO)
);

-- Block state of registered documents (one row per document).
CREATE TABLE IF NOT EXISTS DO66_DOCTESTABLOCCHI (
  DO66_DITTA_CG18      INT          NOT NULL,
  DO66_NUMREG_CO99     VARCHAR(20)  NOT NULL,
  DO66_CODBLOCCO_MG3K  VARCHAR(10),
  DO66_FLGBLOCCATO     SMALLINT     DEFAULT 0,
  DO66_FLGSOSPSCAD     SMALLINT     DEFAULT 0,
  PRIMARY KEY (DO66_DITTA_CG18, DO66_NUMREG_CO99)
);

-- Document defaults by document code, user group, user and site; NULL group, user
-- or site = any. No primary key: the three qualifiers are nullable.
CREATE TABLE IF NOT EXISTS CO16_PARAMSDOC (
  CO16_DITTA_CG18       INT          NOT NULL,
  CO16_CODDOCUM_MG36    VARCHAR(10)  NOT NULL,
  CO16_CODGRUPPO_FW06   VARCHAR(20),
  CO16_CODUTENTE_FW07   VARCHAR(20),
  CO16_CODSEDE_CG31     INT,
  CO16_SEZ_CG68         VARCHAR(10),
  CO16_DEP_MG58         VARCHAR(10),
  CO16_IDPRIORITA_LP09  INT
);
CREATE UNIQUE INDEX IF NOT EXISTS CO16_PARAMSDOC_IX
  ON CO16_PARAMSDOC (CO16_DITTA_CG18, CO16_CODDOCUM_MG36, CO16_CODGRUPPO_FW06,
                     CO16_CODUTENTE_FW07, CO16_CODSEDE_CG31);

-- Price-list priority tables; LP09_FLGPREF = 1 marks the company's preferred table.
CREATE TABLE IF NOT EXISTS LP09_TESTATAPRIORITA (
  LP09_ID            INT          NOT NULL,
  LP09_DITTA_CG18    INT          NOT NULL DEFAULT 1,
  LP09_DESCR         VARCHAR(60),
  LP09_FLGPREF       SMALLINT     DEFAULT 0,
  PRIMARY KEY (LP09_ID)
);

-- Landed costs per document type: NV07_FLGFE = 1 loads transport costs on the goods
-- rows, NV07_FLGDE = 1 duty costs. A document type without a row loads neither.
CREATE TABLE IF NOT EXISTS NV07_DOCATTIVI (
  NV07_DITTA_CG18     INT          NOT NULL,
  NV07_CODDOCUM_MG36  VARCHAR(10)  NOT NULL,
  NV07_FLGFE          SMALLINT     DEFAULT 0,
  NV07_FLGDE          SMALLINT     DEFAULT 0,
  PRIMARY KEY (NV07_DITTA_CG18, NV07_CODDOCUM_MG36)
);

------------------------------------------------------------------------------------
-- Documents. Key of a document: company (<prefix>_DITTA_CG18) and registration
-- number (<prefix>_NUMREG_CO99, text); rows add the row progressive.
------------------------------------------------------------------------------------

-- Header. DO11_TIPOCF_CG44: 0 customer, 1 supplier. DO11_INDTIPOCODCF: 0 document on
-- an account (DO23_CONTOPAR), 1 customer, 2 supplier. DO11_TIPODOC 6 = credit note
-- (sign reversed). DO11_CAMBIO: units of document currency per unit of company
-- currency (company amount = document amount / DO11_CAMBIO).
CREATE TABLE IF NOT EXISTS DO11_DOCTESTATA (
  DO11_DITTA_CG18      INT          NOT NULL,
  DO11_NUMREG_CO99     VARCHAR(20)  NOT NULL,
  DO11_DOCUM_MG36      VARCHAR(10),
  DO11_ID_CO1A         INT,
  DO11_NUMDOC          INT,
  DO11_DATADOC         DATETIME,
  DO11_TIPODOC         SMALLINT     DEFAULT 0,
  DO11_STIPODOC        SMALLINT     DEFAULT 0,
  DO11_INDTIPOCODCF    SMALLINT     DEFAULT 1,
  DO11_TIPOCF_CG44     SMALLINT     DEFAULT 0,
  DO11_CLIFOR_CG44     INT,
  DO11_FLGCLIFAT       SMALLINT     DEFAULT 0,
  DO11_INDCONVCLIFAT   SMALLINT     DEFAULT 0,
  DO11_CLIFORFATT      INT,
  DO11_CODSEDE_CG31    INT,
  DO11_VALUTA_CG08     VARCHAR(4),
  DO11_CAMBIO          DECIMAL(18,8),
  DO11_DATACAMBIO      DATETIME,
  DO11_TAXAREA_NV01    VARCHAR(10),
  DO11_FLGTAXLIABLE    SMALLINT     DEFAULT 0,
  DO11_FLGDEFPIEDE     SMALLINT     DEFAULT 0,
  DO11_FLGCONTIVAR     SMALLINT     DEFAULT 0,
  DO11_FLGDACONSOLID   SMALLINT     DEFAULT 0,
  DO11_CODPAG_CG62     VARCHAR(10),
  DO11_DATAINIZIOPAG   DATETIME,
  DO11_FLGSPBOLLI      SMALLINT     DEFAULT 0,
  DO11_FLGSPINCAS      SMALLINT     DEFAULT 0,
  DO11_FLGPAGNOSCAG    SMALLINT     DEFAULT 0,
  DO11_IMPORPAGFIX     DECIMAL(18,5) DEFAULT 0,
  DO11_INDIMPORFIX     SMALLINT     DEFAULT 0,
  DO11_PROGR_EF08      INT,
  DO11_BANCA_CG12      INT,
  DO11_CODCAB_CG13     INT,
  DO11_ID_MG35         INT,
  DO11_CIG             VARCHAR(15),
  DO11_CUP             VARCHAR(15),
  PRIMARY KEY (DO11_DITTA_CG18, DO11_NUMREG_CO99)
);

-- Totals (one row per document).
CREATE TABLE IF NOT EXISTS DO13_DOCTOTALI (
  DO13_DITTA_CG18          INT          NOT NULL,
  DO13_NUMREG_CO99         VARCHAR(20)  NOT NULL,
  DO13_SCPERMERCE1         DECIMAL(9,5)  DEFAULT 0,
  DO13_SCPERMERCE2         DECIMAL(9,5)  DEFAULT 0,
  DO13_SCPERMERCE3         DECIMAL(9,5)  DEFAULT 0,
  DO13_SCIMPMERCE          DECIMAL(18,5) DEFAULT 0,
  DO13_SCIMPMERCE_VAL      DECIMAL(18,5),
  DO13_SCPERCART26         DECIMAL(9,5)  DEFAULT 0,
  DO13_SCIMPART26          DECIMAL(18,5) DEFAULT 0,
  DO13_SCIMPART26_VAL      DECIMAL(18,5),
  DO13_TOTMERCE1           DECIMAL(18,5) DEFAULT 0,
  DO13_TOTMERCE1_VAL       DECIMAL(18,5),
  DO13_TOTMERCE2           DECIMAL(18,5) DEFAULT 0,
  DO13_TOTMERCE2_VAL       DECIMAL(18,5),
  DO13_TOTMERCE3           DECIMAL(18,5) DEFAULT 0,
  DO13_TOTMERCE3_VAL       DECIMAL(18,5),
  DO13_TOTMERCE4           DECIMAL(18,5) DEFAULT 0,
  DO13_TOTMERCE4_VAL       DECIMAL(18,5),
  DO13_TOTSPVAR1           DECIMAL(18,5) DEFAULT 0,
  DO13_TOTSPVAR1_VAL       DECIMAL(18,5),
  DO13_TOTSPVAR2           DECIMAL(18,5) DEFAULT 0,
  DO13_TOTSPVAR2_VAL       DECIMAL(18,5),
  DO13_TOTSPVAR3           DECIMAL(18,5) DEFAULT 0,
  DO13_TOTSPVAR3_VAL       DECIMAL(18,5),
  DO13_TOTSPVAR4           DECIMAL(18,5) DEFAULT 0,
  DO13_TOTSPVAR4_VAL       DECIMAL(18,5),
  DO13_TOTLORDOMERCE       DECIMAL(18,5) DEFAULT 0,
  DO13_TOTLORDOMERCE_VAL   DECIMAL(18,5),
  DO13_TOTNETTOMERCE       DECIMAL(18,5) DEFAULT 0,
  DO13_TOTNETTOMERCE_VAL   DECIMAL(18,5),
  DO13_TOTCOSTO            DECIMAL(18,5) DEFAULT 0,
  DO13_TOTCOSTO_VAL        DECIMAL(18,5),
  DO13_MARGINEDOCUMENTO    DECIMAL(18,5) DEFAULT 0,
  DO13_TOTIMPONIBILE       DECIMAL(18,5) DEFAULT 0,
  DO13_TOTIMPONIBILE_VAL   DECIMAL(18,5),
  DO13_TOTIVA              DECIMAL(18,5) DEFAULT 0,
  DO13_TOTIVA_VAL          DECIMAL(18,5),
  DO13_TOTDOCUMENTO        DECIMAL(18,5) DEFAULT 0,
  DO13_TOTDOCUMENTO_VAL    DECIMAL(18,5),
  DO13_TOTAPAGARE          DECIMAL(18,5) DEFAULT 0,
  DO13_TOTAPAGARE_VAL      DECIMAL(18,5),
  DO13_ACCONTO             DECIMAL(18,5) DEFAULT 0,
  DO13_ACCONTO_VAL         DECIMAL(18,5),
  DO13_TOTSPBOLLI          DECIMAL(18,5) DEFAULT 0,
  DO13_TOTSPBOLLI_VAL      DECIMAL(18,5),
  DO13_TOTSPINC            DECIMAL(18,5) DEFAULT 0,
  DO13_TOTSPINC_VAL        DECIMAL(18,5),
  PRIMARY KEY (DO13_DITTA_CG18, DO13_NUMREG_CO99)
);

-- Accessory data: packages, weights, volume (one row per document).
CREATE TABLE IF NOT EXISTS DO14_DOCDATIACC (
  DO14_DITTA_CG18    INT          NOT NULL,
  DO14_NUMREG_CO99   VARCHAR(20)  NOT NULL,
  DO14_TOTCOLLI      DECIMAL(18,5) DEFAULT 0,
  DO14_PESOLORDO     DECIMAL(18,5) DEFAULT 0,
  DO14_PESONETTO     DECIMAL(18,5) DEFAULT 0,
  DO14_VOLUME        DECIMAL(18,5) DEFAULT 0,
  PRIMARY KEY (DO14_DITTA_CG18, DO14_NUMREG_CO99)
);

-- Agents of the document with their commission totals. DO21_FLGPROVVAR <> 0: totals
-- entered by hand, left alone by the recalculation.
CREATE TABLE IF NOT EXISTS DO21_DOCAGENTI (
  DO21_DITTA_CG18     INT          NOT NULL,
  DO21_NUMREG_CO99    VARCHAR(20)  NOT NULL,
  DO21_IDAGENTE_MG17  INT          NOT NULL,
  DO21_FLGPROVVAR     SMALLINT     DEFAULT 0,
  DO21_IMPONPROV      DECIMAL(18,5) DEFAULT 0,
  DO21_IMPONPROV_VAL  DECIMAL(18,5),
  DO21_IMPORPROV      DECIMAL(18,5) DEFAULT 0,
  DO21_IMPORPROV_VAL  DECIMAL(18,5),
  DO21_PROVMEDIA      DECIMAL(9,5)  DEFAULT 0,
  PRIMARY KEY (DO21_DITTA_CG18, DO21_NUMREG_CO99, DO21_IDAGENTE_MG17)
);

-- Counterpart account of a document without customer or supplier.
CREATE TABLE IF NOT EXISTS DO23_DOCCONTOPAR (
  DO23_DITTA_CG18    INT          NOT NULL,
  DO23_NUMREG_CO99   VARCHAR(20)  NOT NULL,
  DO23_CONTOPAR      VARCHAR(20),
  PRIMARY KEY (DO23_DITTA_CG18, DO23_NUMREG_CO99)
);

-- Header agents; DO29_FLGAGERIFER = 1 marks the agent of reference.
CREATE TABLE IF NOT EXISTS DO29_DOCTESAGENTI (
  DO29_DITTA_CG18     INT          NOT NULL,
  DO29_NUMREG_CO99    VARCHAR(20)  NOT NULL,
  DO29_IDAGENTE_MG17  INT          NOT NULL,
  DO29_FLGAGERIFER    SMALLINT     DEFAULT 0,
  PRIMARY KEY (DO29_DITTA_CG18, DO29_NUMREG_CO99, DO29_IDAGENTE_MG17)
);

-- Body rows. DO30_INDTIPORIGA: row type (0 goods; 4 sundry expense; ...);
-- DO30_INDTIPODATI 3 = expense row (DO30_CODSPESA_MG04); DO30_INDTOTALIZ totalizer
-- 1-4; DO30_PROGPADRE NULL = no parent row. DO30_PREZZO2 / DO30_PREZZOCF NULL = the
-- row has no second / customer-supplier unit.
CREATE TABLE IF NOT EXISTS DO30_DOCCORPO (
  DO30_DITTA_CG18        INT          NOT NULL,
  DO30_NUMREG_CO99       VARCHAR(20)  NOT NULL,
  DO30_PROGRIGA          INT          NOT NULL,
  DO30_PROGPADRE         INT,
  DO30_INDTIPORIGA       SMALLINT     DEFAULT 0,
  DO30_INDTIPODATI       SMALLINT     DEFAULT 0,
  DO30_INDPROVRIGA       SMALLINT     DEFAULT 0,
  DO30_CODART_MG66       VARCHAR(20),
  DO30_OPZIONE_MG5E      VARCHAR(20),
  DO30_DESCRART          VARCHAR(80),
  DO30_CODSPESA_MG04     VARCHAR(10),
  DO30_QTA1              DECIMAL(18,5) DEFAULT 0,
  DO30_QTA2              DECIMAL(18,5) DEFAULT 0,
  DO30_COLLI             DECIMAL(18,5) DEFAULT 0,
  DO30_FATCONV           DECIMAL(18,8),
  DO30_FATCONVCF         DECIMAL(18,8),
  DO30_INDCALCPRE1       SMALLINT     DEFAULT 0,
  DO30_INDCALCPRE2       SMALLINT     DEFAULT 0,
  DO30_INDCALCPRECF      SMALLINT     DEFAULT 0,
  DO30_PREZZO1           DECIMAL(18,5) DEFAULT 0,
  DO30_PREZZO1IVA        DECIMAL(18,5) DEFAULT 0,
  DO30_PREZZO2           DECIMAL(18,5),
  DO30_PREZZO2IVA        DECIMAL(18,5),
  DO30_PREZZOCF          DECIMAL(18,5),
  DO30_PREZZOCFIVA       DECIMAL(18,5),
  DO30_FLGPRSCVAR        BIT          DEFAULT 0,
  DO30_SCPER1            DECIMAL(9,5)  DEFAULT 0,
  DO30_SCPER2            DECIMAL(9,5)  DEFAULT 0,
  DO30_SCPER3            DECIMAL(9,5)  DEFAULT 0,
  DO30_SCPER4            DECIMAL(9,5)  DEFAULT 0,
  DO30_SCPER5            DECIMAL(9,5)  DEFAULT 0,
  DO30_SCPER6            DECIMAL(9,5)  DEFAULT 0,
  DO30_SCIMP             DECIMAL(18,5) DEFAULT 0,
  DO30_MAGPER1           DECIMAL(9,5)  DEFAULT 0,
  DO30_MAGPER2           DECIMAL(9,5)  DEFAULT 0,
  DO30_MAGIMP            DECIMAL(18,5) DEFAULT 0,
  DO30_IMPORTO           DECIMAL(18,5) DEFAULT 0,
  DO30_IMPORTO_VAL       DECIMAL(18,5),
  DO30_IMPORTOIVA        DECIMAL(18,5) DEFAULT 0,
  DO30_IMPORTOIVA_VAL    DECIMAL(18,5),
  DO30_IMPNETSCP         DECIMAL(18,5) DEFAULT 0,
  DO30_IMPNETSCP_VAL     DECIMAL(18,5),
  DO30_COSTOTOT          DECIMAL(18,5) DEFAULT 0,
  DO30_COSTOTOT_VAL      DECIMAL(18,5),
  DO30_FLGESCLSCPIEDE    SMALLINT     DEFAULT 0,
  DO30_INDTIPOOMAG       SMALLINT     DEFAULT 0,
  DO30_INDTOTALIZ        SMALLINT     DEFAULT 1,
  DO30_PESOL             DECIMAL(18,5) DEFAULT 0,
  DO30_PESON             DECIMAL(18,5) DEFAULT 0,
  DO30_VOLUME            DECIMAL(18,5) DEFAULT 0,
  DO30_CPMERCE_CG24      VARCHAR(20),
  DO30_ASSETCODE         VARCHAR(20),
  DO30_TAXGROUP_NV04     VARCHAR(10),
  DO30_TOTSTAX           DECIMAL(9,5)  DEFAULT 0,
  DO30_FLGSPDEFILE       SMALLINT     DEFAULT 0,
  DO30_FLGCONTRIBINTEG   SMALLINT     DEFAULT 0,
  DO30_FLGRITACC         SMALLINT     DEFAULT 0,
  DO30_FLGRITENAS        SMALLINT     DEFAULT 0,
  DO30_FLGCONTRIBPREV    SMALLINT     DEFAULT 0,
  PRIMARY KEY (DO30_DITTA_CG18, DO30_NUMREG_CO99, DO30_PROGRIGA)
);

-- Order data of body rows (consumed quantities).
CREATE TABLE IF NOT EXISTS DO31_DOCCORPOORD (
  DO31_DITTA_CG18    INT          NOT NULL,
  DO31_NUMREG_CO99   VARCHAR(20)  NOT NULL,
  DO31_PROGRIGA      INT          NOT NULL,
  DO31_QTA1CONS      DECIMAL(18,5) DEFAULT 0,
  DO31_QTA2CONS      DECIMAL(18,5) DEFAULT 0,
  DO31_COLLICONS     DECIMAL(18,5) DEFAULT 0,
  PRIMARY KEY (DO31_DITTA_CG18, DO31_NUMREG_CO99, DO31_PROGRIGA)
);

-- Commission lines: one per body row and agent. DO32_FLGVARPROV <> 0: entered by
-- hand.
CREATE TABLE IF NOT EXISTS DO32_DOCCORPOPROV (
  DO32_DITTA_CG18     INT          NOT NULL,
  DO32_NUMREG_CO99    VARCHAR(20)  NOT NULL,
  DO32_PROGRIGA       INT          NOT NULL,
  DO32_IDAGENTE_MG17  INT          NOT NULL,
  DO32_FLGVARPROV     SMALLINT     DEFAULT 0,
  DO32_PERCPROV       DECIMAL(9,5)  DEFAULT 0,
  DO32_IMPONPROV      DECIMAL(18,5) DEFAULT 0,
  DO32_IMPONPROV_VAL  DECIMAL(18,5),
  DO32_IMPORPROV      DECIMAL(18,5) DEFAULT 0,
  DO32_IMPORPROV_VAL  DECIMAL(18,5),
  PRIMARY KEY (DO32_DITTA_CG18, DO32_NUMREG_CO99, DO32_PROGRIGA, DO32_IDAGENTE_MG17)
);

-- Body-row configuration and progress data: handed to the commission calculator
-- when present; the engine names no column of theirs beyond the row key.
CREATE TABLE IF NOT EXISTS DO39_DOCCORPOCONF (
  DO39_DITTA_CG18      INT          NOT NULL,
  DO39_NUMREG_CO99     VARCHAR(20)  NOT NULL,
  DO39_PROGRIGA_DO30   INT          NOT NULL,
  PRIMARY KEY (DO39_DITTA_CG18, DO39_NUMREG_CO99, DO39_PROGRIGA_DO30)
);
CREATE TABLE IF NOT EXISTS DO41_DOCCORPOPROGE (
  DO41_DITTA_CG18      INT          NOT NULL,
  DO41_NUMREG_CO99     VARCHAR(20)  NOT NULL,
  DO41_PROGRIGA_DO30   INT          NOT NULL,
  PRIMARY KEY (DO41_DITTA_CG18, DO41_NUMREG_CO99, DO41_PROGRIGA_DO30)
);

-- Landed costs of body rows: transport (TR) and duty (DZ) cost added to the row's
-- DO30_IMPNETSCP; the flag says the cost is in the row.
CREATE TABLE IF NOT EXISTS DO50_DOCCORPOCOSTI (
  DO50_DITTA_CG18      INT          NOT NULL,
  DO50_NUMREG_CO99     VARCHAR(20)  NOT NULL,
  DO50_PROGRIGA_DO30   INT          NOT NULL,
  DO50_SPESETR         DECIMAL(18,5) DEFAULT 0,
  DO50_FLGSPESETR      SMALLINT     DEFAULT 0,
  DO50_SPESEDZ         DECIMAL(18,5) DEFAULT 0,
  DO50_FLGSPESEDZ      SMALLINT     DEFAULT 0,
  PRIMARY KEY (DO50_DITTA_CG18, DO50_NUMREG_CO99, DO50_PROGRIGA_DO30)
);

-- Discount and mark-up detail of body rows.
CREATE TABLE IF NOT EXISTS DO69_DOCCORPOSCMAG (
  DO69_DITTA_CG18      INT          NOT NULL,
  DO69_NUMREG_CO99     VARCHAR(20)  NOT NULL,
  DO69_PROGRIGA_DO30   INT          NOT NULL,
  DO69_PROG            INT          NOT NULL DEFAULT 1,
  DO69_INDTIPO         SMALLINT     DEFAULT 0,
  DO69_PERC            DECIMAL(9,5)  DEFAULT 0,
  DO69_IMPORTO         DECIMAL(18,5) DEFAULT 0,
  PRIMARY KEY (DO69_DITTA_CG18, DO69_NUMREG_CO99, DO69_PROGRIGA_DO30, DO69_PROG)
);

-- Price-list expense links of body rows (the host's expense-link lookup).
-- LP11_INDTIPOSPESA 5: the row's expense is the price list's, the expense calculation
-- leaves the row alone.
CREATE TABLE IF NOT EXISTS LP11_DOCCORPOSPESE (
  LP11_DITTA_CG18      INT          NOT NULL,
  LP11_NUMREG_CO99     VARCHAR(20)  NOT NULL,
  LP11_PROGRIGA_DO30   INT          NOT NULL,
  LP11_INDTIPOSPESA    SMALLINT     DEFAULT 0,
  PRIMARY KEY (LP11_DITTA_CG18, LP11_NUMREG_CO99, LP11_PROGRIGA_DO30)
);

-- Payment schedule: one row per installment. Amounts without suffix (or with
-- _S) are company currency, VAL twins document currency, except DO79_SCONTOINCOND and
-- DO79_OMAGGIOSENZARIV (document currency) with their EURO twins (company currency).
CREATE TABLE IF NOT EXISTS DO79_DOCSCADENZE (
  DO79_DITTA_CG18           INT          NOT NULL,
  DO79_NUMREG_CO99          VARCHAR(20)  NOT NULL,
  DO79_PROGEFF              INT          NOT NULL,
  DO79_NUMRATA              INT,
  DO79_TOTRATE              SMALLINT,
  DO79_INDCONTO             SMALLINT,
  DO79_CONTO_CG24           VARCHAR(20),
  DO79_GRUPPO_CG10          INT,
  DO79_DITTACF_CG18         INT,
  DO79_TIPOCF_CG44          SMALLINT,
  DO79_CLIFOR_CG44          INT,
  DO79_TOTDOC               DECIMAL(18,5),
  DO79_TOTDOCVAL            DECIMAL(18,5),
  DO79_BANCAAPP_CG12        INT,
  DO79_AGENAPP_CG13         INT,
  DO79_PROGR_EF08           INT,
  DO79_IDAGENTE_MG17        INT,
  DO79_CODPAG_CG62          VARCHAR(10),
  DO79_INDTIPOMOV           SMALLINT     DEFAULT 0,
  DO79_FLGEFFVAR            SMALLINT     DEFAULT 0,
  DO79_FLGSOSPESO           SMALLINT     DEFAULT 0,
  DO79_TIPOEFF              SMALLINT,
  DO79_STIPOEFF             VARCHAR(5),
  DO79_SCADE_S              DATETIME,
  DO79_DATADECORR           DATETIME,
  DO79_FLAGNOTE             SMALLINT     DEFAULT 0,
  DO79_IMPEFF_S             DECIMAL(18,5) DEFAULT 0,
  DO79_IMPEFFVAL_S          DECIMAL(18,5),
  DO79_IMPEFFNETPREV_S      DECIMAL(18,5),
  DO79_IMPEFFIVA            DECIMAL(18,5) DEFAULT 0,
  DO79_IMPEFFIVA_VAL        DECIMAL(18,5),
  DO79_IMPRITACC            DECIMAL(18,5) DEFAULT 0,
  DO79_IMPRITACCVAL         DECIMAL(18,5),
  DO79_BOLLI                DECIMAL(18,5) DEFAULT 0,
  DO79_BOLLIVAL             DECIMAL(18,5),
  DO79_SPINC                DECIMAL(18,5) DEFAULT 0,
  DO79_SPINCVAL             DECIMAL(18,5),
  DO79_ABBUONO              DECIMAL(18,5) DEFAULT 0,
  DO79_ACCONTO              DECIMAL(18,5) DEFAULT 0,
  DO79_IMPORTOPAGATO        DECIMAL(18,5) DEFAULT 0,
  DO79_SCONTOINCOND         DECIMAL(18,5) DEFAULT 0,
  DO79_SCONTOINCONDEURO     DECIMAL(18,5),
  DO79_OMAGGIOSENZARIV      DECIMAL(18,5) DEFAULT 0,
  DO79_OMAGGIOSENZARIVEURO  DECIMAL(18,5),
  DO79_INDPRES_S            SMALLINT     DEFAULT 0,
  DO79_INDGENSTATO_S        SMALLINT     DEFAULT 0,
  DO79_INDSTATO_S           SMALLINT     DEFAULT 0,
  DO79_ID_MG35              INT,
  DO79_CIG                  VARCHAR(15),
  DO79_CUP                  VARCHAR(15),
  DO79_INDMERCEART62        SMALLINT     DEFAULT 0,
  PRIMARY KEY (DO79_DITTA_CG18, DO79_NUMREG_CO99, DO79_PROGEFF)
);

-- Ledger counterpart lines of a document (account, side, totals) and their tax
-- lines. The host's counterparts recordset joins the two on the line number and adds
-- CG24_DESCR, ASSETCODE, ASSETDESCR and TAXGROUPCODE. CG42_INDDAAV: 1 debit,
-- 2 credit.
CREATE TABLE IF NOT EXISTS CG42_RIGHECONT (
  CG42_DITTA_CG18      INT          NOT NULL,
  CG42_NUMREG_CO99     VARCHAR(20)  NOT NULL,
  CG42_NUMRIGACONT     INT          NOT NULL,
  CG42_CODICE_CG31     INT,
  CG42_CONTOPAR_CG24   VARCHAR(20),
  CG42_INDDAAV         SMALLINT,
  CG42_IMPTOTALE       DECIMAL(18,5) DEFAULT 0,
  CG42_IMPTOTALEVAL    DECIMAL(18,5),
  PRIMARY KEY (CG42_DITTA_CG18, CG42_NUMREG_CO99, CG42_NUMRIGACONT)
);
CREATE TABLE IF NOT EXISTS CG43_RIGHEIMPOSTA (
  CG43_DITTA_CG18          INT          NOT NULL,
  CG43_NUMREG_CO99         VARCHAR(20)  NOT NULL,
  CG43_NUMRIGACONT_CG42    INT          NOT NULL,
  CG43_IMPOSTA             DECIMAL(18,5) DEFAULT 0,
  PRIMARY KEY (CG43_DITTA_CG18, CG43_NUMREG_CO99, CG43_NUMRIGACONT_CG42)
);

------------------------------------------------------------------------------------
-- Written by the engine: deleted and rewritten per document.
------------------------------------------------------------------------------------

-- Ledger counterparts of a document. DO73_IMPTOTALEVAL_CG42 is NULL when zero.
CREATE TABLE IF NOT EXISTS DO73_DOCCONTROPARTITE (
  DO73_DITTA_CG18          INT          NOT NULL,
  DO73_NUMREG_CO99         VARCHAR(20)  NOT NULL,
  DO73_PROG                INT          NOT NULL,
  DO73_CODICE_CG31         INT          DEFAULT 0,
  DO73_CONTOPAR_CG24       VARCHAR(20),
  DO73_DESCR_CG24          VARCHAR(80),
  DO73_INDDAAV_CG42        SMALLINT     DEFAULT 0,
  DO73_IMPTOTALE_CG42      DECIMAL(18,5) DEFAULT 0,
  DO73_IMPTOTALEVAL_CG42   DECIMAL(18,5),
  DO73_PROVCONTOPAR        SMALLINT     DEFAULT 0,
  DO73_ASSETCODE           VARCHAR(20),
  DO73_TAXGROUP            VARCHAR(10),
  DO73_IMPOSTA_CG43        DECIMAL(18,5) DEFAULT 0,
  PRIMARY KEY (DO73_DITTA_CG18, DO73_NUMREG_CO99, DO73_PROG)
);

-- US tax summary of a document: one row per jurisdiction and tax group. The three
-- codes are fixed-length (CHAR(10)): the engine writes them with trailing blanks.
CREATE TABLE IF NOT EXISTS DO74_USATAX (
  DO74_USADITTA_CG18       INT          NOT NULL,
  DO74_USANUMREG_CO99      VARCHAR(20)  NOT NULL,
  DO74_USANUMRIGA          INT          NOT NULL,
  DO74_USATAXJUR           CHAR(10),
  DO74_USATAXGROUP         CHAR(10),
  DO74_USACONTO            CHAR(10),
  DO74_USAIMPORTO          DECIMAL(13,2)  DEFAULT 0,
  DO74_USAIMPORTO_VAL      DECIMAL(13,2)  DEFAULT 0,
  DO74_USAIMPONIBILE       DECIMAL(13,2)  DEFAULT 0,
  DO74_USAIMPONIBILE_VAL   DECIMAL(13,2)  DEFAULT 0,
  DO74_IMPNOTROUND         DECIMAL(38,20) DEFAULT 0,
  DO74_ASSETCODE           VARCHAR(20),
  PRIMARY KEY (DO74_USADITTA_CG18, DO74_USANUMREG_CO99, DO74_USANUMRIGA)
);

------------------------------------------------------------------------------------
-- Tables of our own collaborators (the host's services, the payment-terms and
-- commission calculators, the two landed-cost functions, currency conversion).
------------------------------------------------------------------------------------

-- Payment terms (DO11_CODPAG_CG62 holds TV01_CODICE). TV01_INDIVA: 0 the tax is
-- spread over the installments in proportion, 1 all of it on the first installment.
-- TV01_SPBOLLI / TV01_SPINCASSO: stamp and collection expense per installment, in
-- company currency. TV01_IMPFISSO / TV01_INDIMPFISSO: default fixed amount and its
-- mode (0 none, 1 the fixed amount is the first installment, 2 the last); a
-- document's DO11_IMPORPAGFIX / DO11_INDIMPORFIX take precedence.
CREATE TABLE IF NOT EXISTS TV01_PAGAMENTI (
  TV01_CODICE              VARCHAR(10)  NOT NULL,
  TV01_DESCR               VARCHAR(60),
  TV01_INDIVA              SMALLINT     DEFAULT 0,
  TV01_SPBOLLI             DECIMAL(18,5) DEFAULT 0,
  TV01_SPINCASSO           DECIMAL(18,5) DEFAULT 0,
  TV01_IMPFISSO            DECIMAL(18,5) DEFAULT 0,
  TV01_INDIMPFISSO         SMALLINT     DEFAULT 0,
  PRIMARY KEY (TV01_CODICE)
);

-- Installments of a payment term: share of the amount, days from the start date
-- (document date or DO11_DATAINIZIOPAG), end-of-month shift, effect type and subtype.
-- The last installment takes the rounding remainder. TV02_TIPOEFF: 1 direct
-- remittance (never suspended), 2 bank draft, 3 card, 9 other.
CREATE TABLE IF NOT EXISTS TV02_PAGAMENTIRATE (
  TV02_CODICE_TV01         VARCHAR(10)  NOT NULL,
  TV02_NUMRATA             SMALLINT     NOT NULL,
  TV02_PERC                DECIMAL(9,5)  DEFAULT 0,
  TV02_GIORNI              SMALLINT     DEFAULT 0,
  TV02_FLGFINEMESE         SMALLINT     DEFAULT 0,
  TV02_TIPOEFF             SMALLINT     DEFAULT 1,
  TV02_STIPOEFF            VARCHAR(5),
  PRIMARY KEY (TV02_CODICE_TV01, TV02_NUMRATA)
);

-- Agents (DO21_/DO29_/DO32_IDAGENTE_MG17 hold TV03_IDAGENTE) with their standard
-- commission percentage. TV03_IDCAPOAREA_TV03: the agent's area manager (an agent
-- too), who earns his own commission on the agent's rows; NULL = none.
CREATE TABLE IF NOT EXISTS TV03_AGENTI (
  TV03_DITTA_CG18          INT          NOT NULL,
  TV03_IDAGENTE            INT          NOT NULL,
  TV03_NOME                VARCHAR(60),
  TV03_PERCPROV            DECIMAL(9,5)  DEFAULT 0,
  TV03_FLGATTIVO           SMALLINT     DEFAULT 1,
  TV03_IDCAPOAREA_TV03     INT,
  PRIMARY KEY (TV03_DITTA_CG18, TV03_IDAGENTE)
);

-- Commission regimes of an agent, most specific first (docs/commissions.md): the item
-- (TV04, a code), the item's commission group (TV11), the customer (TV12), every item
-- (TV04, ''), and TV03_PERCPROV.
--
-- Commission percentage of an agent on one item; '' = every item (overrides
-- TV03_PERCPROV). The item row wins over the '' row.
CREATE TABLE IF NOT EXISTS TV04_AGENTIPROVV (
  TV04_DITTA_CG18          INT          NOT NULL,
  TV04_IDAGENTE_TV03       INT          NOT NULL,
  TV04_CODART_MG66         VARCHAR(20)  NOT NULL DEFAULT '',
  TV04_PERCPROV            DECIMAL(9,5)  DEFAULT 0,
  PRIMARY KEY (TV04_DITTA_CG18, TV04_IDAGENTE_TV03, TV04_CODART_MG66)
);

-- The commission group of an item.
CREATE TABLE IF NOT EXISTS TV10_ARTICOLIPROVV (
  TV10_DITTA_CG18          INT          NOT NULL,
  TV10_CODART_MG66         VARCHAR(20)  NOT NULL,
  TV10_GRUPPOPROVV         VARCHAR(10),
  PRIMARY KEY (TV10_DITTA_CG18, TV10_CODART_MG66)
);

-- Commission percentage of an agent on the items of one commission group.
CREATE TABLE IF NOT EXISTS TV11_AGENTIGRUPPIPROVV (
  TV11_DITTA_CG18          INT          NOT NULL,
  TV11_IDAGENTE_TV03       INT          NOT NULL,
  TV11_GRUPPOPROVV         VARCHAR(10)  NOT NULL,
  TV11_PERCPROV            DECIMAL(9,5)  DEFAULT 0,
  PRIMARY KEY (TV11_DITTA_CG18, TV11_IDAGENTE_TV03, TV11_GRUPPOPROVV)
);

-- Commission percentage of an agent on the documents of one customer (DO11_CLIFOR_CG44).
CREATE TABLE IF NOT EXISTS TV12_AGENTICLIENTIPROVV (
  TV12_DITTA_CG18          INT          NOT NULL,
  TV12_IDAGENTE_TV03       INT          NOT NULL,
  TV12_CLIFOR_CG44         INT          NOT NULL,
  TV12_PERCPROV            DECIMAL(9,5)  DEFAULT 0,
  PRIMARY KEY (TV12_DITTA_CG18, TV12_IDAGENTE_TV03, TV12_CLIFOR_CG44)
);

-- Unit landed costs read by the scalar functions FNMG_GETSPTRASPMP
-- (TV05_INDTIPOCOSTO 1, transport) and FNMG_GETSPDAZIMP (2, duty): per company, item
-- and option ('' = any option), in company currency, valid from TV05_DATAINIZIO.
CREATE TABLE IF NOT EXISTS TV05_COSTIUNITARI (
  TV05_DITTA_CG18          INT          NOT NULL,
  TV05_INDTIPOCOSTO        SMALLINT     NOT NULL,
  TV05_CODART_MG66         VARCHAR(20)  NOT NULL,
  TV05_OPZIONE_MG5E        VARCHAR(20)  NOT NULL DEFAULT '',
  TV05_DATAINIZIO          DATETIME     NOT NULL,
  TV05_COSTOUNIT           DECIMAL(18,5) DEFAULT 0,
  PRIMARY KEY (TV05_DITTA_CG18, TV05_INDTIPOCOSTO, TV05_CODART_MG66,
               TV05_OPZIONE_MG5E, TV05_DATAINIZIO)
);

-- Exchange rates: units of the currency per unit of company currency (USD), valid
-- from TV06_DATA until the next date.
CREATE TABLE IF NOT EXISTS TV06_CAMBI (
  TV06_CODICE_CG08         VARCHAR(4)   NOT NULL,
  TV06_DATA                DATETIME     NOT NULL,
  TV06_CAMBIO              DECIMAL(18,8),
  PRIMARY KEY (TV06_CODICE_CG08, TV06_DATA)
);

-- Companies. TV07_NUMDEC1 / TV07_NUMDEC2: the first and second decimals settings of
-- the company parameters (quantities, unit costs). TV07_FLGDEFSEDE = 1: document
-- defaults are looked up by site; TV07_FLGPARAMSDOC = 1: the document-parameter
-- service is enabled.
CREATE TABLE IF NOT EXISTS TV07_DITTE (
  TV07_DITTA               INT          NOT NULL,
  TV07_RAGSOC              VARCHAR(80),
  TV07_STATO               VARCHAR(2),
  TV07_VALUTA_CG08         VARCHAR(4)   DEFAULT 'USD',
  TV07_GRUPPO_CG10         INT          DEFAULT 1,
  TV07_CONTOCLI_CG24       VARCHAR(20),
  TV07_CONTOFOR_CG24       VARCHAR(20),
  TV07_NUMDEC1             SMALLINT     DEFAULT 3,
  TV07_NUMDEC2             SMALLINT     DEFAULT 4,
  TV07_FLGDEFSEDE          SMALLINT     DEFAULT 0,
  TV07_FLGPARAMSDOC        SMALLINT     DEFAULT 0,
  PRIMARY KEY (TV07_DITTA)
);

-- Document types: the values of the host's document settings object, one column per
-- property the engine reads by name (TV08_ + property name).
CREATE TABLE IF NOT EXISTS TV08_TIPIDOC (
  TV08_DITTA_CG18          INT          NOT NULL,
  TV08_CODDOCUM_MG36       VARCHAR(10)  NOT NULL,
  TV08_DESCR               VARCHAR(60),
  TV08_TIPOCF              SMALLINT     DEFAULT 0,
  TV08_TIPODOC             SMALLINT     DEFAULT 0,
  TV08_FLGGESOMAG          SMALLINT     DEFAULT 0,
  TV08_INDOMAGCOSTO        SMALLINT     DEFAULT 0,
  TV08_INDREGCON           SMALLINT     DEFAULT 0,
  TV08_INDCALCOLLI         SMALLINT     DEFAULT 0,
  TV08_INDCALVOLUME        SMALLINT     DEFAULT 0,
  TV08_INDCALPESOTOT       SMALLINT     DEFAULT 0,
  TV08_FLGPVSCPIE          SMALLINT     DEFAULT 0,
  TV08_FLGGESBLOCCHI       SMALLINT     DEFAULT 0,
  TV08_FLGBLOCCATO         SMALLINT     DEFAULT 0,
  TV08_CAUSBLOCCO          VARCHAR(10),
  TV08_INDCAUBENIUS        SMALLINT     DEFAULT 0,
  TV08_INDREGPROV          SMALLINT     DEFAULT 0,
  TV08_TABPRIORLISPAR      INT,
  PRIMARY KEY (TV08_DITTA_CG18, TV08_CODDOCUM_MG36)
);

-- Customers (TV09_TIPOCF 0) and suppliers (1), with their document defaults.
CREATE TABLE IF NOT EXISTS TV09_CLIFOR (
  TV09_DITTA_CG18          INT          NOT NULL,
  TV09_TIPOCF              SMALLINT     NOT NULL,
  TV09_CODICE              INT          NOT NULL,
  TV09_RAGSOC              VARCHAR(80),
  TV09_STATO               VARCHAR(2),
  TV09_TAXAREA_NV01        VARCHAR(10),
  TV09_FLGTAXLIABLE        SMALLINT     DEFAULT 1,
  TV09_VALUTA_CG08         VARCHAR(4),
  TV09_CODPAG_TV01         VARCHAR(10),
  TV09_IDAGENTE_TV03       INT,
  TV09_BANCA_CG12          INT,
  TV09_CODCAB_CG13         INT,
  PRIMARY KEY (TV09_DITTA_CG18, TV09_TIPOCF, TV09_CODICE)
);
