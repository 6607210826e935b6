#!/bin/sh
# Mounts or unmounts the 256 KB volume that the full-volume shortcut test
# fills. A marker file inside tells the test that the mount is real; where
# mounting is not allowed the folder stays plain and the test skips.
#   full_volume.sh mount|unmount FOLDER
folder="$2"
case "$1" in
mount)
    mkdir -p "$folder"
    mountpoint -q "$folder" && umount "$folder"
    rm -f "$folder/.mounted"
    if mount -t tmpfs -o size=256k,mode=0755 pathwick-full-volume "$folder" 2>/dev/null; then
        touch "$folder/.mounted"
    else
        echo "cannot mount a small volume at $folder: the full-volume test will skip"
    fi
    ;;
unmount)
    mountpoint -q "$folder" && umount "$folder"
    rmdir "$folder" 2>/dev/null
    ;;
esac
exit 0
