#!/usr/bin/env bash
# wine_names.sh dorvenal-cli.exe LOCALE_DIR: names in any script through the
# Windows command line under Wine, each in a Windows locale whose command
# prompt can read it: the split, the pieces' names as Linux sees them,
# JOIN.BAT with the name in that locale's OEM code page, re-created by cmd
# byte for byte, and the join. LOCALE_DIR holds the Linux locales Wine
# needs for them (make_locales.sh).
set -uo pipefail
exe=$(realpath "$1") locales=$2 tools=$(cd "$(dirname "$0")/../../tools" && pwd)
[ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] || exec "$tools/wine-session" bash "$0" "$@"
work=$(mktemp -d "${TMPDIR:-/tmp}/dorvenal-names-wine.XXXXXX") failures=0
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Wine takes the Windows locale, and with it the code pages, from LC_ALL;
# the locale must exist on Linux too (make_locales.sh), or Wine reads names
# as ASCII. C.UTF-8 stands for English (United States).
export LOCPATH=$locales

# Windows paths of Linux ones, Wine's Z: drive.
win() { printf 'Z:%s' "${1//\//\\}"; }

# name | Wine's locale | how JOIN.BAT spells the name (iconv's code page),
# "refused" for a name that locale's command prompt cannot read, or "-"
# for a split without JOIN.BAT: a name that code page 1252 cannot spell
# reaches the program only through its UTF-8 manifest. hi_IN has no code
# page of its own: its console reads UTF-8, as that of a Windows set to
# use UTF-8 for every program.
rows=(
  "café.txt|C|CP437"
  "my (1) café.txt|C|CP437"
  "Отчёт.docx|ru_RU|CP866"
  "文件.zip|zh_CN|CP936"
  "🎉.bin|hi_IN|UTF-8"
  "文件.zip|C|refused"
  "文件.zip|C|-"
)
for row in "${rows[@]}"; do
  IFS='|' read -r name locale spelling <<<"$row"
  export LC_ALL=$locale.UTF-8
  # Wine's helper processes keep the locale they started with and write its
  # code pages into the registry: each row starts them afresh, in this
  # session's own prefix, as a Windows booted in that locale would.
  timeout 30 wineserver -k >/dev/null 2>&1; timeout 30 wineserver -w >/dev/null 2>&1
  dir=$(mktemp -d "$work/row.XXXXXX")
  mkdir "$dir/out" "$dir/joined"
  # A zero byte and a 0x1A, where a COPY without /B stops.
  { printf 'A\032B\000C'; seq 1 3000; } | head -c 10000 >"$dir/$name"
  stem=${name%.*}_${name##*.}
  batch=--batch expected="JOIN.BAT|$stem.1|$stem.2|$stem.3|"
  [ "$spelling" = - ] && batch=--quiet expected="$stem.1|$stem.2|$stem.3|"
  timeout 120 wine "$exe" split -n 3 "$batch" -y "$(win "$dir/$name")" "$(win "$dir/out")" </dev/null \
    >"$dir/stdout" 2>"$dir/stderr"
  status=$?
  if [ "$spelling" = refused ]; then
    # Refused before anything is written, naming the name and JOIN.BAT.
    [ "$status" = 1 ] && grep -qF "$name" "$dir/stderr" && grep -qF JOIN.BAT "$dir/stderr" ||
      fail "$name in $locale: status $status, $(cat "$dir/stderr")"
    [ -z "$(ls -A "$dir/out")" ] || fail "$name in $locale: written before the refusal: $(ls "$dir/out")"
    continue
  fi
  [ "$status" = 0 ] || { fail "$name in $locale: split status $status: $(cat "$dir/stderr")"; continue; }
  listing=$(cd "$dir/out" && LC_ALL=C && printf '%s|' *)
  [ "$listing" = "$expected" ] || fail "$name in $locale: out/ holds $listing"
  if [ "$spelling" != - ]; then
    ren="REN dorvnl.tmp \"$(printf '%s' "$name" | iconv -f UTF-8 -t "$spelling")\""
    grep -qaF "$ren" "$dir/out/JOIN.BAT" || fail "$name in $locale: JOIN.BAT does not spell it in $spelling"
    (cd "$dir/out" && timeout 60 wine cmd /c JOIN.BAT </dev/null >/dev/null 2>&1)
    cmp -s "$dir/$name" "$dir/out/$name" || fail "$name in $locale: cmd /c JOIN.BAT did not re-create it"
  fi
  timeout 120 wine "$exe" join -y "$(win "$dir/out/$stem.1")" "$(win "$dir/joined")" </dev/null >/dev/null 2>&1 ||
    fail "$name in $locale: the join failed"
  cmp -s "$dir/$name" "$dir/joined/$name" || fail "$name in $locale: the joined file differs"
done
[ "$failures" = 0 ] && echo "all ${#rows[@]} names passed" || { echo "$failures case(s) failed" >&2; exit 1; }
