-- A stand's file made fixed: its name, and its passes a day apart from :day
-- of March 2026 on, at 08:00 UTC, each lasting a minute.
UPDATE pass SET stand = :stand,
                started = printf('2026-03-%02dT08:00:00.000Z', :day + id - 1),
                ended = printf('2026-03-%02dT08:01:00.000Z', :day + id - 1);
