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

/* The JSON decoder's nesting limit, read once at load from
 * ORBEK_RECURSIVE_LEVEL (decimal; 200 when unset, at least 8). */
ORBEK_API int32_t orbek_get_recursive_level(void) ORBEK_NOEXCEPT;

/* The system's 148-byte version record (OSVERSIONINFOA), read once at load.
 * Outside Windows it is filled from the kernel's release ("6.1.0-13-amd64"
 * gives major 6, minor 1, build 0 and that text as service_pack) with
 * platform_id 2. */
typedef struct orbek_winversion {
    uint32_t size; /* 148 */
    uint32_t major;
    uint32_t minor;
    uint32_t build;
    uint32_t platform_id; /* 2: the Windows NT family */
    char service_pack[128];
} orbek_winversion;

/* Copies the version record into *out and returns out (null for null). */
ORBEK_API orbek_winversion *orbek_getwinversion(orbek_winversion *out) ORBEK_NOEXCEPT;
/* 1 when the record's platform_id is 2, else 0. */
ORBEK_API int32_t orbek_winuseunicode(void) ORBEK_NOEXCEPT;
/* The processors the system reports, at least 1. */
ORBEK_API int32_t orbek_getcpucount(void) ORBEK_NOEXCEPT;
/* The executable's full path as a new string (release with orbek_free), or
 * null when the system cannot say, the path is 1023 characters or longer, or
 * allocation fails. */
ORBEK_API char *orbek_getexepath(void) ORBEK_NOEXCEPT;
/* The part of that path after its last separator ('\\' on Windows, '/'
 * elsewhere), as a new string; null under the same conditions. */
ORBEK_API char *orbek_getexefilename(void) ORBEK_NOEXCEPT;

/* Compares a key with an element: negative, 0 or positive as the key sorts
 * before, equal to or after it. */
typedef int32_t (*orbek_compare_func)(const void *key, const void *element);
/* Binary search over count elements of size bytes sorted in compare order.
 * 1 when found, with *index the first of the equal elements; 0 when not,
 * with *index where the key would be inserted (-1 when count <= 0).  0 with
 * *index untouched when key, base, compare or index is null or size < 1. */
ORBEK_API int32_t orbek_bsearch(const void *key, const void *base, int32_t count, int32_t size,
                                orbek_compare_func compare, int32_t *index) ORBEK_NOEXCEPT;

/* ======================================================================
 * Start-up, last error, monotonic clock, library loading
 * ====================================================================== */

/* The library starts itself up when it is loaded and tears itself down when
 * it is unloaded.  On Windows DllMain drives this with the loader's four
 * notifications: every thread that starts while the library is loaded gets
 * its last-error cell at its thread attach, and threads that were already
 * running when it was loaded have none (their last-error calls answer 0).
 * Linux has no thread-attach notification: the shared object's constructor
 * and destructor drive the process attach and detach, a thread gets its
 * last-error cell on its first orbek_setlasterror (or clock failure), and
 * the thread-local storage destructor runs the thread detach when the thread
 * ends.  A failing start-up refuses the DLL load on Windows; on Linux, where
 * a constructor cannot refuse, it ends the process with a message. */

/** Stores code as the calling thread's last-error value: 1, or 0 when the
 * thread has no cell (on Linux, when its cell cannot be made). */
ORBEK_API int32_t orbek_setlasterror(int32_t code) ORBEK_NOEXCEPT;
/** The calling thread's last-error value; 0 when the thread has no cell.  The
 * value is per thread: other threads never change it. */
ORBEK_API int32_t orbek_getlasterror(void) ORBEK_NOEXCEPT;

/* The monotonic clock's code when it cannot be read. */
#define ORBEK_ERR_NO_COUNTER 0x10F00

/** Nanoseconds of the performance counter (QueryPerformanceCounter on Windows,
 * CLOCK_MONOTONIC elsewhere): counter / frequency * 1e9, computed in double
 * precision and truncated, so only differences mean anything.  Without a
 * counter, INT64_MIN, and the calling thread's last-error value becomes
 * ORBEK_ERR_NO_COUNTER. */
ORBEK_API int64_t orbek_time_getmonotonicns(void) ORBEK_NOEXCEPT;

/* A loaded module (the system's module handle). */
typedef struct orbek_dso orbek_dso;
struct orbek_ustring;

/** Loads a dynamic library.  name is converted into the process's default
 * charset (orbek_ustring_getdefaultcharset, "UTF-8" when it gives none) and
 * handed to the system's narrow-name loader (LoadLibraryA, dlopen).  When
 * that fails the load is tried once more with a suffix appended: ".DLL" on
 * Windows, ".so" on Linux (so "libz" finds "libz.so").  A name that cannot be
 * converted, or holds U+0000, gives null.  Release the module with
 * orbek_dso_free.  Like the system's loader, this runs the loaded library's
 * own start-up code in the calling thread. */
ORBEK_API orbek_dso *orbek_dso_load(const struct orbek_ustring *name) ORBEK_NOEXCEPT;
/** Unloads a module: non-zero on success, 0 on failure or for null. */
ORBEK_API int32_t orbek_dso_free(orbek_dso *module) ORBEK_NOEXCEPT;
/** The address of the module's exported symbol name; null when there is none
 * or either argument is null. */
ORBEK_API void *orbek_dso_getfunction(orbek_dso *module, const char *name) ORBEK_NOEXCEPT;

/* ======================================================================
 * Debug allocator
 * ====================================================================== */

/** Switches the debug allocator on: 1, or 0 once anything has been allocated
 * (the hooks then stay as they were) or when its lock cannot be made.  Call
 * it on one thread before any other use of the library.
 *
 * Every block is then guarded (4 marker bytes before it after a 16-byte head,
 * 4 after it), recorded with the library source name and line that asked
 * for it and given a serial number (0, 1, 2 ... in allocation order).  A
 * release of a damaged block, of a block released before or of a pointer the
 * allocator never gave out is refused: the block is not freed and the
 * pointer is listed in the report.  Everything is serialised on one lock.
 *
 * ORBEK_DEBUG_MEMORY_NUMBER, read here, names a serial number: the
 * allocation that receives it sleeps one hour, holding the lock, so that a
 * debugger can be attached (every other thread that allocates or releases
 * waits too).  Unset, 0 or negative never stalls.
 *
 * Warning: a release checks the bytes in front of the pointer, so releasing
 * a pointer that is not from the allocator reads the 16 bytes before it, and
 * releasing a block twice reads memory already given back to the runtime
 * heap (normally refused as "bad head"; if the heap has handed that memory
 * out again, the outcome is the heap's). */
ORBEK_API int32_t orbek_setdebugalloc(void) ORBEK_NOEXCEPT;

/** Writes the debug allocator's report to the file at path (truncated
 * first): the allocation and release counts and amounts, the peak, the
 * refused releases, every live block newest first with its source position,
 * size and first 1024 bytes, and the refused pointers with their reasons.
 * Before the allocator is switched on the file is left empty.  Nothing is
 * reported when the file cannot be opened. */
ORBEK_API void orbek_printdebugalloc(const char *path) ORBEK_NOEXCEPT;

/* ======================================================================
 * Streams
 * ====================================================================== */

/* A stream: a source/sink (memory, null) or a filter (Base64, hex) chained
 * in front of exactly one source/sink.  Writing to the first stream of a
 * chain pushes transformed bytes down to the sink; reading pulls them up
 * from the source.  Stream functions take an error context last (null
 * drops the records) and append one record per failure. */
typedef struct orbek_stream orbek_stream;

/* Type codes: the filter bit, the source/sink bit and the kinds. */
#define ORBEK_STREAM_FILTER       0x10000
#define ORBEK_STREAM_SOURCE_SINK  0x20000
#define ORBEK_STREAM_TYPE_MD      0x10003
#define ORBEK_STREAM_TYPE_HEX     0x10004
#define ORBEK_STREAM_TYPE_BASE64  0x10005
#define ORBEK_STREAM_TYPE_HMAC    0x10007
#define ORBEK_STREAM_TYPE_MEM     0x20001
#define ORBEK_STREAM_TYPE_FILE    0x20002
#define ORBEK_STREAM_TYPE_NULL    0x20006

/* Control codes; the argument points to an int32_t unless noted. */
#define ORBEK_CTRL_RESET          1   /* read and write positions to 0 */
#define ORBEK_CTRL_LENGTH         2   /* store the length (or bytes not yet read) */
#define ORBEK_CTRL_MD_LENGTH      3
#define ORBEK_CTRL_MD_FINISH      4
#define ORBEK_CTRL_MD_BLOCK       5
#define ORBEK_CTRL_FLUSH          6   /* write out what is held back, then forward */
#define ORBEK_CTRL_GET_POS        7
#define ORBEK_CTRL_SET_POS        8
#define ORBEK_CTRL_CLOSE          9
#define ORBEK_CTRL_REOPEN         10
#define ORBEK_CTRL_AT_END         11  /* 1 when everything is consumed, 0 otherwise */
#define ORBEK_CTRL_HMAC_FINISH    12
#define ORBEK_CTRL_GET_READ_POS   15
#define ORBEK_CTRL_GET_WRITE_POS  16
#define ORBEK_CTRL_SET_READ_POS   17
#define ORBEK_CTRL_SET_WRITE_POS  18
#define ORBEK_CTRL_RESERVE        19  /* room for *arg more bytes */
#define ORBEK_CTRL_BASE64_FINISH  20  /* argument: orbek_data_blob ** */

/* Generic entry points: call the stream's operation and return its result.
 * read stores the bytes delivered in *count (0 with result 1: exhausted). */
ORBEK_API int32_t orbek_stream_read(orbek_stream *stream, uint8_t *buffer, int32_t length, int32_t *count,
                                    orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_stream_write(orbek_stream *stream, const uint8_t *buffer, int32_t length, int32_t *count,
                                     orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_stream_ctrl(orbek_stream *stream, int32_t code, void *argument,
                                    orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/* Write or read exactly length bytes. */
ORBEK_API int32_t orbek_stream_writen(orbek_stream *stream, const uint8_t *buffer, int32_t length,
                                      orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_stream_readn(orbek_stream *stream, uint8_t *buffer, int32_t length,
                                     orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/* Copies everything source holds into destination; *total (if given)
 * receives the number of bytes copied. */
ORBEK_API int32_t orbek_stream_writefromstream(orbek_stream *destination, orbek_stream *source, int32_t *total,
                                               orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/* Puts filter in front of the chain that starts at rest (which must end in
 * a source/sink); 1 or 0. */
ORBEK_API int32_t orbek_stream_push(orbek_stream *filter, orbek_stream *rest) ORBEK_NOEXCEPT;
/* Unlinks the first stream of a chain; returns the rest or null. */
ORBEK_API orbek_stream *orbek_stream_pop(orbek_stream *stream) ORBEK_NOEXCEPT;
ORBEK_API orbek_stream *orbek_stream_next(orbek_stream *stream) ORBEK_NOEXCEPT;
/* where: 1 from the chain's first stream, 2 from this one, 3 from its next.
 * type ORBEK_STREAM_FILTER or ORBEK_STREAM_SOURCE_SINK matches the class. */
ORBEK_API orbek_stream *orbek_stream_find_type(orbek_stream *stream, int32_t where, int32_t type) ORBEK_NOEXCEPT;
/* Releases one (unchained) stream; null is ignored. */
ORBEK_API void orbek_stream_free(orbek_stream *stream) ORBEK_NOEXCEPT;
/* Releases the whole chain the stream belongs to. */
ORBEK_API void orbek_stream_freeall(orbek_stream *stream) ORBEK_NOEXCEPT;
/* The type code, -1 for null. */
ORBEK_API int32_t orbek_stream_gettype(const orbek_stream *stream) ORBEK_NOEXCEPT;
/* Writes the listing of ctx (newest first, or "No Error\n") into stream.
 * On failure *code (if given) receives the failing write's error code. */
ORBEK_API int32_t orbek_err_ctx_output(orbek_stream *stream, const orbek_err_ctx *ctx,
                                       uint32_t *code) ORBEK_NOEXCEPT;

/* Memory streams.  capacity 0 means 4096; capacities round up to 8. */
ORBEK_API orbek_stream *orbek_stream_new_mem(int32_t capacity, orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/* Read-only: a private copy (copy != 0) or a view of the caller's bytes,
 * which must then outlive the stream. */
ORBEK_API orbek_stream *orbek_stream_new_romem(const uint8_t *data, int32_t length, int32_t copy,
                                               orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/* Separate read and write positions: a byte queue. */
ORBEK_API orbek_stream *orbek_stream_new_rwspecmem(int32_t capacity, orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/* Hands the buffer and its content length to the caller (release it with
 * orbek_free); the stream keeps writing in place but can no longer grow. */
ORBEK_API int32_t orbek_memstreamdeatch(orbek_stream *stream, uint8_t **data, int32_t *length) ORBEK_NOEXCEPT;
/* A read-only view of an unchained memory stream's current content. */
ORBEK_API orbek_stream *orbek_memstream_dup_readonly(orbek_stream *stream) ORBEK_NOEXCEPT;
/* A sink that discards everything. */
ORBEK_API orbek_stream *orbek_stream_new_null(orbek_err_ctx *ctx) ORBEK_NOEXCEPT;

/* Base64 flags.  Encoding: line-break mode 1 CR, 2 CRLF, 3 LF, 4 none.
 * Decoding: tolerance 1 strict, 2 skips CR/LF, 3 also skips TAB/SPACE. */
#define ORBEK_B64_CR          1
#define ORBEK_B64_CRLF        2
#define ORBEK_B64_LF          3
#define ORBEK_B64_NO_BREAKS   4
#define ORBEK_B64_STRICT      1
#define ORBEK_B64_SKIP_BREAKS 2
#define ORBEK_B64_SKIP_BLANKS 3
#define ORBEK_B64_NO_PAD      0x80u
#define ORBEK_B64_URL         0x100u

/* Base64 filter: encodes what is written, decodes what is read.  line_width
 * below 1 means 64. */
ORBEK_API orbek_stream *orbek_stream_new_base64(uint32_t encoding_flags, int32_t line_width,
                                                uint32_t decoding_flags, orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/* One-shot codecs; no error context.  Text results are NUL-terminated (the
 * length excludes the NUL); release results with orbek_free. */
ORBEK_API int32_t orbek_base64encode(uint32_t flags, const uint8_t *data, int32_t length, char **text,
                                     int32_t *text_length) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_base64decode(uint32_t flags, const char *text, int32_t length, uint8_t **data,
                                     int32_t *data_length) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_pemencode(const char *label, const uint8_t *data, int32_t length, char **text,
                                  int32_t *text_length) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_pemdecode(const char *label, const char *text, int32_t length, uint8_t **data,
                                  int32_t *data_length) ORBEK_NOEXCEPT;

/* Hex filter (upper != 0: upper-case digits) and one-shot codec. */
ORBEK_API orbek_stream *orbek_stream_new_hex(int32_t upper, orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_hexencode(int32_t upper, const uint8_t *data, int32_t length, char **text,
                                  int32_t *text_length) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_hexdecode(const char *text, int32_t length, uint8_t **data,
                                  int32_t *data_length) ORBEK_NOEXCEPT;

/* ======================================================================
 * Unicode strings
 * ====================================================================== */

/* An immutable, reference-counted Unicode string held as well-formed UTF-16.
 * Every constructor gives a new string with reference count 1, or null for
 * invalid input or allocation failure (never a partial result, never a
 * replacement character).  U+0000 is an ordinary character.  Constructors
 * that take (data, length): a null pointer with length 0 gives the empty
 * string, a null pointer with any other length or a negative length null. */
typedef struct orbek_ustring orbek_ustring;

/* Releases one reference; the string goes with the last one.  Null is
 * ignored. */
ORBEK_API void orbek_ustring_free(orbek_ustring *s) ORBEK_NOEXCEPT;
/* Adds a reference and returns s itself (no copy); null gives null. */
ORBEK_API orbek_ustring *orbek_ustring_dup(orbek_ustring *s) ORBEK_NOEXCEPT;
/* Code points in s; 0 for null. */
ORBEK_API int32_t orbek_ustring_getcharcount(const orbek_ustring *s) ORBEK_NOEXCEPT;

/* From 0-terminated UTF-16 in native order; null text gives the empty
 * string (orbek_ustring_new) or null (orbek_ustring_newwcs). */
ORBEK_API orbek_ustring *orbek_ustring_new(const uint16_t *text) ORBEK_NOEXCEPT;
ORBEK_API orbek_ustring *orbek_ustring_newwcs(const uint16_t *text) ORBEK_NOEXCEPT;
/* From count UTF-16 units; a lone surrogate gives null. */
ORBEK_API orbek_ustring *orbek_ustring_newlength(const uint16_t *units, int32_t count) ORBEK_NOEXCEPT;
/* From strict UTF-8: overlong forms, encoded surrogates, values above
 * U+10FFFF and truncated sequences give null.  A byte-order mark is kept as
 * U+FEFF. */
ORBEK_API orbek_ustring *orbek_ustring_newutf8(const uint8_t *bytes, int32_t len) ORBEK_NOEXCEPT;
/* From big-endian UCS-2: len even, no surrogate units. */
ORBEK_API orbek_ustring *orbek_ustring_newbmp(const uint8_t *bytes, int32_t len) ORBEK_NOEXCEPT;
/* From big-endian UTF-32: len a multiple of 4, each value a scalar value. */
ORBEK_API orbek_ustring *orbek_ustring_newutf32be(const uint8_t *bytes, int32_t len) ORBEK_NOEXCEPT;
/* From count native 32-bit code points. */
ORBEK_API orbek_ustring *orbek_ustring_newutf32(const uint32_t *values, int32_t count) ORBEK_NOEXCEPT;
/* From 7-bit ASCII: any byte above 0x7F gives null. */
ORBEK_API orbek_ustring *orbek_ustring_newascii(const uint8_t *bytes, int32_t len) ORBEK_NOEXCEPT;
/* From a BSTR (its byte length decides, so embedded 0 units survive); null
 * gives the empty string, an odd byte length null. */
ORBEK_API orbek_ustring *orbek_ustring_newbstr(const uint16_t *bstr) ORBEK_NOEXCEPT;

/* Encoders: 1 on success with a new buffer in *out (released with
 * orbek_free) and its length in *len, the terminator not counted; 0 for a
 * null string or out-parameter or on failure, with *out set to null and
 * *len to 0 when both out-parameters were given. */
/* UTF-8 without a byte-order mark, then a 0 byte. */
ORBEK_API int32_t orbek_ustring_toutf8(const orbek_ustring *s, uint8_t **bytes, int32_t *len) ORBEK_NOEXCEPT;
/* Native UTF-16 units, then a 0 unit; *count in units. */
ORBEK_API int32_t orbek_ustring_toutf16(const orbek_ustring *s, uint16_t **units, int32_t *count) ORBEK_NOEXCEPT;
/* The same 0-terminated copy as orbek_ustring_toutf16, or null. */
ORBEK_API uint16_t *orbek_ustring_towcs(const orbek_ustring *s) ORBEK_NOEXCEPT;
/* Big-endian UCS-2, then two 0 bytes; 0 when s holds a character above
 * U+FFFF. */
ORBEK_API int32_t orbek_ustring_tobmp(const orbek_ustring *s, uint8_t **bytes, int32_t *len) ORBEK_NOEXCEPT;
/* Big-endian UTF-32, then four 0 bytes; *len in bytes. */
ORBEK_API int32_t orbek_ustring_toutf32be(const orbek_ustring *s, uint8_t **bytes, int32_t *len) ORBEK_NOEXCEPT;
/* Native 32-bit code points, then a 0 value; *count in code points. */
ORBEK_API int32_t orbek_ustring_toutf32(const orbek_ustring *s, uint32_t **values, int32_t *count) ORBEK_NOEXCEPT;
/* A new BSTR holding the units of s, or null; release it with
 * orbek_ustring_freebstr.  On Windows this is an OLE automation BSTR
 * (SysAllocStringLen; SysFreeString releases it too).  Elsewhere it is
 * modelled the same way: the handle points at the units, the 4 bytes before
 * it hold their byte count (native order), and a 0 unit follows them; the
 * block comes from the allocation hooks. */
ORBEK_API uint16_t *orbek_ustring_tobstr(const orbek_ustring *s) ORBEK_NOEXCEPT;
/* Releases a BSTR made by orbek_ustring_tobstr; null is ignored. */
ORBEK_API void orbek_ustring_freebstr(uint16_t *bstr) ORBEK_NOEXCEPT;

/* ======================================================================
 * Unicode strings: charsets and code pages
 * ====================================================================== */

/* Charset names are matched without regard to the case of a-z.  "UTF-8",
 * "ASCII", "UTF-16BE", "UTF-16LE", "UTF-32BE" and "UTF-32LE" are converted
 * by the library itself.  "CP" followed by digits names a Windows code page
 * ("cp1252"; cp936 means cp54936 where the system has code page 54936).  Any
 * other name is looked up in a built-in table of several hundred IANA names,
 * aliases and descriptive names ("WINDOWS-1251", "SHIFT_JIS", "KOI8-R",
 * "WESTERN EUROPEAN(WINDOWS)"), each giving a code page and a fallback code
 * page.  The primary page is used when the system can convert it, then the
 * fallback page; when the name gives no page, or the system has neither, the
 * registered converter of that direction is called (none: failure).
 *
 * Code-page conversions behave as Windows's MultiByteToWideChar and
 * WideCharToMultiByte with flags 0: a byte sequence the page does not define
 * decodes to a substitute character rather than failing, and a character the
 * page lacks encodes as the page's default character ("?"), so a
 * successful tombs is not necessarily lossless.  On Windows the system's own
 * converters are called; elsewhere the C library's iconv converters stand in
 * for the same page numbers (Windows's best-fit substitutions, such as "A"
 * for U+0100 in code page 1252, are not made there: such characters become
 * the default character). */

/* Multibyte-to-Unicode converter: decodes in_len bytes of the named charset
 * (the caller's name, upper-cased) into at most out_cap units at out, stores
 * the units written in *out_len and returns 1; any other result is failure.
 * A count below 0 or above out_cap counts as failure too. */
typedef int32_t (*orbek_mbstowcs_func)(void *user, const char *charset, const uint8_t *in, int32_t in_len,
                                       uint16_t *out, int32_t out_cap, int32_t *out_len);
/* Unicode-to-multibyte converter: the same for in_len UTF-16 units into at
 * most out_cap bytes. */
typedef int32_t (*orbek_wcstombs_func)(void *user, const char *charset, const uint16_t *in, int32_t in_len,
                                       uint8_t *out, int32_t out_cap, int32_t *out_len);

/* The process's default charset as "cp" and the decimal number of its ANSI
 * code page (GetACP on Windows; elsewhere the code page of the environment's
 * locale codeset, UTF-8 "cp65001" for the C locale or a codeset without a
 * page), "cp54936" where that would be "cp936" and the system has code page
 * 54936.  A new 0-terminated string released with orbek_free; null when
 * the allocation fails. */
ORBEK_API char *orbek_ustring_getdefaultcharset(void) ORBEK_NOEXCEPT;
/* Register the converter called for charsets the system cannot convert,
 * with the user pointer passed to it; a null func removes it.  Always 1.
 * Plain process-wide settings without a lock: register before other threads
 * convert. */
ORBEK_API int32_t orbek_ustring_setmbstowcscallback(void *user, orbek_mbstowcs_func func) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_ustring_setwcstombscallback(void *user, orbek_wcstombs_func func) ORBEK_NOEXCEPT;
/* Decodes len bytes in the named charset into a new string, or null.  len 0
 * gives the empty string whatever the charset (even null); null bytes with
 * another len, a negative len, a null or empty charset, a length that is not
 * a whole number of units for the UTF-16 and UTF-32 forms, a lone surrogate,
 * a conversion the system or the converter refuses, or an allocation
 * failure give null.  No byte-order mark is looked for or removed. */
ORBEK_API orbek_ustring *orbek_ustring_newmbs(const char *charset, const uint8_t *bytes, int32_t len) ORBEK_NOEXCEPT;
/* Encodes s in the named charset: 1 with a new buffer in *bytes (released
 * with orbek_free) and its byte count in *len; the buffer ends in one 0 byte
 * (four for "UTF-32BE" and "UTF-32LE"), not counted.  The empty string gives
 * a one-byte buffer holding 0 and *len 0 for any charset name.  0 for a null
 * argument, "ASCII" with a character above U+007F, a conversion the system
 * or the converter refuses (including a result longer than 4 bytes per
 * character) or an allocation failure, with *bytes null and *len 0. */
ORBEK_API int32_t orbek_ustring_tombs(const orbek_ustring *s, const char *charset, uint8_t **bytes,
                                      int32_t *len) ORBEK_NOEXCEPT;

/* ======================================================================
 * Time values
 * ====================================================================== */

typedef struct orbek_time orbek_time;

/* A time value is one block: the same entry as orbek_free. */
ORBEK_API void orbek_time_free(orbek_time *t) ORBEK_NOEXCEPT;

/* A time value is a proleptic Gregorian date (years 1582 to 9999) and a time
 * of day with nanoseconds, either in UTC or as the wall clock of a zone of the
 * built-in zone database.  UTC values know the 27 leap seconds of 1972 to
 * 2016: such a value can show second 60, the second adder counts leap seconds
 * and the seconds difference includes them.  Values are immutable; every
 * value handed out is new and released with orbek_time_free. */

/* A UTC value; null for fields out of range.  Hour 24 (with minute and
 * second 0) is hour 0 of the next day; second 60 only at a leap second. */
ORBEK_API orbek_time *orbek_time_newutctime(int32_t year, int32_t month, int32_t day, int32_t hour,
                                            int32_t minute, int32_t second, int32_t nanosecond) ORBEK_NOEXCEPT;
/* The system's UTC clock, millisecond resolution. */
ORBEK_API orbek_time *orbek_time_nowutctime(void) ORBEK_NOEXCEPT;
/* POSIX seconds to a UTC value; null outside the years 1582 to 9999. */
ORBEK_API orbek_time *orbek_time_newfromtime_t(int64_t seconds) ORBEK_NOEXCEPT;
/* A copy of all fields; null for null. */
ORBEK_API orbek_time *orbek_time_dup(const orbek_time *t) ORBEK_NOEXCEPT;

/* The fields as stored (a local value's wall-clock reading); -1 for null. */
ORBEK_API int32_t orbek_time_getyear(const orbek_time *t) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_time_getmonth(const orbek_time *t) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_time_getday(const orbek_time *t) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_time_gethour(const orbek_time *t) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_time_getminute(const orbek_time *t) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_time_getsecond(const orbek_time *t) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_time_getns(const orbek_time *t) ORBEK_NOEXCEPT;

/* 1 or 0; 0 for null. */
ORBEK_API int32_t orbek_time_isutctime(const orbek_time *t) ORBEK_NOEXCEPT;
/* A local value with daylight-saving time in force. */
ORBEK_API int32_t orbek_time_isdst(const orbek_time *t) ORBEK_NOEXCEPT;
/* Whether the stored year is a leap year. */
ORBEK_API int32_t orbek_time_isleapyear(const orbek_time *t) ORBEK_NOEXCEPT;
/* Whether the value's instant is one of the leap seconds. */
ORBEK_API int32_t orbek_time_isleapsecond(const orbek_time *t) ORBEK_NOEXCEPT;

/* -1, 0 or 1 by year, month, day, hour, minute, second and nanosecond.
 * A null a is less than any value, two nulls are equal. */
ORBEK_API int32_t orbek_time_cmp(const orbek_time *a, const orbek_time *b) ORBEK_NOEXCEPT;
/* Calendar days from b's date to a's date (positive when a is later).
 * Null a: INT32_MIN (0 if b is null too); null b: INT32_MAX. */
ORBEK_API int32_t orbek_time_diffdays(const orbek_time *a, const orbek_time *b) ORBEK_NOEXCEPT;
/* Seconds from b to a, leap seconds included (a leap second at either end is
 * counted).  Null a: INT64_MIN (0 if b is null too); null b: INT64_MAX. */
ORBEK_API int64_t orbek_time_diffseconds(const orbek_time *a, const orbek_time *b) ORBEK_NOEXCEPT;
/* 1 (Monday) to 7 (Sunday); -1 for null. */
ORBEK_API int32_t orbek_time_getdayofweek(const orbek_time *t) ORBEK_NOEXCEPT;
/* POSIX seconds (a leap second gives the number of the second after it);
 * INT64_MIN for null. */
ORBEK_API int64_t orbek_time_gettime_t(const orbek_time *t) ORBEK_NOEXCEPT;

/* New values n units later (n < 0: earlier); null when the result leaves the
 * years 1582 to 9999.  Years and months keep the day where it exists (29
 * February becomes 1 March; a day past the month's end becomes its last day);
 * they fail when a leap second would land on an ordinary day.  Days and hours
 * turn a second 60 that is no longer a leap second into 59; minutes carry it
 * unchanged.  Seconds count elapsed seconds, leap seconds included. */
ORBEK_API orbek_time *orbek_time_addyear(const orbek_time *t, int32_t n) ORBEK_NOEXCEPT;
ORBEK_API orbek_time *orbek_time_addmonth(const orbek_time *t, int32_t n) ORBEK_NOEXCEPT;
ORBEK_API orbek_time *orbek_time_addday(const orbek_time *t, int32_t n) ORBEK_NOEXCEPT;
ORBEK_API orbek_time *orbek_time_addhour(const orbek_time *t, int32_t n) ORBEK_NOEXCEPT;
ORBEK_API orbek_time *orbek_time_addminute(const orbek_time *t, int32_t n) ORBEK_NOEXCEPT;
ORBEK_API orbek_time *orbek_time_addsecond(const orbek_time *t, int32_t n) ORBEK_NOEXCEPT;

/* Microseconds since 1970-01-01T00:00:00 UTC from the system's file-time
 * clock; leap seconds play no part. */
ORBEK_API uint64_t orbek_time_getcurrentus(void) ORBEK_NOEXCEPT;

/* Zones: names of the built-in IANA database (release 2015f) such as
 * "Asia/Shanghai", "America/New_York", "Etc/GMT-8"; "UTC" and "PRC" are
 * also accepted.  A local value shows its zone's wall clock and knows
 * whether daylight-saving time is in force.  Converting to or building in
 * "UTC" or "Etc/UTC" gives UTC values. */

/* A UTC value as the wall clock of the named zone; null for a name not in
 * the database, a null or local t.  A UTC leap second shows as second 60 of
 * the local minute. */
ORBEK_API orbek_time *orbek_time_utc2localbyzone(const char *name, const orbek_time *t) ORBEK_NOEXCEPT;
/* A local value as a UTC value; null for null or a UTC t. */
ORBEK_API orbek_time *orbek_time_local2utc(const orbek_time *t) ORBEK_NOEXCEPT;
/* A local value of the named zone from wall-clock fields (checked as by
 * orbek_time_newutctime).  A reading inside a spring-forward gap moves to
 * the end of the gap; a reading that occurs twice is the daylight-time one
 * when isdst is non-zero, else the standard-time one; second 60 stays only
 * where the local minute holds a leap second (else it becomes 59). */
ORBEK_API orbek_time *orbek_time_newlocaltimebyzone(const char *name, int32_t year, int32_t month, int32_t day,
                                                    int32_t hour, int32_t minute, int32_t second,
                                                    int32_t nanosecond, int32_t isdst) ORBEK_NOEXCEPT;

/* Local time in the system's current zone (on Windows the registry's time
 * zone setting; elsewhere the zone named by TZ, /etc/timezone or the
 * /etc/localtime link), found afresh on every call.  Each gives null when the
 * current zone is not one the library knows.  In the zone "Etc/UTC" they
 * give UTC values. */

/* A local value from wall-clock fields, as orbek_time_newlocaltimebyzone. */
ORBEK_API orbek_time *orbek_time_newlocaltime(int32_t year, int32_t month, int32_t day, int32_t hour,
                                              int32_t minute, int32_t second, int32_t nanosecond,
                                              int32_t isdst) ORBEK_NOEXCEPT;
/* The system's clock as a local value. */
ORBEK_API orbek_time *orbek_time_nowlocaltime(void) ORBEK_NOEXCEPT;
/* A UTC value as a local value; null for null or a local t. */
ORBEK_API orbek_time *orbek_time_utc2local(const orbek_time *t) ORBEK_NOEXCEPT;
/* The operations above that take values accept local values too: they work
 * on the value's UTC instant (two local values are counted on their own
 * dates by orbek_time_diffdays), and the adders give their result as a
 * local value of the current system zone. */

/* ======================================================================
 * JSON
 * ====================================================================== */

/* A JSON value: a separately allocated record owned by exactly one parent
 * (an object member or an array slot) or by the caller, who releases it with
 * orbek_json_free.  Containers store deep copies of what is added to them.
 * Strings are UTF-8 (NUL bytes allowed) and always followed by one NUL.  No
 * lock: a tree may be read from several threads only while none edits it. */
typedef struct orbek_json orbek_json;

/* Kind codes (orbek_json_gettype). */
#define ORBEK_JSON_STRING  1
#define ORBEK_JSON_NUMBER  2
#define ORBEK_JSON_BOOLEAN 3
#define ORBEK_JSON_NULL    4
#define ORBEK_JSON_OBJECT  5
#define ORBEK_JSON_ARRAY   6

/* Encoder flag word. */
#define ORBEK_JSON_PRETTY      0x80000000u /* indentation and line ends */
#define ORBEK_JSON_SPACES      0x40000000u /* N spaces (bits 0-7) before each level's TAB */
#define ORBEK_JSON_CR          0x20000000u /* line ends contain CR */
#define ORBEK_JSON_LF          0x10000000u /* line ends contain LF (after the CR) */
#define ORBEK_JSON_SORT        0x00100000u /* sort the top-level container in place */
#define ORBEK_JSON_SPACE_COUNT 0x000000FFu

/* Constructors: a new value owned by the caller, or null when an allocation
 * fails. */
ORBEK_API orbek_json *orbek_json_newnull(void) ORBEK_NOEXCEPT;
/* Payload 1 when flag is non-zero, else 0. */
ORBEK_API orbek_json *orbek_json_newboolean(int32_t flag) ORBEK_NOEXCEPT;
ORBEK_API orbek_json *orbek_json_newnumber(double number) ORBEK_NOEXCEPT;
/* A copy of length bytes plus a NUL.  Null for a negative length or
 * 2147483647, null bytes with a non-zero length, or bytes that are not valid
 * UTF-8; null bytes with length 0 give the empty string. */
ORBEK_API orbek_json *orbek_json_newstring(const char *bytes, int32_t length) ORBEK_NOEXCEPT;
ORBEK_API orbek_json *orbek_json_newobject(void) ORBEK_NOEXCEPT;
ORBEK_API orbek_json *orbek_json_newarray(void) ORBEK_NOEXCEPT;
/* A deep copy; null for null, an unknown kind or an allocation failure. */
ORBEK_API orbek_json *orbek_json_dup(const orbek_json *value) ORBEK_NOEXCEPT;
/* Frees a value and everything it holds; null is ignored. */
ORBEK_API void orbek_json_free(orbek_json *value) ORBEK_NOEXCEPT;

/* Queries; the value stays the caller's and nothing is copied. */
/* The kind code; -1 for null. */
ORBEK_API int32_t orbek_json_gettype(const orbek_json *value) ORBEK_NOEXCEPT;
/* A boolean's payload (0 or 1); 0 for anything else. */
ORBEK_API int32_t orbek_json_istrue(const orbek_json *value) ORBEK_NOEXCEPT;
/* A number's value; -1.0 for anything else. */
ORBEK_API double orbek_json_getnumber(const orbek_json *value) ORBEK_NOEXCEPT;
/* A string's NUL-terminated bytes, valid while the value lives; null for
 * anything else. */
ORBEK_API const char *orbek_json_getstring(const orbek_json *value) ORBEK_NOEXCEPT;
/* A string's length in bytes (NUL not counted); -1 for anything else. */
ORBEK_API int32_t orbek_json_getstringlength(const orbek_json *value) ORBEK_NOEXCEPT;
/* An array's element count; -1 for anything else. */
ORBEK_API int32_t orbek_json_getarraysize(const orbek_json *value) ORBEK_NOEXCEPT;
/* The element itself (still owned by the array); null when out of range. */
ORBEK_API orbek_json *orbek_json_getarrayitem(const orbek_json *array, int32_t index) ORBEK_NOEXCEPT;
/* The value of the LAST member whose key has exactly these bytes (still
 * owned by the object); null when none matches or the arguments are bad. */
ORBEK_API orbek_json *orbek_json_getobjectvalue(const orbek_json *object, const char *key,
                                               int32_t key_length) ORBEK_NOEXCEPT;

/* Editing: 1 on success, 0 on failure, which leaves the container as it
 * was.  The value argument is deep-copied and stays the caller's. */
/* Appends a member, even when one with this key exists.  The key must be
 * valid UTF-8 (as for orbek_json_newstring). */
ORBEK_API int32_t orbek_json_addobjectitem(orbek_json *object, const char *key, int32_t key_length,
                                           const orbek_json *value) ORBEK_NOEXCEPT;
/* Replaces the value of the FIRST member with this key (key and position
 * stay), or appends a member when none has it. */
ORBEK_API int32_t orbek_json_updateobjectitem(orbek_json *object, const char *key, int32_t key_length,
                                              const orbek_json *value) ORBEK_NOEXCEPT;
/* Removes the FIRST member with this key; 0 when none has it. */
ORBEK_API int32_t orbek_json_deleteobjectitem(orbek_json *object, const char *key,
                                              int32_t key_length) ORBEK_NOEXCEPT;
ORBEK_API int32_t orbek_json_addarrayitem(orbek_json *array, const orbek_json *value) ORBEK_NOEXCEPT;
/* Removes and frees the element; the later ones move down. */
ORBEK_API int32_t orbek_json_deletearrayitem(orbek_json *array, int32_t index) ORBEK_NOEXCEPT;

/* Called for each member: 1 continues the walk, anything else stops it. */
typedef int32_t (*orbek_json_traverse_func)(void *arg, const char *key, int32_t key_length, orbek_json *value);
/* Visits the members of one object in order (not recursively).  1 when
 * every member was visited (an empty object included); 0 when the first
 * argument is not an object, the callback is null or the walk was stopped. */
ORBEK_API int32_t orbek_json_traverse(orbek_json *object, orbek_json_traverse_func callback,
                                      void *arg) ORBEK_NOEXCEPT;

/* Writes value as UTF-8 JSON text into a new NUL-terminated buffer (release
 * it with orbek_free); *length excludes the NUL.  flags: ORBEK_JSON_* above,
 * 0 for compact text.  With ORBEK_JSON_SORT the top-level container is
 * reordered in place (and stays so even when the encoding fails).  Numbers
 * that are whole and within the int32 range are written as integers, others
 * in fixed notation with at most six decimals.  On failure nothing is
 * stored. */
ORBEK_API int32_t orbek_json_encode(orbek_json *value, uint32_t flags, char **text,
                                    int32_t *length) ORBEK_NOEXCEPT;
/* Parses exactly length bytes of JSON text (no NUL needed) into a new tree,
 * or null.  Whitespace is accepted only around a top-level array or object;
 * nesting is limited by orbek_get_recursive_level().  No JSON function
 * recurses, so a raised limit never endangers the thread's stack. */
ORBEK_API orbek_json *orbek_json_decode(const char *text, int32_t length) ORBEK_NOEXCEPT;

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

/* ======================================================================
 * Concurrency: atomics, locks, conditions, semaphores, read-write locks,
 * thread-local storage, countdown latches, threads, thread pools, queues
 * ====================================================================== */

/* Codes that functions of this section return directly (with
 * ORBEK_ERR_NULL_POINT and ORBEK_ERR_OUT_OF_MEMORY); they have no text. */
#define ORBEK_ERR_TLS_NOT_REGISTERED  0x10009u /* slot not made by orbek_tls_alloc */
#define ORBEK_ERR_QUEUE_FULL          0x1000Au /* bounded queue full */
#define ORBEK_ERR_THREAD_DETACHED     0x1000Cu /* join of a detached thread */
#define ORBEK_ERR_POOL_STOPPING       0x1000Du /* submission to a stopping pool */

/* --- Atomics on a naturally aligned 32-bit integer.  No null checks: the
 * pointer must be valid.  Each is one interlocked instruction with full
 * ordering. */

/** Increments *value atomically; returns the new value. */
ORBEK_API int32_t orbek_atomic_inc(volatile int32_t *value) ORBEK_NOEXCEPT;
/** Decrements *value atomically; returns the new value. */
ORBEK_API int32_t orbek_atomic_dec(volatile int32_t *value) ORBEK_NOEXCEPT;
/** Stores new_value atomically; returns the value it replaced. */
ORBEK_API int32_t orbek_atomic_set(volatile int32_t *value, int32_t new_value) ORBEK_NOEXCEPT;
/** Reads *value (one aligned 32-bit read, no fence). */
ORBEK_API int32_t orbek_atomic_get(volatile int32_t *value) ORBEK_NOEXCEPT;
/** Replaces *value by new_value when it equals expected, in one atomic step:
 * 1 when replaced, 0 when *value differed (it is then left alone). */
ORBEK_API int32_t orbek_cas_integer(volatile int32_t *value, int32_t expected, int32_t new_value) ORBEK_NOEXCEPT;
/** Decrements *value atomically; 1 when the result is 0, else 0. */
ORBEK_API int32_t orbek_atomic_dec_and_test(volatile int32_t *value) ORBEK_NOEXCEPT;
/** Does nothing at all; in particular it issues NO fence.  Ordering between
 * threads comes only from the atomics above and from the locks. */
ORBEK_API void orbek_memory_barrier(void) ORBEK_NOEXCEPT;

/* --- Locks: recursive (the owner may take a lock again and must unlock it
 * as many times).  Their storage comes from the runtime heap, not from the
 * allocation hooks. */
typedef struct orbek_lock orbek_lock;

/** A new unlocked lock (free it with orbek_lock_free), or null when memory
 * is short or the system refuses. */
ORBEK_API orbek_lock *orbek_lock_new(void) ORBEK_NOEXCEPT;
/** Destroys a lock that no thread holds or waits for; null is ignored. */
ORBEK_API void orbek_lock_free(orbek_lock *lock) ORBEK_NOEXCEPT;
/** Waits until the calling thread holds the lock: 1, or 0 for a null lock
 * or a system failure. */
ORBEK_API int32_t orbek_lock_lock(orbek_lock *lock) ORBEK_NOEXCEPT;
/** Releases one level of the caller's hold: 1, or 0 for a null lock. */
ORBEK_API int32_t orbek_lock_unlock(orbek_lock *lock) ORBEK_NOEXCEPT;
/** Takes the lock only if that needs no waiting: 1 when taken (also when
 * the caller already holds it), 0 when another thread holds it or the lock
 * is null. */
ORBEK_API int32_t orbek_lock_trylock(orbek_lock *lock) ORBEK_NOEXCEPT;

/* --- Counting semaphores (maximum count 2147483647). */
typedef struct orbek_semaphore orbek_semaphore;

/** A new semaphore holding initial units (free it with
 * orbek_semaphore_free); null when initial is negative or a part cannot be
 * made (nothing is left allocated). */
ORBEK_API orbek_semaphore *orbek_semaphore_new(int32_t initial) ORBEK_NOEXCEPT;
/** Takes one unit, waiting without time limit: 1; 0 when the wait fails;
 * ORBEK_ERR_NULL_POINT (not 0) for a null semaphore. */
ORBEK_API int32_t orbek_semaphore_down(orbek_semaphore *sem) ORBEK_NOEXCEPT;
/** Releases one unit: 1; 0 when the system refuses (beyond the maximum);
 * ORBEK_ERR_NULL_POINT for a null semaphore. */
ORBEK_API int32_t orbek_semaphore_up(orbek_semaphore *sem) ORBEK_NOEXCEPT;
/** Destroys a semaphore nobody waits on; null is ignored. */
ORBEK_API void orbek_semaphore_free(orbek_semaphore *sem) ORBEK_NOEXCEPT;

/* --- Condition variables.  The library picks one of two back ends at load:
 * the system's own condition variables when it has them, else an emulation
 * from an event and a lock.  The back ends differ in their results for null
 * arguments, as stated below.  There is no timed wait.  Waiting on a lock
 * held more than once by the caller does not release it for others. */
typedef struct orbek_condition orbek_condition;

/** A new condition (free it with orbek_condition_free), or null. */
ORBEK_API orbek_condition *orbek_condition_new(void) ORBEK_NOEXCEPT;
/** Releases lock (held once by the caller), waits without time limit for a
 * signal or broadcast, and takes the lock again.  1 when woken; 0 on
 * failure.  A null condition or lock gives 0 with the system back end and
 * ORBEK_ERR_NULL_POINT with the emulation.  As with any condition variable
 * the caller re-checks its predicate in a loop.  On a failure inside the
 * emulation's wait the lock may NOT be held on return. */
ORBEK_API int32_t orbek_condition_wait(orbek_condition *cond, orbek_lock *lock) ORBEK_NOEXCEPT;
/** Wakes one waiter: 1.  A null condition gives 0 (system back end) or
 * ORBEK_ERR_NULL_POINT (emulation); 0 when the emulation's lock or event
 * fails.  A signal with no waiter is not kept for a later one. */
ORBEK_API int32_t orbek_condition_signal(orbek_condition *cond) ORBEK_NOEXCEPT;
/** Wakes every waiter; results as for orbek_condition_signal. */
ORBEK_API int32_t orbek_condition_broadcast(orbek_condition *cond) ORBEK_NOEXCEPT;
/** Destroys a condition nobody waits on; null is ignored. */
ORBEK_API void orbek_condition_free(orbek_condition *cond) ORBEK_NOEXCEPT;

/* --- Read-write locks: many readers or one writer.  A writer that arrives
 * holds back every reader that arrives after it, so readers cannot starve
 * writers (but a steady stream of writers starves readers).  Not recursive:
 * a thread holding read access that asks for write access deadlocks. */
typedef struct orbek_rwlock orbek_rwlock;

/** A new unlocked read-write lock (free it with orbek_rwlock_free), or null
 * (nothing is left allocated). */
ORBEK_API orbek_rwlock *orbek_rwlock_new(void) ORBEK_NOEXCEPT;
/** Destroys a read-write lock nobody holds; null is ignored. */
ORBEK_API void orbek_rwlock_free(orbek_rwlock *lock) ORBEK_NOEXCEPT;
/** Waits for read access: 1; ORBEK_ERR_NULL_POINT for null; 0 when a wait
 * fails. */
ORBEK_API int32_t orbek_rwlock_readerlock(orbek_rwlock *lock) ORBEK_NOEXCEPT;
/** Gives read access back: 1; ORBEK_ERR_NULL_POINT for null; 0 when the
 * system refuses. */
ORBEK_API int32_t orbek_rwlock_readerunlock(orbek_rwlock *lock) ORBEK_NOEXCEPT;
/** Waits for write access: 1; ORBEK_ERR_NULL_POINT for null; 0 when a wait
 * fails. */
ORBEK_API int32_t orbek_rwlock_writerlock(orbek_rwlock *lock) ORBEK_NOEXCEPT;
/** Gives write access back: 1; ORBEK_ERR_NULL_POINT for null; 0 when the
 * system refuses. */
ORBEK_API int32_t orbek_rwlock_writerunlock(orbek_rwlock *lock) ORBEK_NOEXCEPT;

/* --- Thread-local slots with destructors.  The library remembers every
 * thread's value, so that the slot's destructor runs on it when the thread
 * ends, when the slot is freed (for every thread's value) and when the
 * library is unloaded.  Destructors run under a process-wide lock: a
 * destructor may call the orbek_tls_* functions, but must not wait for
 * another thread that uses them.  The destructor also runs on null values
 * that a thread stored. */
typedef void (*orbek_tls_destructor)(void *value);

/** Makes a slot (every thread's value starts null) and stores its index in
 * *index: 1; ORBEK_ERR_NULL_POINT when index is null; 0 when the system has
 * no free slot or memory is short.  destructor may be null. */
ORBEK_API int32_t orbek_tls_alloc(uint32_t *index, orbek_tls_destructor destructor) ORBEK_NOEXCEPT;
/** Sets the calling thread's value.  Replacing a different earlier value
 * runs the destructor on that earlier value.  1 on success; 0 when the
 * system refuses or the registry's lock fails; ORBEK_ERR_TLS_NOT_REGISTERED
 * when index was not made by orbek_tls_alloc; ORBEK_ERR_OUT_OF_MEMORY.  On
 * every failure the thread's value is left null. */
ORBEK_API int32_t orbek_tls_setvalue(uint32_t index, void *value) ORBEK_NOEXCEPT;
/** The calling thread's value, or null when it set none. */
ORBEK_API void *orbek_tls_getvalue(uint32_t index) ORBEK_NOEXCEPT;
/** Runs the destructor on every thread's recorded value, forgets the slot
 * and gives its index back to the system: 1, or 0 when the system refuses.
 * Other threads must no longer use the slot. */
ORBEK_API int32_t orbek_tls_free(uint32_t index) ORBEK_NOEXCEPT;

/* --- Countdown latches: waiters block until the count given at creation
 * has been counted down to zero; then the latch stays open. */
typedef struct orbek_countdownlatch orbek_countdownlatch;

/** A new latch (free it with orbek_countdownlatch_free), or null when count
 * is below 1 or a part cannot be made. */
ORBEK_API orbek_countdownlatch *orbek_countdownlatch_new(int32_t count) ORBEK_NOEXCEPT;
/** Counts down by one and releases every waiter when the count reaches 0
 * (further calls take it below 0 and change nothing else): 1;
 * ORBEK_ERR_NULL_POINT for null; the failing step's result otherwise. */
ORBEK_API int32_t orbek_countdownlatch_countdown(orbek_countdownlatch *latch) ORBEK_NOEXCEPT;
/** Waits until the count is 0 or below: 1; ORBEK_ERR_NULL_POINT for null;
 * the failing step's result otherwise. */
ORBEK_API int32_t orbek_countdownlatch_wait(orbek_countdownlatch *latch) ORBEK_NOEXCEPT;
/** Destroys a latch nobody waits on; null is ignored. */
ORBEK_API void orbek_countdownlatch_free(orbek_countdownlatch *latch) ORBEK_NOEXCEPT;

/* --- Threads. */
typedef struct orbek_thread orbek_thread;
/* A thread's routine: its pointer-sized result is what join gives. */
typedef void *(*orbek_thread_func)(void *arg);

/** Starts routine(arg) on a new thread.  detached non-zero: the thread
 * cannot be joined and its result is dropped.  Returns the thread object
 * (release it with orbek_thread_free, which neither waits for nor stops the
 * thread), or null when routine is null, memory is short or the system
 * cannot start a thread (nothing is left allocated). */
ORBEK_API orbek_thread *orbek_thread_create(int32_t detached, orbek_thread_func routine, void *arg) ORBEK_NOEXCEPT;
/** Waits without time limit for the thread to end and stores its routine's
 * result in *result: 1.  The result is handed out once: a second join gives
 * 1 with *result 0 (as does a result that memory was too short to keep).
 * ORBEK_ERR_NULL_POINT when either argument is null;
 * ORBEK_ERR_THREAD_DETACHED for a detached thread; 0 when the wait fails. */
ORBEK_API int32_t orbek_thread_join(orbek_thread *thread, void **result) ORBEK_NOEXCEPT;
/** Releases the thread object; null is ignored.  The thread runs on; the
 * result of a joinable thread freed unjoined is kept until the library is
 * unloaded. */
ORBEK_API void orbek_thread_free(orbek_thread *thread) ORBEK_NOEXCEPT;

/* --- Thread pools: a fixed number of workers run one task function over
 * the items callers submit, in submission order across the pool (but
 * concurrently, so in no guaranteed order of completion). */
typedef struct orbek_threadpool orbek_threadpool;
/* A pool's task function; its result is ignored. */
typedef void *(*orbek_threadpool_func)(void *item);

/** A running pool of "workers" threads calling task (stop it with
 * orbek_threadpool_stop, which also releases it), or null when workers is
 * below 1, task is null or anything cannot be made. */
ORBEK_API orbek_threadpool *orbek_threadpool_create(int32_t workers, orbek_threadpool_func task) ORBEK_NOEXCEPT;
/** Queues item (null is allowed and handed to the task as null) and wakes
 * a worker: 1; ORBEK_ERR_NULL_POINT for a null pool; ORBEK_ERR_POOL_STOPPING
 * once stop has begun; ORBEK_ERR_OUT_OF_MEMORY; 0 when the system refuses.
 * The pool does not own items: one still queued at stop is dropped without
 * the task seeing it, so the caller must be able to reclaim it. */
ORBEK_API int32_t orbek_threadpool_run(orbek_threadpool *pool, void *item) ORBEK_NOEXCEPT;
/** Stops the pool: items not yet taken are dropped (not passed to the task,
 * not released), tasks already running finish, every worker is joined and
 * the pool is released.  1; ORBEK_ERR_NULL_POINT for null; 0 when the system
 * fails (the pool is then left partly released).  Must not be called from a
 * task, and not twice. */
ORBEK_API int32_t orbek_threadpool_stop(orbek_threadpool *pool) ORBEK_NOEXCEPT;

/* --- Queues of pointer-sized items.  A queue with a duplicate function
 * stores what it returns for each item put (a null duplicate refuses the
 * item); the free function is applied to the items still held when the
 * queue is freed.  Taken items belong to the caller.  Take and peek give
 * null both for an empty queue and for a held null item. */
typedef void *(*orbek_queue_dup_func)(void *item);
typedef void (*orbek_queue_free_func)(void *item);

/* A first-in first-out ring, without a lock (one thread at a time). */
typedef struct orbek_queue orbek_queue;

/** A new empty queue (free it with orbek_queue_free): capacity >= 1 makes a
 * bounded queue of that capacity, a negative capacity an unbounded one that
 * starts with 32 slots and doubles when full.  Null for capacity 0 or when
 * memory is short.  Both functions may be null. */
ORBEK_API orbek_queue *orbek_queue_new(int32_t capacity, orbek_queue_dup_func dup_fn,
                                       orbek_queue_free_func free_fn) ORBEK_NOEXCEPT;
/** Applies the free function (when set) to the held items, oldest first,
 * then releases the queue; null is ignored. */
ORBEK_API void orbek_queue_free(orbek_queue *queue) ORBEK_NOEXCEPT;
/** 1 when the queue is empty or null, else 0. */
ORBEK_API int32_t orbek_queue_isempty(const orbek_queue *queue) ORBEK_NOEXCEPT;
/** 1 when the queue is bounded and full; 0 otherwise (also for null). */
ORBEK_API int32_t orbek_queue_isfull(const orbek_queue *queue) ORBEK_NOEXCEPT;
/** The number of held items; -1 for null. */
ORBEK_API int32_t orbek_queue_count(const orbek_queue *queue) ORBEK_NOEXCEPT;
/** Appends item (or its duplicate).  A null item is stored as null, without
 * calling the duplicate function.  1; ORBEK_ERR_NULL_POINT for a null queue;
 * ORBEK_ERR_QUEUE_FULL; ORBEK_ERR_OUT_OF_MEMORY when growth fails (the
 * queue is unchanged); 0 when the duplicate function gives null. */
ORBEK_API int32_t orbek_queue_put(orbek_queue *queue, void *item) ORBEK_NOEXCEPT;
/** Removes and returns the oldest item (the caller owns it); null when the
 * queue is null or empty. */
ORBEK_API void *orbek_queue_take(orbek_queue *queue) ORBEK_NOEXCEPT;
/** The oldest item, left in place (still owned by the queue); null when the
 * queue is null or empty. */
ORBEK_API void *orbek_queue_peek(const orbek_queue *queue) ORBEK_NOEXCEPT;

/* A queue with a lock: put waits while a bounded queue is full, take waits
 * while the queue is empty, both without time limit. */
typedef struct orbek_blockingqueue orbek_blockingqueue;

/** A new empty blocking queue, capacity as for orbek_queue_new (free it with
 * orbek_blockingqueue_free, when no thread uses it any more); null for
 * capacity 0 or when a part cannot be made (nothing is left allocated). */
ORBEK_API orbek_blockingqueue *orbek_blockingqueue_new(int32_t capacity, orbek_queue_dup_func dup_fn,
                                                       orbek_queue_free_func free_fn) ORBEK_NOEXCEPT;
/** Applies the free function (when set) to the items left, then releases the
 * queue; null is ignored. */
ORBEK_API void orbek_blockingqueue_free(orbek_blockingqueue *queue) ORBEK_NOEXCEPT;
/** Appends item (or its duplicate), waiting while a bounded queue is full,
 * and wakes one taker: 1; ORBEK_ERR_NULL_POINT when the queue or the item is
 * null (unlike orbek_queue_put, null items are refused); 0 when the lock
 * fails or the duplicate function gives null; ORBEK_ERR_OUT_OF_MEMORY when
 * growth fails; otherwise the failing wait's or signal's result. */
ORBEK_API int32_t orbek_blockingqueue_put(orbek_blockingqueue *queue, void *item) ORBEK_NOEXCEPT;
/** Removes and returns the oldest item (the caller owns it), waiting while
 * the queue is empty; null for a null queue or when the lock or a wait
 * fails. */
ORBEK_API void *orbek_blockingqueue_take(orbek_blockingqueue *queue) ORBEK_NOEXCEPT;

/* A binary heap ordered by a comparison, without a lock.  Equal items come
 * out in no guaranteed order. */
typedef struct orbek_priorityqueue orbek_priorityqueue;
/* Non-zero when a must come out before b, else 0. */
typedef int32_t (*orbek_priorityqueue_compare_func)(void *a, void *b);

/** A new empty priority queue (free it with orbek_priorityqueue_free):
 * capacity >= 1 bounded, negative unbounded (starting with 32 slots and
 * growing by a factor of 1.6).  Null for capacity 0, a null comparison or
 * when memory is short. */
ORBEK_API orbek_priorityqueue *orbek_priorityqueue_new(int32_t capacity, orbek_priorityqueue_compare_func compare,
                                                       orbek_queue_dup_func dup_fn,
                                                       orbek_queue_free_func free_fn) ORBEK_NOEXCEPT;
/** Applies the free function (when set) to the held items in heap order,
 * then releases the queue; null is ignored. */
ORBEK_API void orbek_priorityqueue_free(orbek_priorityqueue *queue) ORBEK_NOEXCEPT;
/** Stores item (or its duplicate): 1; ORBEK_ERR_NULL_POINT when the queue or
 * the item is null; ORBEK_ERR_QUEUE_FULL; ORBEK_ERR_OUT_OF_MEMORY when
 * growth fails (the queue is unchanged); 0 when the duplicate function gives
 * null. */
ORBEK_API int32_t orbek_priorityqueue_put(orbek_priorityqueue *queue, void *item) ORBEK_NOEXCEPT;
/** Removes and returns the item that must come out first (the caller owns
 * it); null when the queue is null or empty. */
ORBEK_API void *orbek_priorityqueue_take(orbek_priorityqueue *queue) ORBEK_NOEXCEPT;
/** The item that would come out first, left in place; null when the queue
 * is null or empty. */
ORBEK_API void *orbek_priorityqueue_peek(const orbek_priorityqueue *queue) ORBEK_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* ORBEK_UTIL_H */
