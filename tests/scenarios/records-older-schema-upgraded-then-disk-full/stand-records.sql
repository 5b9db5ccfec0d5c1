-- A stand's file of schema version 1: a pass that ended, and one a power cut
-- left unfinished. Its disk fills as the second pass of the session ends: that
-- pass's end is rolled back whole, and the third goes on unrecorded.
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
  upload TEXT
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
INSERT INTO pass VALUES (1, '2026-01-05T08:00:00.000Z', '2026-01-05T08:00:50.000Z', 'v1.3.0', 'stand-1', 'test', 0,
                         'general', 'failed', 'operator: n', 128, 1, 'sent');
INSERT INTO pass (id, started, version, stand, mode, flash_every, edition)
  VALUES (2, '2026-01-05T08:01:00.000Z', 'v1.3.0', 'stand-1', 'test', 0, 'general');
INSERT INTO shield_read VALUES (1, 0, 26, 325, 3276831, 875974923, 943207479, 1);
INSERT INTO check_result VALUES (1, 1, 0, 'REL2', 'failed');
INSERT INTO measurement VALUES (1, 0, 'level', 1, 0, 0, 0);
CREATE TRIGGER disk_full BEFORE INSERT ON prompt WHEN NEW.pass = 4
  BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END;
