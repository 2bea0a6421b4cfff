#!/usr/bin/env bash
# Times the split into 100 MiB pieces and their join, each with and without
# the checksum manifest, in pairs (A B A B ...), whole processes under
# /usr/bin/time, on one cached file; prints min and median of the wall and
# the processor (user + system) seconds of each.
#
#   bench/checksum.sh [CLI] [RUNS] [SIZE_MIB]
#
# Every run writes into a new directory; the output of the run before is
# emptied, not deleted (see run.sh). The scratch directory ($BENCH_DIR or
# /tmp) needs about four times the size and is removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$root/build/release/cli/dorvenal-cli}
runs=${2:-5}
size_mib=${3:-1024}
work=$(mktemp -d "${BENCH_DIR:-/tmp}/dorvenal-checksum.XXXXXX")
trap 'rm -rf "$work"' EXIT
chattr +T "$work" 2>/dev/null || true
head -c $((size_mib << 20)) /dev/urandom >"$work/src.bin"
mkdir "$work/plain" "$work/hashed"
"$cli" split -q -y -s 102400K "$work/src.bin" "$work/plain"
"$cli" split -q -y -s 102400K --checksum "$work/src.bin" "$work/hashed"
cat "$work/src.bin" "$work"/plain/* >/dev/null

serial=0
out=""
fresh_out() {
  if [ -n "$out" ]; then find "$out" -type f -exec truncate -s 0 {} +; fi
  serial=$((serial + 1))
  out=$work/out.$serial
  mkdir "$out"
}
# Not in a subshell: fresh_out keeps its count.
timed() { fresh_out; /usr/bin/time -f '%e %U %S' -o "$work/t" "$@" "$out" >/dev/null; }
declare -A seconds cpu
for round in $(seq 0 "$runs"); do
  for case in split split_checksum join join_checksum; do
    case $case in
      split) timed "$cli" split -q -y -s 102400K "$work/src.bin" ;;
      split_checksum) timed "$cli" split -q -y -s 102400K --checksum "$work/src.bin" ;;
      join) timed "$cli" join -q -y "$work/plain/src_bin.1" ;;
      join_checksum) timed "$cli" join -q -y "$work/hashed/src_bin.1" ;;
    esac
    [ "$round" -eq 0 ] && continue  # round 0 warms up
    read -r wall user system <"$work/t"
    seconds[$case]+="$wall "
    cpu[$case]+="$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }') "
  done
done
stats() {
  tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -n |
    awk '{ v[NR] = $1 } END { printf "min %.2f median %.2f", v[1], v[int((NR + 1) / 2)] }'
}
for case in split split_checksum join join_checksum; do
  printf '%-15s wall %s   cpu %s   (n %d)\n' "$case" "$(stats "${seconds[$case]}")" "$(stats "${cpu[$case]}")" "$runs"
done
