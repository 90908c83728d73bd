#!/usr/bin/python3
"""Mounts a read-only copy of a folder in which every read of one named file waits until a release
file appears, as a file on a share that stops answering does.

usage: hung-reads-mount.py FOLDER MOUNTPOINT NAME RELEASE

Prints "mounted" once the mount answers; runs until unmounted or killed."""
import os
import subprocess
import sys
import threading
import time

import fusepy as fuse  # Debian's python3-fusepy


class HungReads(fuse.Operations):
    def __init__(self, folder, name, release):
        self.folder = folder
        self.name = name
        self.release_file = release

    def _real(self, path):
        return os.path.join(self.folder, path.lstrip('/'))

    def init(self, path):
        print('mounted', flush=True)

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self._real(path))
        except OSError as e:
            raise fuse.FuseOSError(e.errno)
        return {key: getattr(st, key) for key in
                ('st_mode', 'st_nlink', 'st_size', 'st_uid', 'st_gid', 'st_atime', 'st_mtime', 'st_ctime')}

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self._real(path))

    def open(self, path, flags):
        try:
            return os.open(self._real(path), os.O_RDONLY)
        except OSError as e:
            raise fuse.FuseOSError(e.errno)

    def read(self, path, size, offset, fh):
        if path.lstrip('/') == self.name:
            while not os.path.exists(self.release_file):
                time.sleep(0.05)
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)
        return 0


def unmount_when_orphaned(mountpoint):
    # A test that died leaves no mount behind, nor a read hanging on it.
    parent = os.getppid()
    while os.getppid() == parent:
        time.sleep(0.5)
    subprocess.run(['fusermount', '-u', '-z', mountpoint], check=False)
    os._exit(0)


if __name__ == '__main__':
    folder, mountpoint, name, release = sys.argv[1:5]
    threading.Thread(target=unmount_when_orphaned, args=(mountpoint,), daemon=True).start()
    fuse.FUSE(HungReads(folder, name, release), mountpoint, foreground=True, nothreads=False, ro=True)
