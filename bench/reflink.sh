#!/usr/bin/env bash
# Times dorvenal-cli's split of a 1 GiB file into 8 block-aligned pieces,
# and their join, on a loop-mounted XFS image with reflink, against
# `split -b` and `cat` in the same rounds, and how much disk each one takes.
# Prints a Markdown table.
#
#   bench/reflink.sh [--runs N] [--dir DIR] [--build-dir DIR | --cli FILE]
#                    [--output FILE]
#
#   --runs       timed rounds (default 5), after a warm-up round
#   --dir        where the 4 GiB image file goes (sparse; about 2.2 GiB are
#                written) (default $BENCH_DIR, else /tmp)
#   --build-dir  release build to use or make (default build/release)
#   --cli        time this dorvenal-cli instead of building one
#   --output     also write the report to this file
#
# Needs root, xfsprogs (mkfs.xfs), a free loop device and an XFS-capable
# kernel; without them it says what is missing and exits 0, skipped.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "$0")/.." && pwd)
runs=5
scratch_parent=${BENCH_DIR:-/tmp}
build=${BENCH_BUILD_DIR:-$root/build/release}
report_file=""
cli=""

usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --dir) scratch_parent=$2; shift 2 ;;
    --build-dir) build=$2; shift 2 ;;
    --cli) cli=$(realpath "$2"); shift 2 ;;
    --output) report_file=$2; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) echo "bench: unknown argument '$1'" >&2; usage >&2; exit 2 ;;
  esac
done
case $runs in '' | *[!0-9]* | 0) echo "bench: --runs must be at least 1" >&2; exit 2 ;; esac

say() { echo "bench: $*" >&2; }
skip() { say "the XFS run is skipped: $*"; exit 0; }

[ "$(id -u)" -eq 0 ] || skip "mounting an image needs root"
command -v mkfs.xfs >/dev/null || skip "mkfs.xfs is missing (Debian package xfsprogs)"
command -v losetup >/dev/null || skip "losetup is missing (Debian package mount)"

if [ -z "$cli" ]; then
  say "building dorvenal-cli (release preset) in $build"
  (cd "$root" && cmake --preset release -B "$build" >/dev/null)
  cmake --build "$build" --target dorvenal-cli -j2 >/dev/null
  cli=$build/cli/dorvenal-cli
fi
[ -x "$cli" ] || { say "no dorvenal-cli at $cli"; exit 1; }

mkdir -p "$scratch_parent"
work=$(mktemp -d "$scratch_parent/dorvenal-reflink.XXXXXX")
mnt=$work/mnt
cleanup() {
  if mountpoint -q "$mnt"; then umount "$mnt" || umount -l "$mnt"; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

truncate -s 4G "$work/xfs.img"
mkfs.xfs -q -m reflink=1 "$work/xfs.img" || skip "mkfs.xfs -m reflink=1 failed"
mkdir "$mnt"
mount -o loop "$work/xfs.img" "$mnt" 2>/dev/null || skip "the image could not be mounted (no free loop device, or no XFS in this kernel)"

say "making a 1 GiB file of random bytes on XFS"
head -c 1G /dev/urandom >"$mnt/data.bin"
mkdir "$mnt/pieces"
"$cli" split -s 128M --yes --quiet "$mnt/data.bin" "$mnt/pieces"
pieces=()
for ((k = 1; k <= 8; k++)); do pieces+=("$mnt/pieces/data_bin.$k"); done
sync

# Bytes in use on the image, as statfs counts them (pending frees included).
used_bytes() { stat -f -c '%b %f %S' "$mnt" | awk '{ printf "%.0f", ($1 - $2) * $3 }'; }

ops=(ours_start ours_split split_b ours_join cat)
declare -A shown
shown[ours_start]="dorvenal-cli --version"
shown[ours_split]="dorvenal-cli split -s 128M --yes data.bin OUT"
shown[split_b]="split -b 128M data.bin OUT/x"
shown[ours_join]="dorvenal-cli join --yes data_bin.1 OUT"
shown[cat]="cat data_bin.1 ... data_bin.8 > OUT/data.bin"

run_op() {
  case $1 in
    ours_start) "$cli" --version >/dev/null ;;
    ours_split) "$cli" split -s 128M --yes --quiet "$mnt/data.bin" "$out" ;;
    split_b) split -b 128M "$mnt/data.bin" "$out/x" ;;
    ours_join) "$cli" join --yes --quiet "$mnt/pieces/data_bin.1" "$out" ;;
    cat) cat "${pieces[@]}" >"$out/data.bin" ;;
  esac
}

# Wall time from bash's own clock (no process started around the command),
# and the disk space the command's output holds once written out.
declare -A times growth
serial=0
time_op() {
  local op=$1 before after start end
  serial=$((serial + 1))
  out=$mnt/out.$serial
  mkdir "$out"
  sync
  before=$(used_bytes)
  start=$EPOCHREALTIME
  run_op "$op"
  end=$EPOCHREALTIME
  sync
  after=$(used_bytes)
  times[$op]+="$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", (b - a) * 1000 }') "
  growth[$op]+="$(awk -v a="$before" -v b="$after" 'BEGIN { printf "%.1f", (b - a) / 1048576 }') "
  if [ "$op" = ours_join ]; then cmp -s "$out/data.bin" "$mnt/data.bin" || { say "the joined file differs from the source"; exit 1; }; fi
  if [ "$op" = ours_split ]; then cat "$out"/data_bin.{1..8} | cmp -s - "$mnt/data.bin" || { say "the pieces differ from the source"; exit 1; }; fi
  rm -rf "$out"
}

say "warm-up round"
for op in "${ops[@]}"; do time_op "$op"; done
for op in "${ops[@]}"; do times[$op]=""; growth[$op]=""; done
for ((round = 1; round <= runs; round++)); do
  say "round $round of $runs"
  for op in "${ops[@]}"; do time_op "$op"; done
done

median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
minmax() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%s-%s", lo, hi }'; }
report() {
  echo "XFS with reflink on a loop-mounted 4 GiB image ($(mkfs.xfs -V | head -n 1)), Linux $(uname -r);"
  echo "a 1 GiB file of random bytes; median of $runs interleaved rounds after a warm-up round;"
  echo "each run writes into a new directory, removed after the run; disk growth is the used space after a sync;"
  echo "\`dorvenal-cli --version\` is what starting and ending our program costs, work aside."
  echo
  echo "| Command | Median (ms) | Range (ms) | Disk growth, median (MiB) | Growth range (MiB) |"
  echo "|---|---:|---:|---:|---:|"
  for op in "${ops[@]}"; do
    printf '| `%s` | %s | %s | %s | %s |\n' "${shown[$op]}" "$(median "${times[$op]}")" "$(minmax "${times[$op]}")" \
      "$(median "${growth[$op]}")" "$(minmax "${growth[$op]}")"
  done
  echo
  echo "| Target | Figure | |"
  echo "|---|---|---|"
  local op t g
  for op in ours_split ours_join; do
    t=$(median "${times[$op]}")
    g=$(median "${growth[$op]}")
    echo "| \`${shown[$op]%% *} ${op#ours_}\` under 10 ms | $t ms | $(awk -v t="$t" 'BEGIN { print (t < 10) ? "met" : "MISSED" }') |"
    echo "| \`${shown[$op]%% *} ${op#ours_}\` grows the disk usage by under 1% (10.24 MiB) | $g MiB | $(awk -v g="$g" 'BEGIN { print (g < 10.24) ? "met" : "MISSED" }') |"
  done
}

if [ -n "$report_file" ]; then
  report | tee "$report_file"
else
  report
fi
