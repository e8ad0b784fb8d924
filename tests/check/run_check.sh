#!/usr/bin/env bash
# Runs velqa3-check as an author would (natively, or under wine with its emulator first) and
# checks its exit status and that its report holds the given texts.
# Usage: run_check.sh EXPECTED_STATUS 'TEXT|TEXT...' [EMULATOR] CHECKER ARGUMENTS...
set -uo pipefail
expected=$1 texts=$2
shift 2
out=$("$@" 2>&1 | tr -d '\r')
status=${PIPESTATUS[0]}
failed=0
if [ "$status" -ne "$expected" ]; then
  echo "FAILED: exit status $status, expected $expected"
  failed=1
fi
IFS='|' read -ra wanted <<<"$texts"
for text in "${wanted[@]}"; do
  if ! grep -qF -- "$text" <<<"$out"; then
    echo "FAILED: the report lacks: $text"
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "ok: $*" || echo "$out"
exit "$failed"
