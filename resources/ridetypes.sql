-- Ride types: the key is the type's position in the list, from 0 without gaps.
INSERT INTO TipiUscita (IDTipoUscita, Descrizione) VALUES
    (0, 'Strada'),
    (1, 'MTB'),
    (2, 'Gravel'),
    (3, 'Città'),
    (4, 'Rulli'),
    (5, 'Gara');
