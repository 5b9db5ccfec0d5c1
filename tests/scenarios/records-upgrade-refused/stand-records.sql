-- A stand's file of schema version 1 whose pass table already has a column the
-- upgrade adds (put there by hand): the upgrade is refused and rolled back, the
-- file left as it was, and the pass goes on unrecorded.
CREATE TABLE pass (
  id INTEGER PRIMARY KEY,
  started TEXT NOT NULL,
  ended TEXT,
  version TEXT NOT NULL,
  stand TEXT NOT NULL,
  mode TEXT NOT NULL,
  flash_every INTEGER NOT NULL,
  edition TEXT NOT NULL,
  outcome TEXT,
  end_reason TEXT,
  failures INTEGER,
  failure_count INTEGER,
  upload TEXT,
  stand_ended INTEGER
);
CREATE TABLE shield_read (
  pass INTEGER NOT NULL REFERENCES pass(id), seq INTEGER NOT NULL,
  number INTEGER NOT NULL, firmware INTEGER NOT NULL,
  id0 INTEGER NOT NULL, id1 INTEGER NOT NULL, id2 INTEGER NOT NULL,
  id_complete INTEGER NOT NULL,
  PRIMARY KEY (pass, seq));
CREATE TABLE flashing (
  pass INTEGER NOT NULL REFERENCES pass(id), seq INTEGER NOT NULL,
  tool TEXT NOT NULL,
  outcome TEXT NOT NULL,
  error_words INTEGER NOT NULL, exit_status INTEGER NOT NULL, signal INTEGER NOT NULL,
  PRIMARY KEY (pass, seq));
CREATE TABLE check_result (
  id INTEGER PRIMARY KEY,
  pass INTEGER NOT NULL REFERENCES pass(id), seq INTEGER NOT NULL,
  name TEXT NOT NULL,
  outcome TEXT NOT NULL);
CREATE TABLE measurement (
  check_id INTEGER NOT NULL REFERENCES check_result(id), seq INTEGER NOT NULL,
  quantity TEXT NOT NULL,
  value INTEGER,
  low INTEGER, high INTEGER,
  ok INTEGER,
  PRIMARY KEY (check_id, seq));
CREATE TABLE prompt (
  pass INTEGER NOT NULL REFERENCES pass(id), seq INTEGER NOT NULL,
  question TEXT NOT NULL, answer TEXT NOT NULL,
  PRIMARY KEY (pass, seq));
PRAGMA user_version = 1;
