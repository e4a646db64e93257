"""The attribute field of exFAT directory entries, read and written in an image file, so that
the tests can see what is on the disk without any driver, and give files attributes where the
mounted driver (exfat-fuse) cannot.

Only what that needs: the boot sector's geometry, the FAT chains of folders, and each File
entry's attributes with its entry set's checksum. fsck.exfat checks what set() writes.
"""
import struct

FILE_ENTRY = 0x85
STREAM_ENTRY = 0xC0
NAME_ENTRY = 0xC1
ENTRY_SIZE = 32


class ExfatImage:
    def __init__(self, path):
        self.path = path
        with open(path, "rb") as image:
            boot = image.read(512)
        if boot[3:11] != b"EXFAT   ":
            raise ValueError(f"{path} is not an exFAT image")
        (self.fat_offset, self.fat_length, self.heap_offset, self.cluster_count,
         self.root_cluster) = struct.unpack_from("<IIIII", boot, 80)
        self.sector_size = 1 << boot[108]
        self.cluster_size = self.sector_size << boot[109]

    def attributes(self, path):
        """The attribute word of the entry at path ("name" or "folder/name")."""
        entry = self._find(path)
        with open(self.path, "rb") as image:
            image.seek(entry)
            return struct.unpack("<H", image.read(6)[4:6])[0]

    def set_attributes(self, path, value):
        entry = self._find(path)
        with open(self.path, "r+b") as image:
            image.seek(entry)
            count = image.read(2)[1]
            image.seek(entry)
            entries = bytearray(image.read(ENTRY_SIZE * (count + 1)))
            struct.pack_into("<H", entries, 4, value)
            struct.pack_into("<H", entries, 2, _checksum(entries))
            image.seek(entry)
            image.write(entries)

    def _cluster_offset(self, cluster):
        return self.heap_offset * self.sector_size + (cluster - 2) * self.cluster_size

    def _chain(self, first, length, contiguous):
        count = max(1, -(-length // self.cluster_size)) if length else 1
        if contiguous:
            return [first + i for i in range(count)]
        clusters = []
        with open(self.path, "rb") as image:
            cluster = first
            while 2 <= cluster < 0xFFFFFFF7 and len(clusters) <= self.cluster_count:
                clusters.append(cluster)
                image.seek(self.fat_offset * self.sector_size + 4 * cluster)
                cluster = struct.unpack("<I", image.read(4))[0]
        return clusters

    def _entries(self, clusters):
        """(image offset of each File entry, its name, first cluster, length, contiguous)."""
        with open(self.path, "rb") as image:
            data = bytearray()
            offsets = []
            for cluster in clusters:
                image.seek(self._cluster_offset(cluster))
                data += image.read(self.cluster_size)
                offsets.append(self._cluster_offset(cluster))
        found = []
        for index in range(0, len(data), ENTRY_SIZE):
            if data[index] != FILE_ENTRY:
                continue
            count = data[index + 1]
            stream = data[index + ENTRY_SIZE:index + 2 * ENTRY_SIZE]
            if len(stream) < ENTRY_SIZE or stream[0] != STREAM_ENTRY:
                continue
            name_length = stream[3]
            contiguous = bool(stream[1] & 0x2)
            first, length = struct.unpack_from("<IQ", stream, 20)
            name = b""
            for n in range(2, count + 1):
                part = data[index + n * ENTRY_SIZE:index + (n + 1) * ENTRY_SIZE]
                if part[:1] == bytes([NAME_ENTRY]):
                    name += bytes(part[2:32])
            name = name.decode("utf-16-le")[:name_length]
            offset = offsets[index // self.cluster_size] + index % self.cluster_size
            found.append((offset, name, first, length, contiguous))
        return found

    def _find(self, path):
        clusters = self._chain(self.root_cluster, 0, False)
        parts = path.strip("/").split("/")
        for depth, part in enumerate(parts):
            for offset, name, first, length, contiguous in self._entries(clusters):
                if name == part:
                    if depth == len(parts) - 1:
                        return offset
                    clusters = self._chain(first, length, contiguous)
                    break
            else:
                raise FileNotFoundError(f"{path} is not in {self.path}")


def _checksum(entries):
    checksum = 0
    for index, byte in enumerate(entries):
        if index in (2, 3):
            continue
        checksum = (((checksum << 15) | (checksum >> 1)) + byte) & 0xFFFF
    return checksum
