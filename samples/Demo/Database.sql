-- The demo company's internal database (SQLite through sqliteodbc). The program fills the
-- tables; this script makes them empty:
--   sqlite3 Demo.db < Database.sql

-- The planner's non-combinable rules, one row per rule and company (CLIENTE); ID is given by
-- the database.
CREATE TABLE IF NOT EXISTS NoCombinaCoords (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    COORD1LON DOUBLE PRECISION NOT NULL,
    COORD1LAT DOUBLE PRECISION NOT NULL,
    RADIX1 DOUBLE PRECISION NOT NULL DEFAULT 0,
    COORD2LON DOUBLE PRECISION NOT NULL,
    COORD2LAT DOUBLE PRECISION NOT NULL,
    RADIX2 DOUBLE PRECISION NOT NULL DEFAULT 0,
    TIPO_RECHAZO INTEGER NOT NULL DEFAULT 0,
    CLIENTE VARCHAR(100) NOT NULL
);
CREATE INDEX IF NOT EXISTS NoCombinaCoordsCliente ON NoCombinaCoords (CLIENTE);
