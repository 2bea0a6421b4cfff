#!/bin/sh
# The shipped program's PE header and imports, as objdump reads them: a
# 32-bit GUI program that Windows 95 and NT 4 accept (subsystem and OS
# version 4.0), large-address-aware, importing from exactly the system DLLs
# it is meant to use, and looking GetDiskFreeSpaceExA up at run time (the
# first Windows 95 lacks it).
#   check_imports.sh OBJDUMP PROGRAM.exe
set -eu
dump=$("$1" -p "$2")
fail() { echo "FAIL: $*" >&2; exit 1; }
field() { printf '%s\n' "$dump" | awk -v key="$1" '$1 == key { print $2; exit }'; }

printf '%s\n' "$dump" | grep -q 'file format pei-i386' || fail "not a 32-bit PE program"
printf '%s\n' "$dump" | grep -q 'Subsystem.*(Windows GUI)' || fail "subsystem is not Windows GUI"
printf '%s\n' "$dump" | grep -q 'large address aware' || fail "not large-address-aware"
versions="$(field MajorSubsystemVersion).$(field MinorSubsystemVersion) $(field MajorOSystemVersion).$(field MinorOSystemVersion)"
[ "$versions" = "4.0 4.0" ] || fail "subsystem and OS versions are $versions, not 4.0 4.0"
dlls=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u | tr '\n' ' ')
[ "$dlls" = "COMCTL32.DLL COMDLG32.DLL KERNEL32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL " ] || fail "imports from $dlls"
if printf '%s\n' "$dump" | grep -qw GetDiskFreeSpaceExA; then fail "imports GetDiskFreeSpaceExA"; fi
echo "ok: imports from $dlls; versions 4.0; large-address-aware"
