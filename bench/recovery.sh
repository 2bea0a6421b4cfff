#!/usr/bin/env bash
# Times recovery pieces against the same work without them, and against
# par2 as a yardstick, in rounds (each case once a round, in turn), whole
# processes under /usr/bin/time, on one cached file; prints min and median
# of the wall and the processor (user + system) seconds of each case.
#
#   bench/recovery.sh [CLI] [RUNS] [SIZE_MIB]
#
#   split_checksum  split -n 10 --checksum
#   split_recovery  split -n 10 --recovery 1          (10% of recovery data)
#   join_manifest   join of the whole set with its manifest
#   join_rebuild    join of the set with one piece lost, which it rebuilds
#   par2_create     par2 create -r10 of the source     (with par2 installed)
#   par2_repair     par2 repair of a copy with a tenth overwritten, as much
#                   as join_rebuild rebuilds
#
# $CASES picks some of them (e.g. CASES="join_manifest join_rebuild"). The
# rounds pair the cases: the ratios of split_recovery to split_checksum
# and join_rebuild to join_manifest are also given as the median of the
# rounds' own ratios, which hold on a shared machine where the times do not.
#
# Put the scratch directory on tmpfs ($BENCH_DIR, e.g. /dev/shm): it needs
# about five times the size, and is removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$root/build/release/cli/dorvenal-cli}
runs=${2:-5}
size_mib=${3:-1024}
work=$(mktemp -d "${BENCH_DIR:-/tmp}/dorvenal-recovery.XXXXXX")
trap 'rm -rf "$work"' EXIT
head -c $((size_mib << 20)) /dev/urandom >"$work/src.bin"
mkdir "$work/summed" "$work/coded" "$work/out"
"$cli" split -q -y -n 10 --checksum "$work/src.bin" "$work/summed"
"$cli" split -q -y -n 10 --recovery 1 "$work/src.bin" "$work/coded"
rm "$work/coded/src_bin.4"
all="split_checksum split_recovery join_manifest join_rebuild"
command -v par2 >/dev/null && all="$all par2_create par2_repair"
cases=${CASES:-$all}
if [[ " $cases " == *" par2_"* ]]; then
  mkdir "$work/par"
  cp "$work/src.bin" "$work/par/src.bin"
  (cd "$work/par" && par2 create -q -q -r10 -n1 src.par2 src.bin)
fi

# Each case writes into an emptied folder, so that none pays for another's files.
timed() {
  rm -rf "$work/out" && mkdir "$work/out"
  /usr/bin/time -f '%e %U %S' -o "$work/t" "$@" >/dev/null 2>&1
}
damage() {
  cp "$work/src.bin" "$work/par/src.bin"
  dd if=/dev/zero of="$work/par/src.bin" bs=1M seek=$((size_mib * 3 / 10)) count=$((size_mib / 10)) conv=notrunc status=none
}
declare -A seconds cpu last
ratios=()
for round in $(seq 0 "$runs"); do
  for case in $cases; do
    case $case in
      split_checksum) timed "$cli" split -q -y -n 10 --checksum "$work/src.bin" "$work/out" ;;
      split_recovery) timed "$cli" split -q -y -n 10 --recovery 1 "$work/src.bin" "$work/out" ;;
      join_manifest) timed "$cli" join -q -y "$work/summed/src_bin.1" "$work/out" ;;
      join_rebuild) timed "$cli" join -q -y "$work/coded/src_bin.1" "$work/out" ;;
      par2_create) timed par2 create -q -q -r10 -n1 "$work/out/src.par2" "$work/src.bin" ;;
      par2_repair) damage && timed par2 repair -q -q "$work/par/src.par2" && rm -f "$work/par/src.bin.1" ;;
    esac
    [ "$round" -eq 0 ] && continue  # round 0 warms up
    read -r wall user system <"$work/t"
    last[$case]=$wall
    seconds[$case]+="$wall "
    cpu[$case]+="$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }') "
  done
  [ "$round" -eq 0 ] && continue
  for pair in split_recovery/split_checksum join_rebuild/join_manifest; do
    a=${pair%/*} b=${pair#*/}
    [ -n "${last[$a]:-}" ] && [ -n "${last[$b]:-}" ] &&
      ratios[${#ratios[@]}]="$pair $(awk -v a="${last[$a]}" -v b="${last[$b]}" 'BEGIN { print a / b }')"
  done
done
stats() {
  tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -n |
    awk '{ v[NR] = $1 } END { printf "min %.2f median %.2f", v[1], v[int((NR + 1) / 2)] }'
}
for case in $cases; do
  printf '%-15s wall %s   cpu %s   (n %d)\n' "$case" "$(stats "${seconds[$case]}")" "$(stats "${cpu[$case]}")" "$runs"
done
for pair in split_recovery/split_checksum join_rebuild/join_manifest; do
  values=$(printf '%s\n' "${ratios[@]}" | awk -v p="$pair" '$1 == p { print $2 }')
  [ -z "$values" ] && continue
  printf '%-29s ratio of each round: median %s\n' "$pair" \
    "$(sort -n <<<"$values" | awk '{ v[NR] = $1 } END { printf "%.2f (n %d)", v[int((NR + 1) / 2)], NR }')"
done
