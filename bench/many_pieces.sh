#!/usr/bin/env bash
# Many small pieces: two splitters timed in pairs, A B A B ..., the order
# swapped every other pair; prints each run's seconds, the A/B ratio of
# every pair and their median.
#
#   bench/many_pieces.sh native [--cli FILE] [--against FILE] [--dir DIR] [--runs N] [--over]
#       dorvenal-cli split -y -q -s 1 against `split -b 1K` (or against
#       another build's dorvenal-cli), 10,000 pieces of 1 KiB
#       (--cli: default build/release/cli/dorvenal-cli)
#   bench/many_pieces.sh cli NEW.exe OLD.exe [--pieces 3334|10000] [--dir DIR] [--runs N] [--over]
#       two Windows command lines under Wine: 3,334 pieces of 3 bytes
#       (`--bytes --size 3`) or 10,000 of 1 KiB (`--size 1`)
#   bench/many_pieces.sh dialog NEW.exe OLD.exe [--dir DIR] [--runs N]
#       two dialog programs under Wine, 3,334 pieces of 3 bytes, timed
#       from the answer Yes to the box that says it finished (needs
#       dialog_split.exe, built from bench/dialog_split.cpp, beside this
#       script or in --dir)
#
# Each run splits into a new folder (its `rm -rf` and `mkdir` are not
# timed), or, with --over, into the folder the run before left: a set of
# the same count is replaced. Run the Wine modes inside
# tools/wine-session; they keep one Wine server up for the whole series.
set -euo pipefail

mode=${1:-}
[ -n "$mode" ] || { sed -n '2,22s/^# \{0,1\}//p' "$0"; exit 2; }
shift
root=$(cd "$(dirname "$0")/.." && pwd)
a="" b=""
if [ "$mode" = cli ] || [ "$mode" = dialog ]; then
  [ $# -ge 2 ] || { echo "many_pieces: $mode needs NEW.exe and OLD.exe" >&2; exit 2; }
  a=$(realpath "$1") b=$(realpath "$2")
  shift 2
fi
cli=$root/build/release/cli/dorvenal-cli
against=""
dir=${BENCH_DIR:-/dev/shm}
runs=7
pieces=3334
over=0
while [ $# -gt 0 ]; do
  case $1 in
    --cli) cli=$(realpath "$2"); shift 2 ;;
    --against) against=$(realpath "$2"); shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --pieces) pieces=$2; shift 2 ;;
    --over) over=1; shift ;;
    *) echo "many_pieces: unknown argument '$1'" >&2; exit 2 ;;
  esac
done

scratch=$(mktemp -d "$dir/many_pieces.XXXXXX")
trap 'rm -rf "$scratch"' EXIT INT TERM
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

case $mode in
  native)
    head -c $((10000 * 1024)) /dev/urandom >"$scratch/s.bin"
    run_a() { "$cli" split -y -q -s 1 "$scratch/s.bin" "$1"; }
    if [ -n "$against" ]; then
      run_b() { "$against" split -y -q -s 1 "$scratch/s.bin" "$1"; }
    else
      run_b() { split -b 1K "$scratch/s.bin" "$1/x_"; }
    fi
    ;;
  cli)
    case $pieces in
      3334) head -c 10000 /dev/urandom >"$scratch/s.bin"; size=(--bytes --size 3) ;;
      10000) head -c $((10000 * 1024)) /dev/urandom >"$scratch/s.bin"; size=(--size 1) ;;
      *) echo "many_pieces: --pieces is 3334 or 10000" >&2; exit 2 ;;
    esac
    run_a() { wine "$a" split --yes "${size[@]}" "$(winpath "$scratch/s.bin")" "$(winpath "$1")" >/dev/null; }
    run_b() { wine "$b" split --yes "${size[@]}" "$(winpath "$scratch/s.bin")" "$(winpath "$1")" >/dev/null; }
    ;;
  dialog)
    driver=$(dirname "$0")/dialog_split.exe
    [ -f "$driver" ] || driver=$dir/dialog_split.exe
    [ -f "$driver" ] || { echo "many_pieces: build dialog_split.exe from bench/dialog_split.cpp first" >&2; exit 2; }
    head -c 10000 /dev/urandom >"$scratch/s.bin"
    # The driver prints the seconds it timed; that, not the start-up, is the figure.
    dialog_run() { wine "$driver" "$(winpath "$1")" "$(winpath "$scratch/s.bin")" "$(winpath "$2")" 3 | cut -d' ' -f1; }
    run_a() { dialog_run "$a" "$1"; }
    run_b() { dialog_run "$b" "$1"; }
    ;;
  *) echo "many_pieces: the mode is native, cli or dialog" >&2; exit 2 ;;
esac
[ "$mode" = native ] || wineserver -p

# Seconds of one run into a folder of its own (kept with --over).
timed() {
  local which=$1 out=$scratch/out_$1
  [ "$over" = 1 ] || rm -rf "$out"
  mkdir -p "$out"
  if [ "$mode" = dialog ]; then
    "run_$which" "$out"
    return
  fi
  local start end
  start=$(date +%s%N)
  "run_$which" "$out"
  end=$(date +%s%N)
  echo "scale=3; ($end - $start) / 1000000000" | bc
}

timed a >/dev/null
timed b >/dev/null
ratios=()
echo "pair  A s  B s  A/B"
for i in $(seq "$runs"); do
  if [ $((i % 2)) = 1 ]; then ta=$(timed a); tb=$(timed b); else tb=$(timed b); ta=$(timed a); fi
  ratio=$(echo "scale=3; $ta / $tb" | bc)
  ratios+=("$ratio")
  echo "$i  $ta  $tb  $ratio"
done
printf '%s\n' "${ratios[@]}" | sort -n | awk '{ r[NR] = $1 } END { printf "median A/B %.3f (min %.3f, max %.3f) of %d pairs\n", (NR % 2 ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2), r[1], r[NR], NR }'
