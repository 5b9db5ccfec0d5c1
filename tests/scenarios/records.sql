-- The canonical dump of a session's stand-records.sqlite that run-scenario
-- compares with a folder's `records`: everything but the wall clock and the
-- host name, which differ from run to run; one line per row, in row order.
.bail on
.mode list
.separator ' '
SELECT 'version ' || user_version FROM pragma_user_version;
SELECT 'pass', id, version, mode, 'flash-every=' || flash_every, edition, outcome, quote(end_reason),
       'failures=' || quote(failures), 'count=' || quote(failure_count), 'upload=' || quote(upload),
       CASE WHEN ended > started THEN 'ended' ELSE quote(ended) END,
       'stand-time=' || quote(stand_started) || '..' || quote(stand_ended)
  FROM pass ORDER BY id;
SELECT '  read', pass, seq, 'number=' || number, 'firmware=' || firmware,
       printf('id=%08x,%08x,%08x', id0, id1, id2), 'complete=' || id_complete
  FROM shield_read ORDER BY pass, seq;
SELECT '  flashing', pass, seq, tool, outcome, 'errors=' || error_words, 'status=' || exit_status,
       'signal=' || signal FROM flashing ORDER BY pass, seq;
SELECT '  check', c.pass, c.seq, quote(c.name), c.outcome,
       (SELECT group_concat(coalesce(m.value, '-') || '[' || coalesce(m.low, '') || ',' || coalesce(m.high, '') ||
               ']' || CASE m.ok WHEN 1 THEN '' WHEN 0 THEN '!' ELSE '?' END, ' ')
          FROM (SELECT * FROM measurement WHERE check_id = c.id ORDER BY seq) m)
  FROM check_result c ORDER BY c.pass, c.seq;
SELECT '  prompt', pass, seq, quote(question), quote(answer) FROM prompt ORDER BY pass, seq;
