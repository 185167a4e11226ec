/* How another program reads the station the loader loaded: prints one hour of station 1's music
 * schedule (time, element type, title), read through BTRCALL of libksbtr only.
 *
 *   read_schedule DATA_FOLDER [yyyyMMddhh]
 *
 * DATA_FOLDER is the local station's data folder (Dossier_Data of the local KS3_Systeme.ini),
 * never the loader's intermediate folder; the hour is the one after the current one unless
 * given. Build: cc read_schedule.c $(pkg-config --cflags --libs ksbtr) -o read_schedule */
#define _POSIX_C_SOURCE 200809L /* localtime_r */

#include <ks/btrcall.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

/* FDAT035, the music schedule: key 0 is date (8) + hour (2) + 9 ordering characters. */
enum { kScheduleLength = 400, kHourLength = 10, kTimeAt = 13, kTypeAt = 31, kIdAt = 55 };
/* FDAT022, the songs: key 0 is the song identifier (8), the title is 40 characters at 24. */
enum { kSongLength = 900, kSongIdLength = 8, kTitleAt = 23, kTitleLength = 40 };

typedef struct {
    unsigned char block[KS_BTR_POSITION_BLOCK_SIZE];
    char key[KS_BTR_KEY_BUFFER_SIZE];
} Table;

static int16_t Call(uint16_t operation, Table* table, void* data, uint32_t length) {
    return BTRCALL(operation, table->block, data, &length, table->key, KS_BTR_KEY_BUFFER_SIZE, 0);
}

/* Opened read-only: a reader never changes the table. */
static int16_t Open(Table* table, const char* folder, const char* name) {
    uint32_t length = 0;
    memset(table->key, 0, sizeof table->key);
    if (snprintf(table->key, sizeof table->key, "%s/%s", folder, name) >= (int)sizeof table->key) {
        return KS_BTR_STATUS_INVALID_FILE_NAME;
    }
    return BTRCALL(KS_BTR_OP_OPEN, table->block, NULL, &length, table->key, KS_BTR_KEY_BUFFER_SIZE,
                   KS_BTR_OPEN_READ_ONLY);
}

/* The table's texts are Windows-1252: bytes 0xA0-0xFF are U+00A0-U+00FF, these are the rest. */
static const unsigned short kHighCodes[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

/* Prints `text` up to its trailing blanks, in UTF-8. */
static void PrintText(const char* text, size_t length) {
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\0')) {
        --length;
    }
    for (size_t i = 0; i < length; ++i) {
        const unsigned char byte = (unsigned char)text[i];
        const unsigned code = byte >= 0x80 && byte < 0xA0 ? kHighCodes[byte - 0x80] : byte;
        if (code < 0x80) {
            putchar((int)code);
        } else if (code < 0x800) {
            putchar((int)(0xC0 | (code >> 6)));
            putchar((int)(0x80 | (code & 0x3F)));
        } else {
            putchar((int)(0xE0 | (code >> 12)));
            putchar((int)(0x80 | ((code >> 6) & 0x3F)));
            putchar((int)(0x80 | (code & 0x3F)));
        }
    }
}

static int Blank(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (text[i] != ' ' && text[i] != '\0') {
            return 0;
        }
    }
    return 1;
}

/* A song's title from the songs table; another element is named by its identifier, or else
 * by its type. */
static void PrintTitle(Table* songs, const char* event) {
    static char song[kSongLength];
    if (memcmp(event + kTypeAt, "Son", 3) == 0) {
        memset(songs->key, 0, sizeof songs->key);
        memcpy(songs->key, event + kIdAt, kSongIdLength);
        if (Call(KS_BTR_OP_GET_EQUAL, songs, song, sizeof song) == KS_BTR_STATUS_SUCCESS) {
            PrintText(song + kTitleAt, kTitleLength);
            return;
        }
    }
    if (Blank(event + kIdAt, kSongIdLength)) {
        PrintText(event + kTypeAt, 3);
    } else {
        PrintText(event + kIdAt, kSongIdLength);
    }
}

int main(int argc, char** argv) {
    char hour[kHourLength + 1];
    if (argc == 3 && strlen(argv[2]) == kHourLength &&
        strspn(argv[2], "0123456789") == kHourLength) {
        memcpy(hour, argv[2], sizeof hour);
    } else if (argc == 2) {
        const time_t next = time(NULL) + 3600;
        struct tm local;
        strftime(hour, sizeof hour, "%Y%m%d%H", localtime_r(&next, &local));
    } else {
        fprintf(stderr, "usage: read_schedule DATA_FOLDER [yyyyMMddhh]\n");
        return 2;
    }

    Table schedule;
    Table songs;
    int16_t status = Open(&schedule, argv[1], "FDATA35.bt6");
    if (status != KS_BTR_STATUS_SUCCESS || (status = Open(&songs, argv[1], "FDATA22.bt6")) != 0) {
        fprintf(stderr, "read_schedule: cannot open the tables of %s: status %d\n", argv[1],
                status);
        return 1;
    }
    static char event[kScheduleLength];
    memset(schedule.key, 0, sizeof schedule.key);
    memcpy(schedule.key, hour, kHourLength);
    for (status = Call(KS_BTR_OP_GET_GREATER_OR_EQUAL, &schedule, event, sizeof event);
         status == KS_BTR_STATUS_SUCCESS && memcmp(event, hour, kHourLength) == 0;
         status = Call(KS_BTR_OP_GET_NEXT, &schedule, event, sizeof event)) {
        printf("%.2s:%.2s:%.2s  ", event + kTimeAt, event + kTimeAt + 2, event + kTimeAt + 4);
        PrintText(event + kTypeAt, 3);
        fputs("  ", stdout);
        PrintTitle(&songs, event);
        putchar('\n');
    }
    Call(KS_BTR_OP_CLOSE, &songs, NULL, 0);
    Call(KS_BTR_OP_CLOSE, &schedule, NULL, 0);
    if (status != KS_BTR_STATUS_SUCCESS && status != KS_BTR_STATUS_END_OF_FILE) {
        fprintf(stderr, "read_schedule: reading the schedule failed: status %d\n", status);
        return 1;
    }
    return 0;
}
