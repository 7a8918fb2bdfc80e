#!/usr/bin/python3
"""A folder that stops answering, as a lost network share does: a FUSE file system that passes
every call through to a backing folder, except while the control file exists. Then every call
(or only those the control file names, one per line: open, create, write, fsync, ...) waits
until the control file is gone. Each write and fsync that completes is printed as a line
("fsync /20261211.txt") on standard output.

Usage: stallfs.py BACKING MOUNTPOINT CONTROL

Runs in the foreground until it is unmounted or gets SIGINT or SIGTERM. Needs python3-fusepy
and /dev/fuse; the end-to-end tests that use it skip without them.
"""

import errno
import os
import signal
import sys
import threading
import time

import fusepy


class StallFs(fusepy.Operations):
    def __init__(self, backing, control):
        self.backing = backing
        self.control = control

    def _path(self, path):
        return os.path.join(self.backing, path.lstrip("/"))

    def _wait(self, call):
        while True:
            try:
                with open(self.control) as f:
                    calls = f.read().split()
            except FileNotFoundError:
                return
            if calls and call not in calls:
                return
            time.sleep(0.01)

    def __call__(self, op, path, *args):
        self._wait(op)
        try:
            result = super().__call__(op, path, *args)
        except OSError as e:
            raise fusepy.FuseOSError(e.errno or errno.EIO)
        if op in ("write", "fsync"):
            # The tests wait on these to know that a record is on the disk.
            print(op, path, flush=True)
        return result

    def getattr(self, path, fh=None):
        st = os.lstat(self._path(path))
        return {k: getattr(st, k) for k in ("st_atime", "st_ctime", "st_gid", "st_mode",
                                            "st_mtime", "st_nlink", "st_size", "st_uid")}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._path(path))

    def access(self, path, mode):
        if not os.access(self._path(path), mode):
            raise fusepy.FuseOSError(errno.EACCES)

    def mkdir(self, path, mode):
        os.mkdir(self._path(path), mode)

    def unlink(self, path):
        os.unlink(self._path(path))

    def rename(self, old, new):
        os.rename(self._path(old), self._path(new))

    def truncate(self, path, length, fh=None):
        if fh is not None:
            os.ftruncate(fh, length)
        else:
            os.truncate(self._path(path), length)

    def open(self, path, flags):
        return os.open(self._path(path), flags & ~os.O_NONBLOCK)

    def create(self, path, mode, fi=None):
        return os.open(self._path(path), os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def fsync(self, path, datasync, fh):
        os.fsync(fh)

    def flush(self, path, fh):
        return 0

    def release(self, path, fh):
        os.close(fh)

    def statfs(self, path):
        st = os.statvfs(self._path(path))
        return {k: getattr(st, k) for k in ("f_bavail", "f_bfree", "f_blocks", "f_bsize",
                                            "f_favail", "f_ffree", "f_files", "f_flag",
                                            "f_frsize", "f_namemax")}


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    backing, mountpoint, control = sys.argv[1:]
    # SIGTERM ends it as SIGINT does: fusepy unmounts on the way out.
    signal.signal(signal.SIGTERM, lambda *_: os.kill(os.getpid(), signal.SIGINT))
    fusepy.FUSE(StallFs(os.path.abspath(backing), os.path.abspath(control)), mountpoint,
                foreground=True, nothreads=False, direct_io=True)


if __name__ == "__main__":
    main()
