#!/usr/bin/env bash
# On XFS with reflink, block-aligned pieces and their join share the source's blocks (free space stays put);
# unaligned ones are partly copied, exact all the same. Needs root, mkfs.xfs, a loop device, else exits 77.
#   reflink_test.sh DORVENAL_CLI SCRATCH_PARENT
set -euo pipefail
cli=$1
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }

[ "$(id -u)" -eq 0 ] || skip "mounting an image needs root"
command -v mkfs.xfs >/dev/null || skip "mkfs.xfs is missing (Debian package xfsprogs)"
work=$(mktemp -d "$2/reflink.XXXXXX")
mnt=$work/mnt
cleanup() {
  if mountpoint -q "$mnt"; then umount "$mnt" || umount -l "$mnt"; fi
  rm -rf "$work"
}
trap cleanup EXIT
truncate -s 512M "$work/xfs.img"
mkfs.xfs -q -m reflink=1 "$work/xfs.img" || skip "mkfs.xfs -m reflink=1 failed"
mkdir "$mnt"
mount -o loop "$work/xfs.img" "$mnt" || skip "the image could not be mounted (loop device, XFS in the kernel)"

source_mib=64
head -c ${source_mib}M /dev/urandom >"$mnt/data.bin"
free_bytes() { sync; echo $(($(stat -f -c '%a * %S' "$mnt"))); }
# A copy would take 64 MiB; new inodes and extent records a few KiB.
margin=$((1 << 20))

# size | pieces | whether the free space must stay
cases=(
  "8M 8 shared"
  "1001K 66 copied"
)
for row in "${cases[@]}"; do
  read -r size count sharing <<<"$row"
  rm -rf "$mnt/pieces" "$mnt/joined"
  mkdir "$mnt/pieces" "$mnt/joined"
  before=$(free_bytes)
  "$cli" split -s "$size" --yes --quiet "$mnt/data.bin" "$mnt/pieces" || fail "split -s $size"
  after_split=$(free_bytes)
  "$cli" join --yes --quiet "$mnt/pieces/data_bin.1" "$mnt/joined" || fail "join of -s $size"
  after_join=$(free_bytes)

  [ "$(ls "$mnt/pieces" | wc -l)" -eq "$count" ] || fail "-s $size: $(ls "$mnt/pieces" | wc -l) pieces, not $count"
  for ((k = 1; k <= count; k++)); do cat "$mnt/pieces/data_bin.$k"; done | cmp - "$mnt/data.bin" ||
    fail "-s $size: the pieces in order differ from the source"
  want=$(numfmt --from=iec "${size}")
  for ((k = 1; k < count; k++)); do
    [ "$(stat -c %s "$mnt/pieces/data_bin.$k")" -eq "$want" ] || fail "-s $size: piece $k is not $want bytes"
  done
  cmp "$mnt/joined/data.bin" "$mnt/data.bin" || fail "-s $size: the joined file differs from the source"
  if [ "$sharing" = shared ]; then
    [ $((before - after_split)) -lt $margin ] || fail "-s $size: the split took $((before - after_split)) bytes"
    [ $((after_split - after_join)) -lt $margin ] || fail "-s $size: the join took $((after_split - after_join)) bytes"
  fi
  echo "ok: -s $size, $count pieces: split took $((before - after_split)) bytes, join $((after_split - after_join))"
done
