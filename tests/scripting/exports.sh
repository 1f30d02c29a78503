#!/usr/bin/env bash
# The C library's exported functions are exactly those pinlark.h declares:
#   exports.sh LIBRARY HEADER
# A .dll is read with the MinGW objdump, anything else with nm.
set -euo pipefail
library=$1 header=$2
declared=$(grep -o 'PINLARK_API [^(]*(' "$header" | grep -o 'pinlark_[a-z_]*($' | tr -d '(' | sort)
case $library in
  # The name table's rows: "[   0] pinlark_cancel".
  *.dll) exported=$(x86_64-w64-mingw32-objdump -p "$library" | grep -E '^\s*\[ *[0-9]+\] [^ +]+$' |
                    awk '{ print $NF }' | sort) ;;
  *) exported=$(nm -D --defined-only "$library" | awk '$2 ~ /^[TDBRVWu]$/ { print $3 }' | sort) ;;
esac
if [ "$declared" != "$exported" ]; then
  echo "exports of $library differ from $header (< declared, > exported):" >&2
  diff <(echo "$declared") <(echo "$exported") >&2 || true
  exit 1
fi
echo "$library exports the $(wc -l <<<"$declared") functions of $(basename "$header") and nothing else"
