#!/bin/sh
# Checks the built program's PE header and import table, as objdump reads
# them: a 32-bit GUI program for subsystem and OS version 4.0 (so that
# Windows 95 and NT 4 accept its header), large-address-aware, importing
# only from the system DLLs it is meant to use, and never importing
# GetDiskFreeSpaceExA (missing on the first Windows 95: it is looked up at
# run time instead).
#   check_imports.sh OBJDUMP PROGRAM.exe
set -eu
objdump=$1
program=$2
dump=$("$objdump" -p "$program")
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

header_value() {
  printf '%s\n' "$dump" | awk -v key="$1" '$1 == key { print $2; exit }'
}

# The names imported from one DLL (any case), one a line.
imports_from() {
  printf '%s\n' "$dump" | awk -v dll="$1" '
    /DLL Name:/ { current = toupper($3); next }
    /^[[:space:]]*$/ { current = "" }
    current == toupper(dll) && $1 ~ /^[0-9a-f]+$/ && NF >= 3 { print $3 }'
}

printf '%s\n' "$dump" | grep -q 'file format pei-i386' || fail "not a 32-bit PE program"
printf '%s\n' "$dump" | grep -q 'Subsystem.*(Windows GUI)' || fail "subsystem is not Windows GUI"
printf '%s\n' "$dump" | grep -q 'large address aware' || fail "not large-address-aware"
for field in MajorSubsystemVersion MajorOSystemVersion; do
  [ "$(header_value $field)" = 4 ] || fail "$field is $(header_value $field), not 4"
done
for field in MinorSubsystemVersion MinorOSystemVersion; do
  [ "$(header_value $field)" = 0 ] || fail "$field is $(header_value $field), not 0"
done

dlls=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u)
for dll in $dlls; do
  case $dll in
    KERNEL32.DLL | USER32.DLL | GDI32.DLL | COMCTL32.DLL | COMDLG32.DLL | SHELL32.DLL | MSVCRT.DLL) ;;
    *) fail "imports from $dll" ;;
  esac
done
for dll in KERNEL32.DLL USER32.DLL COMCTL32.DLL COMDLG32.DLL SHELL32.DLL; do
  printf '%s\n' "$dlls" | grep -qx "$dll" || fail "does not import from $dll"
done

all_imports=$(for dll in $dlls; do imports_from "$dll"; done)
[ -n "$all_imports" ] || fail "no imported names found"
if printf '%s\n' "$all_imports" | grep -qx 'GetDiskFreeSpaceExA'; then
  fail "imports GetDiskFreeSpaceExA"
fi
# The free-space test's fallback and its run-time lookup must be there.
for name in GetDiskFreeSpaceA GetProcAddress GetModuleHandleA; do
  imports_from KERNEL32.DLL | grep -qx "$name" || fail "does not import $name from KERNEL32"
done
for name in DialogBoxParamA SetWindowsHookExA MessageBoxIndirectA; do
  imports_from USER32.DLL | grep -qx "$name" || fail "does not import $name from USER32"
done
imports_from COMDLG32.DLL | grep -qx GetOpenFileNameA || fail "does not import GetOpenFileNameA"
imports_from SHELL32.DLL | grep -qx SHBrowseForFolderA || fail "does not import SHBrowseForFolderA"

if [ "$failures" -ne 0 ]; then
  echo "$failures problem(s) in $program" >&2
  exit 1
fi
echo "ok: $(printf '%s\n' "$dlls" | tr '\n' ' ')imports, subsystem and OS version 4.0, large-address-aware"
