#!/usr/bin/env bash
# Times dorvenal-cli's split and join against coreutils on one large file,
# in one run, and prints a Markdown table: medians of several runs after a
# warm-up round, ratios to cp of the whole file, and peak memory.
#
#   bench/run.sh [--size-mib N | --size-gib N] [--runs N] [--dir DIR]
#                [--build-dir DIR | --cli FILE] [--output FILE]
#
#   --size-mib/--size-gib  size of the test files (default 1 GiB)
#   --runs                 timed runs of each command (default 5)
#   --dir                  where the scratch directory goes
#                          (default $BENCH_DIR, else /tmp)
#   --build-dir            release build to use or make
#                          (default $BENCH_BUILD_DIR, else build/release)
#   --cli                  time this dorvenal-cli instead of building one
#   --output               also write the report to this file
#   --no-xfs               leave out the run on XFS (bench/reflink.sh), which
#                          follows the report when root, xfsprogs and a loop
#                          device are there
#
# Needs cmake, ninja, coreutils and /usr/bin/time (Debian package "time").
# The scratch directory needs about four times the file size and is
# removed at the end, also after an interruption.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
size_mib=1024
runs=5
scratch_parent=${BENCH_DIR:-/tmp}
build=${BENCH_BUILD_DIR:-$root/build/release}
report_file=""
cli=""
xfs=1

usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }
while [ $# -gt 0 ]; do
  case $1 in
    --size-mib) size_mib=$2; shift 2 ;;
    --size-gib) size_mib=$(($2 * 1024)); shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --dir) scratch_parent=$2; shift 2 ;;
    --build-dir) build=$2; shift 2 ;;
    --cli) cli=$(realpath "$2"); shift 2 ;;
    --output) report_file=$2; shift 2 ;;
    --no-xfs) xfs=0; shift ;;
    -h | --help) usage; exit 0 ;;
    *) echo "bench: unknown argument '$1'" >&2; usage >&2; exit 2 ;;
  esac
done
case $size_mib in '' | *[!0-9]*) echo "bench: the size must be a whole number" >&2; exit 2 ;; esac
case $runs in '' | *[!0-9]* | 0) echo "bench: --runs must be at least 1" >&2; exit 2 ;; esac
[ "$size_mib" -ge 200 ] || { echo "bench: use at least 200 MiB (the pieces are 100 MiB)" >&2; exit 2; }
if [ ! -x /usr/bin/time ]; then
  echo "bench: /usr/bin/time is missing; install the Debian package 'time'" >&2
  exit 1
fi

say() { echo "bench: $*" >&2; }

if [ -z "$cli" ]; then
  say "building dorvenal-cli (release preset) in $build"
  (cd "$root" && cmake --preset release -B "$build" >/dev/null)
  cmake --build "$build" --target dorvenal-cli -j2 >/dev/null
  cli=$build/cli/dorvenal-cli
fi
[ -x "$cli" ] || { say "no dorvenal-cli at $cli"; exit 1; }

mkdir -p "$scratch_parent"
work=$(mktemp -d "$scratch_parent/dorvenal-bench.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

need_mib=$((size_mib * 4 + size_mib / 16 * 2 + 64))
avail_mib=$(df -Pm "$work" | awk 'NR == 2 { print $4 }')
if [ "$avail_mib" -lt "$need_mib" ]; then
  say "$work has $avail_mib MiB free; $need_mib MiB are needed"
  exit 1
fi

# ---- Test files --------------------------------------------------------
bytes=$((size_mib * 1048576))
say "making the test files ($size_mib MiB each) in $work"
head -c "$bytes" /dev/urandom >"$work/data.bin"
# Text with the keyword at the end of every MiB. Base64 has no '<', so the
# keyword occurs nowhere else, and no zero byte ends the text early.
keyword='<DORVENAL-CUT>'
head -c 800000 /dev/urandom | base64 -w 76 >"$work/base64.txt"  # about 1.03 MiB
{ head -c $((1048576 - ${#keyword})) "$work/base64.txt"; printf '%s' "$keyword"; } >"$work/chunk.txt"
rm "$work/base64.txt"
for ((i = 0; i < size_mib; i++)); do cat "$work/chunk.txt"; done >"$work/text.txt"
rm "$work/chunk.txt"
# The pieces the joins work on: 100 MiB each, made once.
mkdir "$work/pieces"
"$cli" split --size 102400 --yes "$work/data.bin" "$work/pieces" >/dev/null
piece_count=$(ls "$work/pieces" | wc -l)
sync
pieces=()
for ((k = 1; k <= piece_count; k++)); do pieces+=("$work/pieces/data_bin.$k"); done

# ---- The commands --------------------------------------------------------
# name | what it does | the command as shown in the table
ops=(cp split_b ours_size split_n ours_pieces cat ours_join cp_text split_1m ours_keyword)
declare -A label shown
label[cp]="copy of the whole file (the limit)";  shown[cp]="cp data.bin OUT/"
label[cp_text]="copy of the text file";          shown[cp_text]="cp text.txt OUT/"
label[split_b]="split into 100 MiB pieces";      shown[split_b]="split -b 100M data.bin"
label[ours_size]="split into 100 MiB pieces";    shown[ours_size]="dorvenal-cli split --size 102400 --yes"
label[split_n]="split into 10 pieces";           shown[split_n]="split -n 10 data.bin"
label[ours_pieces]="split into 10 pieces";       shown[ours_pieces]="dorvenal-cli split --pieces 10 --yes"
label[split_1m]="the same 1 MiB pieces, by coreutils"; shown[split_1m]="split -b 1M -a 4 text.txt"
label[ours_keyword]="split after a keyword every MiB"; shown[ours_keyword]="dorvenal-cli split --keyword '$keyword' text.txt"
label[cat]="join $piece_count pieces";           shown[cat]="cat data_bin.1 ... data_bin.$piece_count > OUT/data.bin"
label[ours_join]="join $piece_count pieces";     shown[ours_join]="dorvenal-cli join --yes data_bin.1"

# Runs one command under /usr/bin/time, which leaves its peak resident
# memory (KiB) in $work/rss.
run_op() {
  local timed=(/usr/bin/time -f '%M %U %S' -o "$work/rss")
  case $1 in
    cp) "${timed[@]}" cp "$work/data.bin" "$out/" ;;
    cp_text) "${timed[@]}" cp "$work/text.txt" "$out/" ;;
    split_b) "${timed[@]}" split -b 100M "$work/data.bin" "$out/x" ;;
    ours_size) "${timed[@]}" "$cli" split --size 102400 --yes "$work/data.bin" "$out" >/dev/null ;;
    split_n) "${timed[@]}" split -n 10 "$work/data.bin" "$out/x" ;;
    ours_pieces) "${timed[@]}" "$cli" split --pieces 10 --yes "$work/data.bin" "$out" >/dev/null ;;
    split_1m) "${timed[@]}" split -b 1M -a 4 "$work/text.txt" "$out/x" ;;
    ours_keyword) "${timed[@]}" "$cli" split --keyword "$keyword" "$work/text.txt" "$out" >/dev/null ;;
    cat) "${timed[@]}" cat "${pieces[@]}" >"$out/data.bin" ;;
    ours_join) "${timed[@]}" "$cli" join --yes "$work/pieces/data_bin.1" "$out" >/dev/null ;;
  esac
}

# Each run writes into a new, empty directory, and nothing is deleted until
# the end. On an ext4 without a journal, as here, inodes freed in the last
# minutes are skipped, one by one, by every file created in their block
# group (perf shows recently_deleted() at the top): a split into a thousand pieces
# beside files that this or any other program just deleted pays seconds for
# that, whatever tool it is. So the output of the run before is emptied (its
# files cut to nothing, which drops their pages unwritten, so no writeback
# from them runs meanwhile) rather than deleted, and the scratch directory
# is marked as a top directory for ext4's Orlov allocator, so that each new
# output directory lands in a block group of its own.
chattr +T "$work" 2>/dev/null || true
out_serial=0
out=""
fresh_out() {
  if [ -n "$out" ] && [ -d "$out" ]; then find "$out" -type f -exec truncate -s 0 {} +; fi
  out_serial=$((out_serial + 1))
  out=$work/out.$out_serial
  mkdir "$out"
}

declare -A times cpu_times peak_rss
# Wall time in seconds, from the nanosecond clock; processor time (user +
# system) and peak resident memory from /usr/bin/time.
time_op() {
  local op=$1 start end rss user system
  fresh_out
  start=$(date +%s%N)
  run_op "$op"
  end=$(date +%s%N)
  read -r rss user system < <(tail -n 1 "$work/rss")
  times[$op]+="$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", (b - a) / 1e9 }') "
  cpu_times[$op]+="$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }') "
  if [ "${peak_rss[$op]:-0}" -lt "$rss" ]; then peak_rss[$op]=$rss; fi
}

# Rounds run every command once, so that a disturbance hits all alike.
say "warm-up round"
for op in "${ops[@]}"; do time_op "$op"; done
for op in "${ops[@]}"; do times[$op]=""; cpu_times[$op]=""; peak_rss[$op]=0; done
for ((round = 1; round <= runs; round++)); do
  say "round $round of $runs"
  for op in "${ops[@]}"; do time_op "$op"; done
done

# ---- Memory of our own commands ------------------------------------------
# Peak anonymous (private) and file-backed resident memory, sampled from
# /proc while the command runs; a mapped source counts as file-backed.
sample_memory() {
  local anon=0 file=0 key value rest state
  "$@" >/dev/null &
  local pid=$!
  while [ -r "/proc/$pid/status" ]; do
    state=""
    while read -r key value rest; do
      case $key in
        State:) state=$value ;;
        RssAnon:) if [ "$value" -gt "$anon" ]; then anon=$value; fi ;;
        RssFile:) if [ "$value" -gt "$file" ]; then file=$value; fi ;;
      esac
    done 2>/dev/null <"/proc/$pid/status" || true
    if [ "$state" = Z ] || [ -z "$state" ]; then break; fi
  done
  wait "$pid"
  echo "$anon $file"
}
declare -A anon_kib file_kib
for op in ours_size ours_pieces ours_keyword ours_join; do
  fresh_out
  case $op in
    ours_size) read -r a f < <(sample_memory "$cli" split --size 102400 --yes "$work/data.bin" "$out") ;;
    ours_pieces) read -r a f < <(sample_memory "$cli" split --pieces 10 --yes "$work/data.bin" "$out") ;;
    ours_keyword) read -r a f < <(sample_memory "$cli" split --keyword "$keyword" "$work/text.txt" "$out") ;;
    ours_join) read -r a f < <(sample_memory "$cli" join --yes "$work/pieces/data_bin.1" "$out") ;;
  esac
  anon_kib[$op]=$a
  file_kib[$op]=$f
done

# The join's peak on a set a sixteenth of the size: it must not grow with the file.
small_mib=$((size_mib / 16))
head -c $((small_mib * 1048576)) "$work/data.bin" >"$work/small.bin"
mkdir "$work/small_pieces"
"$cli" split --size $((small_mib * 1024 / 10 + 1)) --yes "$work/small.bin" "$work/small_pieces" >/dev/null
fresh_out
/usr/bin/time -f %M -o "$work/rss" "$cli" join --yes "$work/small_pieces/small_bin.1" "$out" >/dev/null
small_join_rss=$(tail -n 1 "$work/rss")
rm -rf "$work"/out.* "$work/small.bin" "$work/small_pieces"

# ---- Report ----------------------------------------------------------------
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
minmax() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.3f-%.3f", lo, hi }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
declare -A med
for op in "${ops[@]}"; do med[$op]=$(median "${times[$op]}"); done
within() { awk -v r="$1" -v limit="$2" 'BEGIN { print (r <= limit) ? "met" : "MISSED" }'; }

report() {
  echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')),"
  echo "$(free -g | awk '/^Mem:/ { print $2 }') GiB of memory, Linux $(uname -r), $(split --version | head -n 1),"
  echo "scratch on $(stat -f -c %T "$work") ($(df -P "$work" | awk 'NR == 2 { print $1 }')); files of $size_mib MiB in the page cache;"
  echo "median of $runs interleaved rounds after a warm-up round; every run writes into a new, empty directory."
  echo
  echo "| Operation | Command | Median (s) | Range (s) | Ratio to cp | CPU median (s) | Peak RSS (MiB) |"
  echo "|---|---|---:|---:|---:|---:|---:|"
  for op in "${ops[@]}"; do
    local base=${med[cp]}
    case $op in cp_text | split_1m | ours_keyword) base=${med[cp_text]} ;; esac
    printf '| %s | `%s` | %.3f | %s | %s | %.2f | %s |\n' "${label[$op]}" "${shown[$op]}" "${med[$op]}" \
      "$(minmax "${times[$op]}")" "$(ratio "${med[$op]}" "$base")" "$(median "${cpu_times[$op]}")" \
      "$(mib "${peak_rss[$op]}")"
  done
  echo
  echo "The last three rows work on the text file and are held against its copy, the others against the copy of data.bin."
  echo "CPU is user + system time of the command, less disturbed than wall time by other load on the machine."
  echo
  echo "| Target | Figure | |"
  echo "|---|---|---|"
  local r
  r=$(ratio "${med[ours_size]}" "${med[split_b]}"); echo "| split by size no slower than \`split -b\` | $r x | $(within "$r" 1.0) |"
  r=$(ratio "${med[ours_size]}" "${med[cp]}"); echo "| split by size within 1.15x of cp | $r x | $(within "$r" 1.15) |"
  r=$(ratio "${med[ours_pieces]}" "${med[split_n]}"); echo "| split by pieces no slower than \`split -n\` | $r x | $(within "$r" 1.0) |"
  r=$(ratio "${med[ours_pieces]}" "${med[cp]}"); echo "| split by pieces within 1.15x of cp | $r x | $(within "$r" 1.15) |"
  r=$(ratio "${med[ours_join]}" "${med[cat]}"); echo "| join no slower than \`cat\` | $r x | $(within "$r" 1.0) |"
  r=$(ratio "${med[ours_join]}" "${med[cp]}"); echo "| join within 1.15x of cp | $r x | $(within "$r" 1.15) |"
  r=$(ratio "${med[ours_keyword]}" "${med[cp_text]}"); echo "| keyword split within 1.3x of cp | $r x | $(within "$r" 1.3) |"
  r=$(ratio "${med[ours_keyword]}" "${med[split_1m]}"); echo "| (keyword split against \`split -b 1M\`, the same pieces) | $r x | |"
  echo "| join peak RSS, $size_mib MiB set vs $small_mib MiB set | $(mib "${peak_rss[ours_join]}") vs $(mib "$small_join_rss") MiB | $(awk -v a="${peak_rss[ours_join]}" -v b="$small_join_rss" 'BEGIN { print (a <= b + 1024) ? "flat" : "GROWS" }') |"
  echo
  echo "Private (anonymous) and file-backed resident memory at their peaks, sampled from /proc/PID/status during one more run:"
  echo
  echo "| Command | Private peak (MiB) | File-backed peak (MiB) |"
  echo "|---|---:|---:|"
  for op in ours_size ours_pieces ours_keyword ours_join; do
    printf '| `%s` | %s | %s |\n' "${shown[$op]}" "$(mib "${anon_kib[$op]}")" "$(mib "${file_kib[$op]}")"
  done
}

if [ -n "$report_file" ]; then
  report | tee "$report_file"
else
  report
fi

if [ "$xfs" = 1 ]; then
  cleanup
  echo
  "$root/bench/reflink.sh" --cli "$cli" --runs "$runs" --dir "$scratch_parent" |
    if [ -n "$report_file" ]; then tee -a "$report_file"; else cat; fi
fi
