-- A stand's file of schema version 2 whose pass table already has a column the
-- next upgrade adds (put there by hand): the upgrade is refused and rolled
-- back, the file left as it was, and the session goes on unrecorded.
CREATE TABLE pass (id INTEGER PRIMARY KEY, stand_ended INTEGER);
PRAGMA user_version = 2;
