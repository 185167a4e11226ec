/* The record engine's C entry, for the station's other programs (a backup player, a monitoring
 * script, a migration tool) that read the tables the loader writes: libksbtr.so.1, found with
 * `pkg-config --cflags --libs ksbtr`. It answers the classic record-manager call over the
 * table files of our own format (FDATA35.bt6, ...), as the loader's own engine does.
 *
 * One engine per process, made at the first call and kept until the process ends (its end
 * commits what is still pending, as a stop does). Calls from several threads are served one
 * at a time. Stop (25) closes every file of the process; later calls go on. No call may be
 * under way while the process ends (the engine goes with the process's static objects), and a
 * process forked after its parent's first call must not call before an exec: the engine's
 * timer thread and lock stay with the parent.
 *
 * The call: `positionBlock` is the caller's 128 bytes for one open file, written by the engine
 * at the open and kept by the caller as they are; `dataLength` is 32-bit in and out (the room
 * of `dataBuffer` in, the length of the record read or written out), as the classic BTRCALL's
 * is, so no separate 32-bit variant is needed; `keyBuffer` holds 255 bytes, and `keyLength`
 * says how many of them the engine may use. An open takes the table's path in `keyBuffer`
 * (Windows-1252, "/" between folders, ended by a byte 0 or blanks; a name not found as written
 * is looked up without regard to case) and the open mode in `keyNumber`.
 *
 * Several programs on the same tables, and what each sees of the others' writes and when:
 *  - Writes made outside a transaction are committed in bundles, one per table: when a
 *    table's bundle holds 500 writes or is 50 ms old, and when the writer closes the table,
 *    stops (25) or begins a transaction (19, 1019). Readers in other processes never wait for
 *    a writer and see its writes in whole bundles: never a torn record, never a part of a
 *    bundle. The loader's load is many bundles, not one transaction: a program reading during
 *    a load sees the tables as they are between two bundles, some hours of the schedule
 *    perhaps replaced and others not yet; once the load has closed its tables, all of it.
 *  - Reads share a read window per table, ended as bundles are (500 reads, 50 ms, a write,
 *    the close, a stop, a transaction's begin). What another process commits is seen from the
 *    next window on, within 50 ms.
 *  - A writer in another process waits at most a bundle's age for a table's lock; after a
 *    short wait a call answers KS_BTR_STATUS_RECORD_LOCKED (84), to be tried again.
 *  - A reader should open with KS_BTR_OPEN_READ_ONLY (-2): such an open writes nothing into
 *    the table (no record, no new session mark), and a write through it answers
 *    KS_BTR_STATUS_ACCESS_DENIED (46).
 *  - A player reads the local station's tables (the `Dossier_Data` of the local
 *    KS3_Systeme.ini), never the copies of the server's tables in the loader's intermediate
 *    folder: each load replaces those files whole.
 * See README.md, "Reading the loaded station from other programs". */
#ifndef KS_BTRCALL_H
#define KS_BTRCALL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KS_BTR_POSITION_BLOCK_SIZE 128
#define KS_BTR_KEY_BUFFER_SIZE 255

/* Operations. */
#define KS_BTR_OP_OPEN 0
#define KS_BTR_OP_CLOSE 1
#define KS_BTR_OP_INSERT 2
#define KS_BTR_OP_UPDATE 3
#define KS_BTR_OP_DELETE 4
#define KS_BTR_OP_GET_EQUAL 5
#define KS_BTR_OP_GET_NEXT 6
#define KS_BTR_OP_GET_PREVIOUS 7
#define KS_BTR_OP_GET_GREATER 8
#define KS_BTR_OP_GET_GREATER_OR_EQUAL 9
#define KS_BTR_OP_GET_LESS_THAN 10
#define KS_BTR_OP_GET_LESS_OR_EQUAL 11
#define KS_BTR_OP_GET_FIRST 12
#define KS_BTR_OP_GET_LAST 13
#define KS_BTR_OP_CREATE 14
#define KS_BTR_OP_STAT 15
#define KS_BTR_OP_BEGIN_TRANSACTION 19
#define KS_BTR_OP_END_TRANSACTION 20
#define KS_BTR_OP_ABORT_TRANSACTION 21
#define KS_BTR_OP_STOP 25
#define KS_BTR_OP_BEGIN_CONCURRENT_TRANSACTION 1019

/* Open modes, given as the key number of an open. */
#define KS_BTR_OPEN_NORMAL 0
#define KS_BTR_OPEN_ACCELERATED (-1)
#define KS_BTR_OPEN_READ_ONLY (-2)
#define KS_BTR_OPEN_EXCLUSIVE (-4)

/* Statuses. */
#define KS_BTR_STATUS_SUCCESS 0
#define KS_BTR_STATUS_INVALID_OPERATION 1
#define KS_BTR_STATUS_IO_ERROR 2
#define KS_BTR_STATUS_FILE_NOT_OPEN 3
#define KS_BTR_STATUS_KEY_NOT_FOUND 4
#define KS_BTR_STATUS_DUPLICATE_KEY 5
#define KS_BTR_STATUS_INVALID_KEY_NUMBER 6
#define KS_BTR_STATUS_DIFFERENT_KEY_NUMBER 7
#define KS_BTR_STATUS_INVALID_POSITIONING 8
#define KS_BTR_STATUS_END_OF_FILE 9
#define KS_BTR_STATUS_MODIFIABLE_KEY_CHANGED 10
#define KS_BTR_STATUS_INVALID_FILE_NAME 11
#define KS_BTR_STATUS_FILE_NOT_FOUND 12
#define KS_BTR_STATUS_DISK_FULL 18
#define KS_BTR_STATUS_KEY_BUFFER_TOO_SHORT 21
#define KS_BTR_STATUS_DATA_BUFFER_TOO_SHORT 22
#define KS_BTR_STATUS_PAGE_SIZE_ERROR 24
#define KS_BTR_STATUS_INVALID_KEY_POSITION 27
#define KS_BTR_STATUS_INVALID_RECORD_LENGTH 28
#define KS_BTR_STATUS_INVALID_KEY_LENGTH 29
#define KS_BTR_STATUS_NOT_A_TABLE_FILE 30
#define KS_BTR_STATUS_TRANSACTION_ACTIVE 37
#define KS_BTR_STATUS_NO_TRANSACTION 39
#define KS_BTR_STATUS_ACCESS_DENIED 46
#define KS_BTR_STATUS_FILE_EXISTS 59
#define KS_BTR_STATUS_CONFLICT 80
#define KS_BTR_STATUS_RECORD_LOCKED 84
#define KS_BTR_STATUS_FILE_LOCKED 85
/* Also the answer when the engine could not be made. */
#define KS_BTR_STATUS_ENGINE_GONE 95

int16_t BTRCALL(uint16_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                void* keyBuffer, uint8_t keyLength, int8_t keyNumber);

#ifdef __cplusplus
}
#endif

#endif /* KS_BTRCALL_H */
