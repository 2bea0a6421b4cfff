#!/usr/bin/env bash
# The release packages as a user gets them: the zip holds the program, its guide and the Windows command
# line; the Debian package installs (into a scratch root) a command line that runs, with its manual.
#   check_packages.sh ZIP DEB SOURCE_DIR
set -euo pipefail
zip=$1 deb=$2 source=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check_packages: $*" >&2; exit 1; }

unzip -q "$zip" -d "$scratch/zip"
listing=$(cd "$scratch/zip" && find . -type f | sort | tr '\n' ' ')
[ "$listing" = "./Dorvenal.exe ./README.TXT ./dorvenal-cli.exe " ] || fail "zip holds: $listing"
# The guide with Notepad's CR LF line ends; it tells of both programs and how to remove them.
sed 's/$/\r/' "$source/app/README.TXT" | cmp -s - "$scratch/zip/README.TXT" ||
  fail "README.TXT is not the guide with CR LF line ends"
for part in 'dorvenal-cli split -s 1400K --batch -p report.doc D:\Parts' 'delete the three files' \
            'To remove dorvenal-cli.exe, delete it'; do
  grep -qF "$part" "$scratch/zip/README.TXT" || fail "README.TXT does not say: $part"
done
for exe in Dorvenal.exe dorvenal-cli.exe; do
  head -c 2 "$scratch/zip/$exe" | grep -q MZ || fail "$exe is no Windows program"
done

root=$scratch/root
mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info"
touch "$root/var/lib/dpkg/status"
# The scratch root has no libc of its own: the dependencies are the host's.
dpkg --root="$root" --force-not-root --force-depends --force-script-chrootless --log=/dev/null -i "$deb" \
  >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log" >&2; fail "the package does not install"; }
version=$("$root/usr/bin/dorvenal-cli" --version | head -n 1)
[ "$version" = "dorvenal-cli (Dorvenal) 1.0.8" ] || fail "--version says: $version"
# The package asks for a libc at least as new as the newest symbol version the program uses.
needed=$(objdump -T "$root/usr/bin/dorvenal-cli" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -n 1)
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" =~ libc6\ \(\>=\ ([0-9.]+)\) ]] && dpkg --compare-versions "${BASH_REMATCH[1]}" ge "$needed" ||
  fail "the package depends on '$depends', the program needs glibc $needed"
gzip -dc "$root/usr/share/man/man1/dorvenal-cli.1.gz" | grep -q '^\.SH NAME' || fail "no manual page"
# Debian's own checks: no error and no warning (lintian comes with tools/install-deps tests).
command -v lintian >/dev/null || fail "lintian is missing: run tools/install-deps tests"
findings=$(lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2>&1) ||
  fail "lintian: $(grep -v 'root privileges' <<<"$findings")"
echo "packages: 2 passed, 0 failed"
