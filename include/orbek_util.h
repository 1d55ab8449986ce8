/*
 * orbek_util.h - the public interface of the ORBEK utility library.
 *
 * Plain C (C99 and C++), one section per family.  Every object or buffer the
 * library hands out belongs to the caller and is released with its family's
 * free function; plain buffers are released with orbek_free.
 *
 * Results are 1 for success and 0 (or a null handle) for failure unless a
 * function's comment says otherwise.  Sizes, lengths and counts are signed
 * 32-bit values; negative lengths are refused.
 */
#ifndef ORBEK_UTIL_H
#define ORBEK_UTIL_H

#include <stddef.h>
#include <stdint.h>

/* ORBEK_API marks the exported functions.  Define ORBEK_STATIC when linking
 * the static variant of the library. */
#if defined(ORBEK_STATIC)
#  define ORBEK_API
#elif defined(_WIN32) || defined(__CYGWIN__)
#  if defined(ORBEK_BUILDING)
#    define ORBEK_API __declspec(dllexport)
#  else
#    define ORBEK_API __declspec(dllimport)
#  endif
#else
#  define ORBEK_API __attribute__((visibility("default")))
#endif

/* Every exported function is noexcept when seen from C++. */
#ifdef __cplusplus
#  define ORBEK_NOEXCEPT noexcept
extern "C" {
#else
#  define ORBEK_NOEXCEPT
#endif

/* ======================================================================
 * Memory: allocation hooks and data blobs
 * ====================================================================== */

/* Allocation hook: size in bytes, the library source name and line that ask. */
typedef void *(*orbek_malloc_func)(int32_t size, const char *file, int32_t line);
/* Release hook. */
typedef void (*orbek_free_func)(void *ptr);

/* Allocates through the current hook.  A negative size gives null without
 * touching anything; otherwise the first call freezes the hooks for good. */
ORBEK_API void *orbek_malloc(int32_t size, const char *file, int32_t line) ORBEK_NOEXCEPT;
/* Releases through the current hook; null is ignored. */
ORBEK_API void orbek_free(void *ptr) ORBEK_NOEXCEPT;
/* Replaces both hooks.  0 once anything has been allocated or when either
 * argument is null; nothing changes then. */
ORBEK_API int32_t orbek_setallocfunc(orbek_malloc_func alloc_hook, orbek_free_func free_hook) ORBEK_NOEXCEPT;
ORBEK_API orbek_malloc_func orbek_getmallocfunc(void) ORBEK_NOEXCEPT;
ORBEK_API orbek_free_func orbek_getfreefunc(void) ORBEK_NOEXCEPT;

/* An owned copy of bytes. */
typedef struct orbek_data_blob {
    uint8_t *data;
    int32_t length;
} orbek_data_blob;

/* Copies length bytes; null for a null data pointer (even with length 0),
 * a negative length or an allocation failure. */
ORBEK_API orbek_data_blob *orbek_data_blob_new(const uint8_t *data, int32_t length) ORBEK_NOEXCEPT;
/* Releases the bytes and the blob; null is ignored. */
ORBEK_API void orbek_data_blob_free(orbek_data_blob *blob) ORBEK_NOEXCEPT;

/* ======================================================================
 * Error context and error codes
 * ====================================================================== */

/* General codes. */
#define ORBEK_ERR_OUT_OF_MEMORY   0x10000u
#define ORBEK_ERR_BAD_LENGTH      0x10001u
#define ORBEK_ERR_NULL_POINT      0x10002u
#define ORBEK_ERR_NOT_SUPPORTED   0x10003u
#define ORBEK_ERR_UNEXPECTED      0x10004u
/* Stream codes. */
#define ORBEK_ERR_STREAM_READONLY         0x10100u
#define ORBEK_ERR_STREAM_CANNOT_GROW      0x10101u
#define ORBEK_ERR_STREAM_BAD              0x10102u
#define ORBEK_ERR_STREAM_READ_PAST_END    0x10103u
#define ORBEK_ERR_STREAM_WRITE_FAIL       0x10104u
#define ORBEK_ERR_STREAM_BAD_POS          0x10105u
#define ORBEK_ERR_STREAM_READ_FILE        0x10106u
#define ORBEK_ERR_STREAM_WRITE_FILE       0x10107u
#define ORBEK_ERR_STREAM_FILE_CLOSED      0x10108u
#define ORBEK_ERR_STREAM_RESET            0x10109u
#define ORBEK_ERR_STREAM_CLOSE_FILE       0x1010Au
#define ORBEK_ERR_STREAM_FILE_MODE        0x1010Bu
#define ORBEK_ERR_STREAM_OPEN_FILE        0x1010Cu
#define ORBEK_ERR_STREAM_NO_SOURCE_SINK   0x1010Du
#define ORBEK_ERR_STREAM_LENGTH           0x1010Eu
#define ORBEK_ERR_STREAM_HEX_DECODE       0x1010Fu
#define ORBEK_ERR_STREAM_BASE64_FLAG      0x10110u
#define ORBEK_ERR_STREAM_BASE64_DECODE    0x10111u
#define ORBEK_ERR_STREAM_FILE_FLUSH       0x10112u
#define ORBEK_ERR_STREAM_MD_FUNCTION      0x10113u
#define ORBEK_ERR_STREAM_GET_LENGTH       0x10114u
#define ORBEK_ERR_STREAM_BAD_CTRL         0x10115u
#define ORBEK_ERR_STREAM_PEM_DECODE       0x10116u
#define ORBEK_ERR_STREAM_MD_UPDATE        0x10117u
#define ORBEK_ERR_STREAM_MD_FINISH        0x10118u
#define ORBEK_ERR_STREAM_CANNOT_READ      0x10119u
#define ORBEK_ERR_STREAM_CANNOT_WRITE     0x1011Au
#define ORBEK_ERR_STREAM_POS_DIFFER       0x1011Bu

/* A ring of the 31 newest error records, in one block. */
typedef struct orbek_err_ctx orbek_err_ctx;

ORBEK_API orbek_err_ctx *orbek_err_ctx_new(void) ORBEK_NOEXCEPT;
/* The same entry as orbek_free. */
ORBEK_API void orbek_err_ctx_free(orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/* Appends a record; 0 for a null ctx or file or a negative line.  A null
 * description stores an empty one; longer than 63 characters is cut. */
ORBEK_API int32_t orbek_err_ctx_put(orbek_err_ctx *ctx, const char *file, int32_t line,
                                    uint32_t code, const char *description) ORBEK_NOEXCEPT;
/* The newest record's code, or 1 when the context is empty. */
ORBEK_API int32_t orbek_err_ctx_geterrcode(const orbek_err_ctx *ctx, uint32_t *code) ORBEK_NOEXCEPT;
/* The newest record's description.  *length receives its size with the NUL;
 * a null buffer only asks for that size. */
ORBEK_API int32_t orbek_err_ctx_geterrdesc(const orbek_err_ctx *ctx, char *buffer, int32_t buffer_size,
                                           int32_t *length) ORBEK_NOEXCEPT;
/* Writes every record to stderr, newest first, or "No Error". */
ORBEK_API int32_t orbek_err_ctx_print(const orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_err_ctx_copy(const orbek_err_ctx *source, orbek_err_ctx *destination) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_err_ctx_clean(orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/* Texts of the codes above; the empty string for any other code. */
ORBEK_API const char *orbek_igetGeneralError(uint32_t code) ORBEK_NOEXCEPT;
ORBEK_API const char *orbek_igetStreamError(uint32_t code) ORBEK_NOEXCEPT;

/* ======================================================================
 * Process settings and utilities
 * ====================================================================== */

/* "ORBEK Utility Library 2.8,Build on 2021"; constant, not to be released. */
ORBEK_API const char *orbek_util_version(void) ORBEK_NOEXCEPT;

/* ======================================================================
 * Streams
 * ====================================================================== */

/* (stream family: stream core, memory and null streams, Base64, PEM, hex) */

/* ======================================================================
 * Unicode strings
 * ====================================================================== */

/* (ustring family) */

/* ======================================================================
 * Time values
 * ====================================================================== */

typedef struct orbek_time orbek_time;

/* A time value is one block: the same entry as orbek_free. */
ORBEK_API void orbek_time_free(orbek_time *t) ORBEK_NOEXCEPT;

/* ======================================================================
 * JSON
 * ====================================================================== */

/* (JSON family) */

/* ======================================================================
 * Array list
 * ====================================================================== */

/* A growable vector of non-null pointer-sized items, kept in insertion order.
 * No lock: one thread at a time.  Every function tolerates a null list. */
typedef struct orbek_arraylist orbek_arraylist;

/* Applied to an item on its way in (pushback, insert) and on its way out by
 * copy (getitem); a null result refuses the item. */
typedef void *(*orbek_arraylist_dup_func)(void *item);
/* Applied to an item that leaves the list by deletion or by freeing it. */
typedef void (*orbek_arraylist_free_func)(void *item);

/* A new empty list of capacity 16; both functions may be null.  Null when an
 * allocation fails. */
ORBEK_API orbek_arraylist *orbek_arraylist_new(orbek_arraylist_dup_func dup_fn,
                                               orbek_arraylist_free_func free_fn) ORBEK_NOEXCEPT;
/* Calls the free function (when set) on every item in index order, then
 * releases the list. */
ORBEK_API void orbek_arraylist_free(orbek_arraylist *list) ORBEK_NOEXCEPT;
/* Calls the list's free function on item (which need not be in the list);
 * does nothing when the list, its free function or the item is null. */
ORBEK_API void orbek_arraylist_freeitem(orbek_arraylist *list, void *item) ORBEK_NOEXCEPT;
/* The number of items; 0 for a null list. */
ORBEK_API int32_t orbek_arraylist_count(const orbek_arraylist *list) ORBEK_NOEXCEPT;
/* The item at index, duplicated by the duplicate function when one is set
 * (the caller owns that copy); null for an index outside 0 .. count-1. */
ORBEK_API void *orbek_arraylist_getitem(const orbek_arraylist *list, int32_t index) ORBEK_NOEXCEPT;
/* The stored item itself, still owned by the list; null when out of range. */
ORBEK_API void *orbek_arraylist_getitemref(const orbek_arraylist *list, int32_t index) ORBEK_NOEXCEPT;
/* Appends item (or its duplicate).  0 for a null item, a null duplicate, a
 * failed growth or the 2^28-slot limit; the list is then unchanged. */
ORBEK_API int32_t orbek_arraylist_pushback(orbek_arraylist *list, void *item) ORBEK_NOEXCEPT;
/* Inserts item (or its duplicate) at index, clamped to 0 .. count; the later
 * items move up.  Failures as for pushback. */
ORBEK_API int32_t orbek_arraylist_insert(orbek_arraylist *list, int32_t index, void *item) ORBEK_NOEXCEPT;
/* Removes the item at index (calling the free function when set); the later
 * items move down.  0 for an index outside 0 .. count-1. */
ORBEK_API int32_t orbek_arraylist_delete(orbek_arraylist *list, int32_t index) ORBEK_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* ORBEK_UTIL_H */
