#!/usr/bin/env bash
# wine_names.sh dorvenal-cli.exe LOCALE_DIR (make_locales.sh): names in any script under Wine, each in a locale
# whose command prompt reads it: split, piece names, JOIN.BAT in its OEM code page run by cmd, and join.
set -uo pipefail
exe=$(realpath "$1") locales=$2 tools=$(cd "$(dirname "$0")/../../tools" && pwd)
[ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] || exec "$tools/wine-session" bash "$0" "$@"
work=$(mktemp -d "${TMPDIR:-/tmp}/dorvenal-names-wine.XXXXXX") failures=0
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Wine takes the locale and code pages from LC_ALL, which must exist on Linux too, or it reads names as ASCII.
export LOCPATH=$locales

win() { printf 'Z:%s' "${1//\//\\}"; }

# name | locale | JOIN.BAT's spelling (iconv code page), "refused", or "-" for no JOIN.BAT: a name outside code
# page 1252 reaches the program only through its UTF-8 manifest. hi_IN's console reads UTF-8.
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
  # Wine's helpers keep the locale they started in: each row starts them afresh, as a boot in that locale.
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
