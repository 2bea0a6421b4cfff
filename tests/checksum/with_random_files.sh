#!/bin/sh
# Runs a test program in a new folder of random files whose sizes lie
# around SHA-256's 64-byte blocks, beside SHA256SUMS as sha256sum wrote it.
#   with_random_files.sh [EMULATOR] PROGRAM [ARGS...]
set -eu
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
for size in 0 55 56 63 64 65 1048577; do head -c "$size" /dev/urandom >"random $size.bin"; done
sha256sum -- *.bin >SHA256SUMS
"$@"
