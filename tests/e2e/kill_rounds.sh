#!/usr/bin/env bash
# kill_rounds.sh BIN_DIR [ROUNDS]: two programs on one stand, both changing the
# shield's number, killed (SIGKILL) at a random moment, round after round;
# then one whole run. The shield's state must still read, and no temporary
# file of a stand file may be left behind.
set -u
bin=$(cd "$1" && pwd) || exit 2
rounds=${2:-100}
work=$(mktemp -d "${TMPDIR:-/tmp}/velk-kill.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
stand=("$bin/velk-stand" --dir "$work/stand" --program "$bin/../tests/stand_probe")
"${stand[@]}" --fresh -- read >/dev/null || exit 1
for ((round = 1; round <= rounds; ++round)); do
  "${stand[@]}" -- number $((round % 250)) reset read >/dev/null 2>&1 &
  first=$!
  "${stand[@]}" -- number 7 wait 5 number 8 >/dev/null 2>&1 &
  second=$!
  sleep "0.0$((RANDOM % 40))"  # a moment anywhere in the two programs' short lives
  kill -KILL "$first" "$second" 2>/dev/null
  wait "$first" "$second" 2>/dev/null
done
if ! out=$("${stand[@]}" -- read 2>&1); then
  echo "the stand no longer runs after $rounds rounds of kills: $out"
  exit 1
fi
left=$(find "$work/stand" -maxdepth 1 -regextype posix-extended -regex '.*\.[A-Za-z0-9]{6}$' -printf '%f\n')
if [[ -n $left ]]; then
  echo "temporary files left after $rounds rounds of kills:" $left
  exit 1
fi
echo "$rounds rounds of kills: the state reads, no temporary file left"
