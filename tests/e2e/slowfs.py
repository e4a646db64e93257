"""A FUSE file system as slow as a far network share: NAME-000 ... files that keep Samba's
user.DOSATTRIB in memory, each write of it taking DELAY seconds.

usage: slowfs.py MOUNTPOINT COUNT DELAY STATUS_FILE
Prints READY once mounted. STATUS_FILE always holds how many files have been written and how
many files read normal (no read-only, hidden, system or archive); it unmounts on SIGTERM."""
import errno
import os
import signal
import stat
import subprocess
import sys
import threading
import time

import llfuse

mountpoint, count, delay, status_file = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), sys.argv[4]
ROOT = llfuse.ROOT_INODE
names = [f"slow-{i:03d}".encode() for i in range(count)]
inodes = {name: ROOT + 1 + i for i, name in enumerate(names)}
attributes = {inode: b"0x2" for inode in inodes.values()}
writes = 0
lock = threading.Lock()


def publish():
    normal = sum(1 for value in attributes.values() if int(value, 16) & 0x27 == 0)
    with open(status_file + ".tmp", "w") as f:
        f.write(f"{writes} {normal}\n")
    os.replace(status_file + ".tmp", status_file)


class SlowFs(llfuse.Operations):
    def _entry(self, inode):
        entry = llfuse.EntryAttributes()
        entry.st_ino = inode
        entry.st_mode = (stat.S_IFDIR | 0o755) if inode == ROOT else (stat.S_IFREG | 0o644)
        entry.st_nlink = 2 if inode == ROOT else 1
        entry.st_uid = os.getuid()
        entry.st_gid = os.getgid()
        entry.st_size = 0
        entry.st_blksize = 512
        now = int(time.time() * 1e9)
        entry.st_atime_ns = entry.st_mtime_ns = entry.st_ctime_ns = now
        entry.attr_timeout = 0
        entry.entry_timeout = 0
        return entry

    def getattr(self, inode, ctx=None):
        if inode != ROOT and inode not in attributes:
            raise llfuse.FUSEError(errno.ENOENT)
        return self._entry(inode)

    def lookup(self, parent, name, ctx=None):
        if parent != ROOT or name not in inodes:
            raise llfuse.FUSEError(errno.ENOENT)
        return self._entry(inodes[name])

    def opendir(self, inode, ctx=None):
        return inode

    def readdir(self, fh, offset):
        for i, name in enumerate(names[offset:], start=offset):
            yield name, self._entry(inodes[name]), i + 1

    def getxattr(self, inode, name, ctx=None):
        if name == b"user.DOSATTRIB" and inode in attributes:
            return attributes[inode]
        raise llfuse.FUSEError(llfuse.ENOATTR)

    def setxattr(self, inode, name, value, ctx=None):
        global writes
        if name != b"user.DOSATTRIB" or inode not in attributes:
            raise llfuse.FUSEError(errno.EACCES)
        time.sleep(delay)  # the far end of the line
        with lock:
            attributes[inode] = value
            writes += 1
            publish()

    def listxattr(self, inode, ctx=None):
        return [b"user.DOSATTRIB"] if inode in attributes else []

    def statfs(self, ctx=None):
        result = llfuse.StatvfsData()
        result.f_bsize = result.f_frsize = 512
        result.f_namemax = 255
        return result


publish()
llfuse.init(SlowFs(), mountpoint, ["fsname=slowfs", "subtype=slowfs"])


def stop(*_):
    # Unmounting ends llfuse.main; from another thread, since this one may be serving a request.
    threading.Thread(target=lambda: subprocess.run(["umount", "-l", mountpoint])).start()


signal.signal(signal.SIGTERM, stop)
print("READY", flush=True)
try:
    llfuse.main(workers=1)
finally:
    llfuse.close()
