PRAGMA user_version = 9;
