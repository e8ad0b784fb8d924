#!/usr/bin/env bash
# Runs the soak scenario for HOURS simulated hours and reports what a long run must show: the
# resident memory at the first and the last simulated hour (it must not grow), the run record's
# size against the rows written (one a second while the record switch is on), frames per wall
# second and any message shown. Exit 1 when memory grew, the record fell behind or a check of
# the scenario failed.
set -euo pipefail
if [[ $# -ne 4 ]]; then
  echo "usage: soak.sh VELQA3_SIM PLUGIN RUN_FOLDER HOURS" >&2
  exit 2
fi
sim=$1 plugin=$2 out=$3 hours=$4
if ! [[ $hours =~ ^[0-9]{1,3}$ ]] || ((hours < 1 || hours > 168)); then
  echo "soak: HOURS must be a whole number from 1 to 168 (a week), not '$hours'" >&2
  exit 2
fi
scenario="$(dirname "$0")/soak_service.toml"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
"$sim" "$scenario" --plugin "$plugin" --out "$out" --no-plot --hourly \
  --max-s $((hours * 3600)) --max-frames 100000000 >"$log" || status=$?
grep -E '^(FAILED|plug-in message)' "$log" || true

first=$(grep -m1 '^simulated 1.000 h' "$log" | sed -E 's/.*resident memory ([0-9]+) kB.*/\1/')
last=$(grep '^simulated [0-9.]* h:' "$log" | tail -1 | sed -E 's/.*resident memory ([0-9]+) kB.*/\1/')
fps=$(grep '^simulated [0-9.]* h:' "$log" | tail -1 | sed -E 's/.* ([0-9]+) frames per wall second.*/\1/')
frames=$(grep -oE '\(([0-9]+) frames\)' "$log" | tr -dc '0-9')
messages=$(grep -oE '[0-9]+ messages?[,;]' "$log" | tr -dc '0-9')
record="$out/velqa3.csv"
rows=$(wc -l <"$record")
bytes=$(wc -c <"$record")
seconds=$((hours * 3600))

echo "soak: $hours simulated hours, $frames frames, $fps frames per wall second"
echo "soak: resident memory ${first} kB at the first simulated hour, ${last} kB at the last"
echo "soak: run record $bytes bytes in $rows rows ($((bytes / (rows > 0 ? rows : 1))) bytes a row)" \
  "for $seconds simulated seconds"
echo "soak: $messages message(s) shown"
if [[ ${SOAK_MEMORY:-judge} == report ]]; then
  # A sanitizer holds freed memory back and grows its own tables: its resident memory says
  # nothing of the plug-in's, so it is shown and not judged.
  echo "soak: resident memory not judged under the sanitizers"
elif [[ -z $first || -z $last ]] || ((last > first)); then
  echo "soak: FAILED: the resident memory grew" >&2
  status=1
fi
# One line a second while the switch is on: all of each repetition but its first and last
# seconds.
if ((rows * 10 < seconds * 9 || rows > seconds)); then
  echo "soak: FAILED: the run record has $rows rows for $seconds s" >&2
  status=1
fi
exit "$status"
