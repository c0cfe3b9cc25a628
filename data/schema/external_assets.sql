-- Asset register of the external system (SQLite), kept in a database of its own.
--
-- The company database names it in CO60_CONFVEXNAV.CO60_DATABASE; the engine reads
-- it as [name].dbo.VS02_ASSET, which on SQLite becomes "name".VS02_ASSET, so the file
-- is attached to the company connection under that name:
--   ATTACH DATABASE 'tvassets.db' AS TVASSETS;

CREATE TABLE IF NOT EXISTS VS02_ASSET (
  VS02_COMPANYID       INT          NOT NULL,
  VS02_ASSETNO         VARCHAR(20)  NOT NULL,
  VS02_DESCRIPTION     VARCHAR(100),
  VS02_CLASS           VARCHAR(10),
  VS02_ACQUIREDON      DATETIME,
  VS02_ACQUISITIONCOST DECIMAL(18,5) DEFAULT 0,
  PRIMARY KEY (VS02_COMPANYID, VS02_ASSETNO)
);
