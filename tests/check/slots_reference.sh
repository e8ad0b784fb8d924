#!/usr/bin/env bash
# Regenerates a guide page of panel and sound slots with the built velqa3-check and fails, with
# the difference and the command that brings the page up to date, where the repository's copy
# says something else.
# Usage: slots_reference.sh CHECKER LANGUAGE SOURCE_DIR
set -uo pipefail
checker=$1 language=$2 source=$3
page=docs/$language/panel-sound.md
fresh=$(mktemp)
trap 'rm -f "$fresh"' EXIT
if ! "$checker" --slots "$language" >"$fresh"; then
  echo "FAILED: $checker --slots $language exited with status $?"
  exit 1
fi
if ! diff -u "$source/$page" "$fresh"; then
  echo "FAILED: $page is not what velqa3-check prints now. Regenerate it from the source folder:"
  echo "  build/native/velqa3-check --slots $language > $page"
  exit 1
fi
echo "ok: $page"
