#!/usr/bin/env bash
# The Windows console build of dorvenal-cli under Wine, end to end: exit
# codes, the pieces and JOIN.BAT byte for byte, JOIN.BAT run by cmd, and a
# split joined back. All cases share one Wine session.
#   tests/cli/wine_cases.sh path/to/dorvenal-cli.exe
set -uo pipefail

exe=$(realpath "$1")
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  exec "$tools/wine-session" bash "$0" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/dorvenal-cli-wine.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Runs the program with stdin from /dev/null; sets status, out and err
# (line ends made LF: the console's text mode writes CR LF).
cli() {
  "$tools/wine-run" "$exe" "$@" </dev/null >"$work/stdout" 2>"$work/stderr"
  status=$?
  out=$(tr -d '\r' <"$work/stdout")
  err=$(tr -d '\r' <"$work/stderr")
}

expect_status() {
  [ "$status" = "$1" ] || fail "$2: exit status $status, expected $1 (stderr: $err)"
}

# 10,000 bytes with a zero byte and a 0x1A among them, which COPY without
# /B would stop at.
{ printf 'A\032B\000C'; seq 1 3000; } | head -c 10000 >report.doc
mkdir out joined

cli --version
expect_status 0 "--version"
[ "$out" = "dorvenal-cli 1.0.8" ] || fail "--version printed '$out'"

cli split --pieces 3 --frobnicate report.doc out
expect_status 2 "unknown option"
case "$err" in *"unrecognized option '--frobnicate'"*) ;; *) fail "unknown option: stderr '$err'" ;; esac

cli split --size 4 report.doc out
expect_status 3 "split without --yes and without a terminal"
case "$err" in *"not asking: standard input is not a terminal"*) ;; *) fail "no refusal: '$err'" ;; esac
[ -z "$(ls out)" ] || fail "a declined split wrote files"

cli split --size 10000 --bytes --yes report.doc out
expect_status 1 "size not below the file size"
case "$err" in *"is not below the size of"*) ;; *) fail "size refusal: stderr '$err'" ;; esac

cli split --pieces 3 --batch --yes report.doc out
expect_status 0 "split into 3 pieces"
[ "$out" = "Finished Splitting Successfully !!!" ] || fail "split printed '$out'"
head -c 3333 report.doc | cmp -s - out/report_doc.1 || fail "piece 1 differs"
head -c 6666 report.doc | tail -c 3333 | cmp -s - out/report_doc.2 || fail "piece 2 differs"
tail -c 3334 report.doc | cmp -s - out/report_doc.3 || fail "piece 3 differs"
printf '%s\r\n' 'ECHO OFF' 'REM Dorvenal genarated batch file' 'ECHO Now report.doc will be recreated' 'PAUSE' \
  'COPY /B "report_doc.1" dorvnl.tmp' 'COPY /B dorvnl.tmp+"report_doc.2" dorvnl.tmp' \
  'COPY /B dorvnl.tmp+"report_doc.3" dorvnl.tmp' 'REN dorvnl.tmp "report.doc"' \
  'ECHO Finished creating report.doc' >expected.bat
[ "$(stat -c %s expected.bat)" = 282 ] || fail "the expected JOIN.BAT is not 282 bytes"
cmp -s expected.bat out/JOIN.BAT || fail "JOIN.BAT differs from the worked example"

# The batch file re-creates the source with the command interpreter.
(cd out && timeout 60 wine cmd /c JOIN.BAT </dev/null >/dev/null 2>&1)
cmp -s report.doc out/report.doc || fail "JOIN.BAT did not re-create report.doc"

cli join --yes out/report_doc.1 joined
expect_status 0 "join"
[ "$out" = "Finished Joining Successfully !!!" ] || fail "join printed '$out'"
cmp -s report.doc joined/report.doc || fail "the joined file differs"

cli join --yes report.doc joined
expect_status 1 "join of a file that is no .1 piece"

if [ "$failures" -ne 0 ]; then
  echo "$failures case(s) failed" >&2
  exit 1
fi
echo "all Wine cases passed"
