-- The ride log. Dates are ISO text (YYYY-MM-DD), durations HH:MM:SS with
-- optional milliseconds, distances REAL kilometres.
PRAGMA foreign_keys = ON;
PRAGMA journal_mode = DELETE;

CREATE TABLE TipiUscita (
    IDTipoUscita INTEGER PRIMARY KEY CHECK (IDTipoUscita >= 0),
    Descrizione  VARCHAR(50) NOT NULL CHECK (length(Descrizione) BETWEEN 1 AND 50)
);

CREATE TABLE Uscite (
    -- AUTOINCREMENT: a deleted ride's key is never given to another ride.
    IDUscita     INTEGER PRIMARY KEY AUTOINCREMENT,
    IDTipoUscita INTEGER NOT NULL REFERENCES TipiUscita (IDTipoUscita),
    Data         DATE NOT NULL
                 CHECK (Data GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]*'),
    Descrizione  VARCHAR(255) CHECK (length(Descrizione) <= 255),
    KM           REAL NOT NULL CHECK (typeof(KM) IN ('real', 'integer')),
    Durata       TIME,
    Note         VARCHAR(255) CHECK (length(Note) <= 255)
);

-- Month and period queries select by date; rides of one day follow their key.
CREATE INDEX IX_Uscite_Data ON Uscite (Data);
