#!/usr/bin/env bash
# Times the checksummed split, join and verify against one SHA-256 pass of
# the source, the keyword split against cp, and the checksummed split
# against coreutils' split and sha256sum: all in rounds (each command once a
# round, in turn), whole processes under /usr/bin/time, on cached files;
# prints the median wall and processor (user + system) seconds of each, and
# the median of the ratios taken round by round, against their bounds.
#
#   bench/checksum.sh [CLI] [RUNS] [SIZE_MIB]
#
# Every run writes into a new directory; the output of the run before is
# emptied, not deleted (see run.sh). The scratch directory ($BENCH_DIR or
# /tmp; a tmpfs such as /dev/shm measures the processor, not the disk) needs
# about five times the size and is removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$root/build/release/cli/dorvenal-cli}
runs=${2:-5}
size_mib=${3:-1024}
for tool in openssl sha256sum split /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "checksum.sh: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d "${BENCH_DIR:-/tmp}/dorvenal-checksum.XXXXXX")
trap 'rm -rf "$work"' EXIT
chattr +T "$work" 2>/dev/null || true
head -c $((size_mib << 20)) /dev/urandom >"$work/src.bin"
# Text with the keyword once every 10 MiB: base64 has no '_', and no zero byte ends the text early.
keyword=CUT_HERE_X
head -c 7800000 /dev/urandom | base64 -w 76 >"$work/chunk.txt"  # about 10.05 MiB
truncate -s $((10485760 - ${#keyword})) "$work/chunk.txt"
printf '%s' "$keyword" >>"$work/chunk.txt"
for ((i = 0; i < size_mib / 10; i++)); do cat "$work/chunk.txt"; done >"$work/text.txt"
rm "$work/chunk.txt"
mkdir "$work/plain" "$work/hashed"
"$cli" split -q -y -s 102400K "$work/src.bin" "$work/plain"
"$cli" split -q -y -s 102400K --checksum "$work/src.bin" "$work/hashed"
cat "$work/src.bin" "$work/text.txt" "$work"/plain/* "$work"/hashed/* >/dev/null

serial=0
out=""
fresh_out() {
  if [ -n "$out" ]; then find "$out" -type f -exec truncate -s 0 {} +; fi
  serial=$((serial + 1))
  out=$work/out.$serial
  mkdir "$out"
}
# Not in a subshell: fresh_out keeps its count. The output directory is the last argument.
timed() { fresh_out; /usr/bin/time -f '%e %U %S' -o "$work/t" "$@" "$out" >/dev/null; }
# The same, for a shell command that finds its output directory in $1.
timed_sh() { fresh_out; /usr/bin/time -f '%e %U %S' -o "$work/t" sh -c "$1" sh "$out" >/dev/null; }
cases=(hash split split_checksum coreutils join join_checksum verify cp_text keyword)
declare -A seconds cpu
for round in $(seq 0 "$runs"); do
  for case in "${cases[@]}"; do
    case $case in
      hash) timed_sh "openssl dgst -sha256 '$work/src.bin'" ;;
      split) timed "$cli" split -q -y -s 102400K "$work/src.bin" ;;
      split_checksum) timed "$cli" split -q -y -s 102400K --checksum "$work/src.bin" ;;
      coreutils) timed_sh "cd \"\$1\" && split -b 100M '$work/src.bin' x && sha256sum x* '$work/src.bin'" ;;
      join) timed "$cli" join -q -y "$work/plain/src_bin.1" ;;
      join_checksum) timed "$cli" join -q -y "$work/hashed/src_bin.1" ;;
      verify) timed_sh "'$cli' verify '$work/hashed/src_bin.1'" ;;
      cp_text) timed cp "$work/text.txt" ;;
      keyword) timed "$cli" split -q -y -k "$keyword" "$work/text.txt" ;;
    esac
    [ "$round" -eq 0 ] && continue  # round 0 warms up
    read -r wall user system <"$work/t"
    seconds[$case]+="$wall "
    cpu[$case]+="$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }') "
  done
done
median() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The median of the ratios a/b of each round's pair.
paired() {
  paste -d ' ' <(tr ' ' '\n' <<<"${seconds[$1]}" | sed '/^$/d') <(tr ' ' '\n' <<<"${seconds[$2]}" | sed '/^$/d') |
    awk '{ print ($2 > 0) ? $1 / $2 : 0 }' | sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] }'
}
echo "$(nproc) processors, load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; $size_mib MiB in $(stat -f -c %T "$work"); $runs rounds"
for case in "${cases[@]}"; do
  printf '%-15s wall median %6.2f s   cpu median %6.2f s\n' "$case" "$(median "${seconds[$case]}")" "$(median "${cpu[$case]}")"
done
bound() { printf '%-34s %5s x   (bound %s)\n' "$1" "$(paired "$2" "$3")" "$4"; }
bound "split --checksum / one hash pass" split_checksum hash 1.5
bound "join with manifest / one hash pass" join_checksum hash 1.2
bound "verify / one hash pass" verify hash 1.0
bound "split --checksum / split+sha256sum" split_checksum coreutils 0.5
bound "keyword split / cp" keyword cp_text 1.25
