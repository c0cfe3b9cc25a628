-- Asset register of the external system for the demo companies. Load after
-- data/schema/external_assets.sql into the database that CO60_CONFVEXNAV names
-- (TVASSETS). FA-0004 is the racking bought on demo document 2026000201; company 2
-- reuses the number FA-0001 for an asset of its own.


INSERT INTO VS02_ASSET (VS02_COMPANYID, VS02_ASSETNO, VS02_DESCRIPTION, VS02_CLASS,
  VS02_ACQUIREDON, VS02_ACQUISITIONCOST) VALUES
  (1, 'FA-0001', 'Electric forklift, 3,000 lb capacity', 'WHSE',    '2023-05-11', 28450.00),
  (1, 'FA-0002', 'Delivery van, 2024 model year',        'VEHICLE', '2024-02-02', 46900.00),
  (1, 'FA-0003', 'Point-of-sale terminals (6)',          'IT',      '2025-09-15', 7740.00),
  (1, 'FA-0004', 'Pallet racking, 12 bays',              'WHSE',    '2026-03-10', 2499.08),
  (2, 'FA-0001', 'Office furniture, head office',        'OFFICE',  '2022-08-30', 12300.00);

