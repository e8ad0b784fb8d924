#!/usr/bin/env bash
# Runs the Windows test host under wine and checks, from wine's trace of the MessageBoxA calls,
# that the plug-in found its own path through GetModuleFileNameA: the settings file it reports
# missing is velqa3.dat beside the DLL, once, nothing is reported when the file is there, and
# the file beside the DLL is really read: one of 20000 lines is reported as too long.
set -uo pipefail
wine=$1 host=$2 dll=$3
export WINEDEBUG=-all,+relay
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$wine" "$host" "$dll" 2>"$log"
status=$?
grep -E '^(ok|FAILED): ' "$log"
boxes() { sed -n "/^run: $1/,/^run: /p" "$log" | grep -c 'Call user32.MessageBoxA(' ; }
missing=$(sed -n '/^run: without settings/,/^run: /p' "$log" | grep 'Call user32.MessageBoxA(' || true)
failed=0
if [ "$(boxes "without settings")" -eq 1 ] && grep -q 'velqa3-wine-missing\\\\velqa3.dat"' <<<"$missing"; then
  echo "ok: the missing settings file is reported once, captioned with its path beside the DLL"
else
  echo "FAILED: expected one MessageBoxA captioned ...velqa3-wine-missing\\velqa3.dat, saw:"
  echo "$missing"
  failed=1
fi
if [ "$(boxes "with settings")" -eq 0 ]; then
  echo "ok: a settings file beside the DLL is read without a message"
else
  echo "FAILED: a message box appeared although the settings file was there"
  failed=1
fi
# The message of the too-long file, in the DLL's CP932 as wine's trace escapes it: the text
# "行数オーバー" with the caption "ATS-PTプラグイン設定読み込み".
long=$(sed -n '/^run: with a settings file of 20000 lines/,/^run: /p' "$log" | grep 'Call user32.MessageBoxA(' || true)
if [ "$(boxes "with a settings file of 20000 lines")" -eq 1 ] &&
   grep -qF '"\x8ds\x90\x94\x83I\x81[\x83o\x81[",' <<<"$long" &&
   grep -qF '"ATS-PT\x83v\x83\x89\x83O\x83C\x83\x93\x90\xdd\x92\xe8\x93\xc7\x82\xdd\x8d\x9e\x82\xdd",00000000)' <<<"$long"; then
  echo "ok: the settings file beside the DLL is read, and 20000 lines are reported as too many"
else
  echo "FAILED: expected one MessageBoxA with the line-count message, saw:"
  echo "$long"
  failed=1
fi
[ "$status" -eq 0 ] && [ "$failed" -eq 0 ]
