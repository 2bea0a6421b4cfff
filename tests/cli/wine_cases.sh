#!/usr/bin/env bash
# wine_cases.sh dorvenal-cli.exe linux/dorvenal-cli: the Windows program under Wine: exit codes, stop lines,
# /?, JOIN.BAT byte for byte and run by cmd, a join, standard input, and pieces equal to the Linux build's.
set -uo pipefail
exe=$(realpath "$1") native=$2 tools=$(cd "$(dirname "$0")/../../tools" && pwd)
[ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] || exec "$tools/wine-session" bash "$0" "$@"
[ -x "$native" ] || { echo "FAIL: no Linux dorvenal-cli at '$native' (set DORVENAL_NATIVE_CLI)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/dorvenal-cli-wine.XXXXXX") failures=0
trap 'rm -rf "$work"' EXIT
cd "$work" && mkdir out joined linux || exit 1
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# expect STATUS STDERR-PART ARGS... ("": nothing on stderr), stdin from /dev/null.
expect() {
  local want=$1 part=$2 status
  shift 2
  "$tools/wine-run" "$exe" "$@" </dev/null >stdout 2>stderr; status=$?
  [ "$status" = "$want" ] || fail "$*: exit status $status, not $want"
  if [ -z "$part" ]; then [ ! -s stderr ] || fail "$*: stderr $(cat stderr)"
  elif ! grep -qF -- "$part" stderr; then fail "$*: stderr lacks '$part': $(cat stderr)"; fi
}

# 10,000 bytes with a zero byte and a 0x1A, where a COPY without /B stops.
{ printf 'A\032B\000C'; seq 1 3000; } | head -c 10000 >report.doc
expect 2 "unrecognized option '--bogus'" split --pieces 3 --bogus report.doc out
expect 2 "option '-s' requires an argument" split -yqs
"$tools/wine-run" "$exe" '/?' </dev/null >stdout 2>stderr || fail "/? failed"
grep -qF -- '-k "</record>" --script records.xml parts' stdout || fail "/? shows no cmd example: $(head -c 300 stdout)"
# Names Windows opens as a device, or as a stream of another file: refused before standard input is read.
expect 2 "--name takes a plain file name (no folder, no ':', not '.', '..' or a device such as CON, NUL or LPT1), not 'con'" \
  split -s 1K --name con - out
expect 2 "), not 'x:y'" split -s 1K --name x:y - out
expect 1 "cannot open the source '" split -yn 2 missing.doc out
grep -q "missing.doc': [A-Za-z]" stderr || fail "no system words for a missing source: $(cat stderr)"
expect 3 "not asking: standard input is not a terminal" split --size 4 report.doc out
expect 1 "is not below the size of" split --size 10000 --bytes --yes report.doc out
expect 0 "" split --pieces 3 --batch --yes report.doc out
[ "$(tr -d '\r' <stdout)" = "dorvenal-cli: Finished Splitting Successfully !!!" ] || fail "split printed '$(cat stdout)'"
# JOIN.BAT too: the Linux one is pinned byte for byte (cli_run_test.cpp).
"$native" split --pieces 3 --batch --yes report.doc linux >/dev/null 2>&1 || fail "the Linux split failed"
diff -r out linux >/dev/null || fail "the Windows and Linux pieces or JOIN.BAT differ"
cat out/report_doc.1 out/report_doc.2 out/report_doc.3 | cmp -s - report.doc || fail "the pieces are not the source"
(cd out && timeout 60 wine cmd /c JOIN.BAT </dev/null >/dev/null 2>&1)
cmp -s report.doc out/report.doc || fail "cmd /c JOIN.BAT did not re-create report.doc"
expect 0 "" join --yes out/report_doc.1 joined
cmp -s report.doc joined/report.doc || fail "the joined file differs"
expect 1 "is not the first file of a split file set" join --yes report.doc joined
# The checksum manifest: the Linux build's bytes; a damaged piece stops the join and fails verify.
mkdir sums linux-sums
expect 0 "" split --pieces 3 --checksum --yes report.doc sums
"$native" split --pieces 3 --checksum --yes report.doc linux-sums >/dev/null 2>&1 || fail "the Linux --checksum split failed"
diff -r sums linux-sums >/dev/null || fail "the Windows and Linux manifests differ"
expect 0 "" verify sums/report_doc.1
printf Z | dd of=sums/report_doc.2 bs=1 seek=7 conv=notrunc 2>/dev/null
expect 1 "report_doc.2' does not match its checksum in" join --yes sums/report_doc.1 joined
expect 1 "1 of 3 files did NOT match the checksum manifest" verify sums/report_doc.1
# Recovery pieces: the Linux build's bytes; piece 1 lost and piece 4 damaged, the join rebuilds both.
mkdir coded linux-coded && rm -f joined/report.doc
expect 0 "" split --pieces 5 --recovery 2 --yes report.doc coded
"$native" split --pieces 5 --recovery 2 --yes report.doc linux-coded >/dev/null 2>&1 || fail "the Linux --recovery split failed"
diff -r coded linux-coded >/dev/null || fail "the Windows and Linux recovery pieces differ"
rm coded/report_doc.1 && printf Z | dd of=coded/report_doc.4 bs=1 seek=9 conv=notrunc 2>/dev/null
expect 0 "rebuilt from the recovery pieces: report_doc.1, report_doc.4" join --yes coded/report_doc.sha256 joined
cmp -s report.doc joined/report.doc || fail "the join that rebuilt two pieces differs from the source"
# 3 MB: blocks hashed on threads beside the copy (CreateThread); sha256sum accepts the manifest.
head -c 3000000 /dev/urandom >big.bin && mkdir big
expect 0 "" split --pieces 2 --checksum --yes big.bin big
(cd big && sha256sum --quiet --strict -c big_bin.sha256 --ignore-missing) || fail "sha256sum refused big_bin.sha256"
expect 0 "" join --yes big/big_bin.1 joined
cmp -s big.bin joined/big.bin || fail "the joined big.bin differs"
# Standard input by keyword: the same four pieces as the Linux build's.
mkdir streamed linux-streamed && seq 1 3000 >lines.txt
"$tools/wine-run" "$exe" split -k 000 --name lines.txt - streamed <lines.txt >stdout 2>stderr || fail "stdin split: $(cat stderr)"
"$native" split -k 000 --name lines.txt - linux-streamed <lines.txt >/dev/null 2>&1 || fail "the Linux stdin split failed"
[ "$(ls streamed | wc -l)" = 4 ] && diff -r streamed linux-streamed >/dev/null || fail "the stdin pieces differ from Linux's"
[ "$failures" = 0 ] && echo "all Wine cases passed" || { echo "$failures case(s) failed" >&2; exit 1; }
