#!/usr/bin/env bash
# make_locales.sh DIR LOCALE...: the Linux locales (LOCALE.UTF-8) that Wine
# needs to take a Windows locale, and its code pages, from LC_ALL, made
# into DIR for LOCPATH when missing: without them Wine reads names as ASCII.
set -euo pipefail
dir=$1
shift
mkdir -p "$dir"
for locale in "$@"; do
  [ -d "$dir/$locale.UTF-8" ] || localedef -i "$locale" -f UTF-8 "$dir/$locale.UTF-8" >/dev/null 2>&1 ||
    { echo "make_locales: localedef cannot make $locale.UTF-8 (Debian: locales)" >&2; exit 1; }
done
echo "locales: $* in $dir"
