#!/usr/bin/env python3
"""How another program reads the station the loader loaded, from Python through ctypes: prints one
hour of station 1's music schedule (time, element type, title), read through BTRCALL of
libksbtr.so.1 only, as read_schedule.c does.

    read_schedule.py DATA_FOLDER [yyyyMMddhh]

DATA_FOLDER is the local station's data folder (Dossier_Data of the local KS3_Systeme.ini),
never the loader's intermediate folder; the hour is the one after the current one unless given.
"""
import ctypes
import datetime
import re
import sys

# From ks/btrcall.h.
POSITION_BLOCK_SIZE = 128
KEY_BUFFER_SIZE = 255
OP_OPEN, OP_CLOSE, OP_GET_EQUAL, OP_GET_NEXT, OP_GET_GREATER_OR_EQUAL = 0, 1, 5, 6, 9
OPEN_READ_ONLY = -2
STATUS_SUCCESS, STATUS_END_OF_FILE = 0, 9

# FDAT035, the music schedule: key 0 is date (8) + hour (2) + 9 ordering characters.
SCHEDULE_LENGTH, HOUR_LENGTH, TIME_AT, TYPE_AT, ID_AT = 400, 10, 13, 31, 55
# FDAT022, the songs: key 0 is the song identifier (8), the title is 40 characters at 24.
SONG_LENGTH, SONG_ID_LENGTH, TITLE_AT, TITLE_LENGTH = 900, 8, 23, 40

library = ctypes.CDLL("libksbtr.so.1")
BTRCALL = library.BTRCALL
BTRCALL.restype = ctypes.c_int16
BTRCALL.argtypes = [ctypes.c_uint16, ctypes.c_void_p, ctypes.c_void_p,
                    ctypes.POINTER(ctypes.c_uint32), ctypes.c_void_p, ctypes.c_uint8,
                    ctypes.c_int8]


class Table:
    """One open table: its position block, key buffer and record buffer."""

    def __init__(self, path, record_length):
        self.block = ctypes.create_string_buffer(POSITION_BLOCK_SIZE)
        self.key = ctypes.create_string_buffer(KEY_BUFFER_SIZE)
        self.record = ctypes.create_string_buffer(record_length)
        self.set_key(path.encode("cp1252"))
        # Opened read-only: a reader never changes the table.
        self.status = self.call(OP_OPEN, None, 0, OPEN_READ_ONLY)

    def set_key(self, key):
        self.key.raw = key[:KEY_BUFFER_SIZE].ljust(KEY_BUFFER_SIZE, b"\0")

    def call(self, operation, data, length, key_number=0):
        length = ctypes.c_uint32(length)
        return BTRCALL(operation, self.block, data, ctypes.byref(length), self.key,
                       KEY_BUFFER_SIZE, key_number)

    def read(self, operation):
        return self.call(operation, self.record, len(self.record))

    def close(self):
        self.call(OP_CLOSE, None, 0)


def text(raw):
    """A Windows-1252 field without its trailing blanks."""
    return raw.rstrip(b" \0").decode("cp1252", errors="replace")


def title(songs, event):
    """A song's title from the songs table; another element is named by its identifier, or else
    by its type."""
    identifier = event[ID_AT:ID_AT + SONG_ID_LENGTH]
    if event[TYPE_AT:TYPE_AT + 3] == b"Son":
        songs.set_key(identifier)
        if songs.read(OP_GET_EQUAL) == STATUS_SUCCESS:
            return text(songs.record.raw[TITLE_AT:TITLE_AT + TITLE_LENGTH])
    return text(identifier) or text(event[TYPE_AT:TYPE_AT + 3])


def main(argv):
    if len(argv) == 3 and re.fullmatch(r"[0-9]{10}", argv[2]):
        hour = argv[2]
    elif len(argv) == 2:
        hour = (datetime.datetime.now() + datetime.timedelta(hours=1)).strftime("%Y%m%d%H")
    else:
        print("usage: read_schedule.py DATA_FOLDER [yyyyMMddhh]", file=sys.stderr)
        return 2
    schedule = Table(argv[1] + "/FDATA35.bt6", SCHEDULE_LENGTH)
    songs = Table(argv[1] + "/FDATA22.bt6", SONG_LENGTH)
    if schedule.status != STATUS_SUCCESS or songs.status != STATUS_SUCCESS:
        print(f"read_schedule.py: cannot open the tables of {argv[1]}: status "
              f"{schedule.status or songs.status}", file=sys.stderr)
        return 1
    schedule.set_key(hour.encode("ascii"))
    status = schedule.read(OP_GET_GREATER_OR_EQUAL)
    while status == STATUS_SUCCESS and schedule.record.raw[:HOUR_LENGTH] == hour.encode("ascii"):
        event = schedule.record.raw
        clock = event[TIME_AT:TIME_AT + 6].decode("ascii")
        print(f"{clock[0:2]}:{clock[2:4]}:{clock[4:6]}  {text(event[TYPE_AT:TYPE_AT + 3])}  "
              f"{title(songs, event)}")
        status = schedule.read(OP_GET_NEXT)
    songs.close()
    schedule.close()
    if status not in (STATUS_SUCCESS, STATUS_END_OF_FILE):
        print(f"read_schedule.py: reading the schedule failed: status {status}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
