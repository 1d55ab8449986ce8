/**
 * @file orbek_util.h
 * @brief The public interface of the ORBEK utility library.
 *
 * Plain C (C99 and C++), one section per family.  Every object or buffer the
 * library hands out belongs to the caller and is released with its family's
 * free function; plain buffers are released with orbek_free().
 *
 * Results are 1 for success and 0 (or a null handle) for failure unless a
 * function's comment says otherwise.  Sizes, lengths and counts are signed
 * 32-bit values; negative lengths are refused.  Stream functions take an
 * error context last and append one record to it per failure; no other
 * function takes one.
 */
#ifndef ORBEK_UTIL_H
#define ORBEK_UTIL_H

#include <stddef.h>
#include <stdint.h>

/**
 * @def ORBEK_API
 * Marks the exported functions.  Define ORBEK_STATIC when linking the static
 * variant of the library.
 */
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

/**
 * @def ORBEK_NOEXCEPT
 * Every exported function is noexcept when seen from C++: nothing throws
 * across the interface.
 */
#ifdef __cplusplus
#  define ORBEK_NOEXCEPT noexcept
extern "C" {
#else
#  define ORBEK_NOEXCEPT
#endif

/* ======================================================================
 * Memory: allocation hooks and data blobs
 * ====================================================================== */

/**
 * Allocation hook: returns at least @p size bytes, or null.
 * @p file and @p line name the library source position that asks (each
 * module passes its own name, such as "ORBEK_ArrayList"); the default hook
 * ignores them and takes the memory from the runtime heap.
 */
typedef void *(*orbek_malloc_func)(int32_t size, const char *file, int32_t line);
/** Release hook: gives back a block the allocation hook handed out. */
typedef void (*orbek_free_func)(void *ptr);

/**
 * Allocates through the current allocation hook.
 *
 * The first call that reaches the hook freezes the hooks for the life of the
 * process (orbek_setallocfunc() fails from then on).
 * @param size  bytes wanted; 0 is passed on to the hook.
 * @param file  source name handed to the hook (may be null).
 * @param line  source line handed to the hook.
 * @return what the hook returns (release it with orbek_free()); null at once,
 *         without touching the hooks, for a negative size.
 */
ORBEK_API void *orbek_malloc(int32_t size, const char *file, int32_t line) ORBEK_NOEXCEPT;
/**
 * Releases a block through the current release hook.
 * @param ptr  a block from orbek_malloc() or any buffer the library handed
 *             out; null is ignored (the hook is not called).
 */
ORBEK_API void orbek_free(void *ptr) ORBEK_NOEXCEPT;
/**
 * Replaces both hooks.  Call it on one thread before anything else uses the
 * library: the hooks are plain globals.
 * @param alloc_hook  the new allocation hook.
 * @param free_hook   the new release hook.
 * @return 1; 0 with both hooks unchanged once anything has been allocated or
 *         when either argument is null.
 */
ORBEK_API int32_t orbek_setallocfunc(orbek_malloc_func alloc_hook, orbek_free_func free_hook) ORBEK_NOEXCEPT;
/** @return the current allocation hook (the default one unless replaced). */
ORBEK_API orbek_malloc_func orbek_getmallocfunc(void) ORBEK_NOEXCEPT;
/** @return the current release hook (the default one unless replaced). */
ORBEK_API orbek_free_func orbek_getfreefunc(void) ORBEK_NOEXCEPT;

/** An owned copy of bytes, released whole with orbek_data_blob_free(). */
typedef struct orbek_data_blob {
    uint8_t *data;  /**< the blob's own copy of the bytes */
    int32_t length; /**< their number */
} orbek_data_blob;

/**
 * Copies bytes into a new blob.
 * @param data    the bytes; must not be null, even for length 0.
 * @param length  their number, 0 or more.
 * @return a new blob owned by the caller (release it with
 *         orbek_data_blob_free()); null for a null data pointer, a negative
 *         length or an allocation failure.
 */
ORBEK_API orbek_data_blob *orbek_data_blob_new(const uint8_t *data, int32_t length) ORBEK_NOEXCEPT;
/**
 * Releases the bytes and the blob.
 * @param blob  a blob from the library; null is ignored.
 */
ORBEK_API void orbek_data_blob_free(orbek_data_blob *blob) ORBEK_NOEXCEPT;

/* ======================================================================
 * Error context and error codes
 * ====================================================================== */

/* General codes. */
#define ORBEK_ERR_OUT_OF_MEMORY   0x10000u /**< "Out Of Memory" */
#define ORBEK_ERR_BAD_LENGTH      0x10001u /**< "Bad Length" */
#define ORBEK_ERR_NULL_POINT      0x10002u /**< "Null Point" */
#define ORBEK_ERR_NOT_SUPPORTED   0x10003u /**< "This method not support" */
#define ORBEK_ERR_UNEXPECTED      0x10004u /**< "unexcpeted error" */
/* Stream codes. */
#define ORBEK_ERR_STREAM_READONLY         0x10100u /**< "Write a readonly stream" */
#define ORBEK_ERR_STREAM_CANNOT_GROW      0x10101u /**< "Stream cannot grow" */
#define ORBEK_ERR_STREAM_BAD              0x10102u /**< "Bad stream": no state */
#define ORBEK_ERR_STREAM_READ_PAST_END    0x10103u /**< "Read pass end of stream" */
#define ORBEK_ERR_STREAM_WRITE_FAIL       0x10104u /**< "Write stream fail" */
#define ORBEK_ERR_STREAM_BAD_POS          0x10105u /**< "pos is invalid" */
#define ORBEK_ERR_STREAM_READ_FILE        0x10106u /**< "read file fail" */
#define ORBEK_ERR_STREAM_WRITE_FILE       0x10107u /**< "write file fail" */
#define ORBEK_ERR_STREAM_FILE_CLOSED      0x10108u /**< "file already close" */
#define ORBEK_ERR_STREAM_RESET            0x10109u /**< "reset fail" */
#define ORBEK_ERR_STREAM_CLOSE_FILE       0x1010Au /**< "file close fail" */
#define ORBEK_ERR_STREAM_FILE_MODE        0x1010Bu /**< "error file mode" */
#define ORBEK_ERR_STREAM_OPEN_FILE        0x1010Cu /**< "open file fail" */
#define ORBEK_ERR_STREAM_NO_SOURCE_SINK   0x1010Du /**< "no source/sink stream": a filter without a next stream */
#define ORBEK_ERR_STREAM_LENGTH           0x1010Eu /**< "stream length error": input ended inside a group */
#define ORBEK_ERR_STREAM_HEX_DECODE       0x1010Fu /**< "hex decode fail" */
#define ORBEK_ERR_STREAM_BASE64_FLAG      0x10110u /**< "bad base64 flag" */
#define ORBEK_ERR_STREAM_BASE64_DECODE    0x10111u /**< "base64 decode fail" */
#define ORBEK_ERR_STREAM_FILE_FLUSH       0x10112u /**< "file flush fail" */
#define ORBEK_ERR_STREAM_MD_FUNCTION      0x10113u /**< "bad md function" */
#define ORBEK_ERR_STREAM_GET_LENGTH       0x10114u /**< "get stream length fail" */
#define ORBEK_ERR_STREAM_BAD_CTRL         0x10115u /**< "unsupported ctrl code" */
#define ORBEK_ERR_STREAM_PEM_DECODE       0x10116u /**< "pem decode fail" */
#define ORBEK_ERR_STREAM_MD_UPDATE        0x10117u /**< "md update fail" */
#define ORBEK_ERR_STREAM_MD_FINISH        0x10118u /**< "md finish fail" */
#define ORBEK_ERR_STREAM_CANNOT_READ      0x10119u /**< "stream can not read" */
#define ORBEK_ERR_STREAM_CANNOT_WRITE     0x1011Au /**< "stream can not write" */
#define ORBEK_ERR_STREAM_POS_DIFFER       0x1011Bu /**< "wirte pos and read pos are difference" */

/**
 * A ring of the 31 newest error records (source file, line, code and a
 * description of at most 63 characters), in one block: recording an error
 * never allocates.  No lock: one caller at a time.
 */
typedef struct orbek_err_ctx orbek_err_ctx;

/**
 * @return a new empty error context owned by the caller (release it with
 *         orbek_err_ctx_free()), or null when the allocation fails.
 */
ORBEK_API orbek_err_ctx *orbek_err_ctx_new(void) ORBEK_NOEXCEPT;
/**
 * Releases an error context (the same entry as orbek_free()).
 * @param ctx  the context; null is ignored.
 */
ORBEK_API void orbek_err_ctx_free(orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * Appends a record; when 31 are held the oldest is dropped.
 * @param ctx          the context.
 * @param file         the reporter's source name.  Only the pointer is
 *                     stored, so the text must outlive the record (a string
 *                     literal, as the library's own reporters pass).
 * @param line         the source line, 0 or more.
 * @param code         the error code.
 * @param description  the text; null stores an empty one, longer than 63
 *                     characters is cut there.
 * @return 1; 0 with nothing changed for a null ctx or file or a negative line.
 */
ORBEK_API int32_t orbek_err_ctx_put(orbek_err_ctx *ctx, const char *file, int32_t line,
                                    uint32_t code, const char *description) ORBEK_NOEXCEPT;
/**
 * Reads the newest record's code.
 * @param ctx   the context.
 * @param code  receives the code, or 1 when the context is empty.
 * @return 1; 0 when either argument is null.
 */
ORBEK_API int32_t orbek_err_ctx_geterrcode(const orbek_err_ctx *ctx, uint32_t *code) ORBEK_NOEXCEPT;
/**
 * Reads the newest record's description.
 * @param ctx          the context.
 * @param buffer       receives the text and its NUL; null only asks for the
 *                     size.  An empty context gives a single NUL.
 * @param buffer_size  the buffer's size in bytes.
 * @param length       receives the size the text needs, its NUL included
 *                     (1 for an empty context).
 * @return 1; 0 when ctx or length is null or the buffer is too small (then
 *         *length still tells the size needed).
 */
ORBEK_API int32_t orbek_err_ctx_geterrdesc(const orbek_err_ctx *ctx, char *buffer, int32_t buffer_size,
                                           int32_t *length) ORBEK_NOEXCEPT;
/**
 * Writes every record to the standard error stream, newest first, each as
 * "0X%08X %s %s(%d)\n" (code, description, file, line), or "No Error\n"
 * for an empty context.  Reading does not consume the records.
 * @param ctx  the context.
 * @return 1; 0 for a null ctx.
 */
ORBEK_API int32_t orbek_err_ctx_print(const orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * Copies every record and the ring's positions.
 * @param source       the context to copy.
 * @param destination  the context that becomes its copy.
 * @return 1; 0 when either is null.
 */
ORBEK_API int32_t orbek_err_ctx_copy(const orbek_err_ctx *source, orbek_err_ctx *destination) ORBEK_NOEXCEPT;
/**
 * Empties the context.
 * @param ctx  the context.
 * @return 1; 0 for null.
 */
ORBEK_API int32_t orbek_err_ctx_clean(orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * @param code  a general code, ORBEK_ERR_OUT_OF_MEMORY to ORBEK_ERR_UNEXPECTED.
 * @return its constant text; the empty string (never null) for any other code.
 */
ORBEK_API const char *orbek_igetGeneralError(uint32_t code) ORBEK_NOEXCEPT;
/**
 * @param code  a stream code, ORBEK_ERR_STREAM_READONLY to
 *              ORBEK_ERR_STREAM_POS_DIFFER.
 * @return its constant text; the empty string (never null) for any other code.
 */
ORBEK_API const char *orbek_igetStreamError(uint32_t code) ORBEK_NOEXCEPT;

/* ======================================================================
 * Process settings and utilities
 * ====================================================================== */

/**
 * @return "ORBEK Utility Library 2.8,Build on 2021": a constant string, not
 *         to be released.
 */
ORBEK_API const char *orbek_util_version(void) ORBEK_NOEXCEPT;

/**
 * The JSON decoder's nesting limit, read once at load from the environment
 * variable ORBEK_RECURSIVE_LEVEL (decimal).
 * @return the limit: 200 when the variable is unset, never below 8.
 */
ORBEK_API int32_t orbek_get_recursive_level(void) ORBEK_NOEXCEPT;

/**
 * The system's 148-byte version record (OSVERSIONINFOA), read once at load.
 * Outside Windows it is filled from the kernel's release ("6.1.0-13-amd64"
 * gives major 6, minor 1, build 0 and that text as service_pack) with
 * platform_id 2.
 */
typedef struct orbek_winversion {
    uint32_t size;          /**< 148 */
    uint32_t major;         /**< major version */
    uint32_t minor;         /**< minor version */
    uint32_t build;         /**< build number */
    uint32_t platform_id;   /**< 2: the Windows NT family */
    char service_pack[128]; /**< NUL-terminated service-pack text */
} orbek_winversion;

/**
 * Copies the version record.
 * @param out  receives the record.
 * @return out; null for a null out.
 */
ORBEK_API orbek_winversion *orbek_getwinversion(orbek_winversion *out) ORBEK_NOEXCEPT;
/** @return 1 when the version record's platform_id is 2, else 0. */
ORBEK_API int32_t orbek_winuseunicode(void) ORBEK_NOEXCEPT;
/** @return the number of processors the system reports, at least 1. */
ORBEK_API int32_t orbek_getcpucount(void) ORBEK_NOEXCEPT;
/**
 * @return the executable's full path as a new NUL-terminated string (release
 *         it with orbek_free()); null when the system cannot say, the path is
 *         1023 characters or longer, or the allocation fails.
 */
ORBEK_API char *orbek_getexepath(void) ORBEK_NOEXCEPT;
/**
 * @return the part of the executable's path after its last separator ('\\'
 *         on Windows, '/' elsewhere) as a new string (release it with
 *         orbek_free()); null under the same conditions as orbek_getexepath().
 */
ORBEK_API char *orbek_getexefilename(void) ORBEK_NOEXCEPT;

/**
 * Compares a key with an element: negative, 0 or positive as the key sorts
 * before, equal to or after it.
 */
typedef int32_t (*orbek_compare_func)(const void *key, const void *element);
/**
 * Binary search over an array sorted in compare order.
 * @param key      what to look for, handed to compare as its first argument.
 * @param base     the first element.
 * @param count    the number of elements.
 * @param size     the size of one element in bytes, 1 or more.
 * @param compare  the comparison.
 * @param index    when found, receives the position of the first of the
 *                 equal elements; when not, where the key would be inserted
 *                 (-1 when count <= 0).
 * @return 1 when found, 0 when not; 0 with *index untouched when key, base,
 *         compare or index is null or size < 1.
 */
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

/** The monotonic clock's code when it cannot be read. */
#define ORBEK_ERR_NO_COUNTER 0x10F00

/** Nanoseconds of the performance counter (QueryPerformanceCounter on Windows,
 * CLOCK_MONOTONIC elsewhere): counter / frequency * 1e9, computed in double
 * precision and truncated, so only differences mean anything.  Without a
 * counter, INT64_MIN, and the calling thread's last-error value becomes
 * ORBEK_ERR_NO_COUNTER. */
ORBEK_API int64_t orbek_time_getmonotonicns(void) ORBEK_NOEXCEPT;

/** A loaded module (the system's module handle). */
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

/**
 * A stream: a source/sink (memory, null) or a filter (Base64, hex) chained
 * in front of exactly one source/sink.  Writing to the first stream of a
 * chain pushes transformed bytes down to the sink; reading pulls them up
 * from the source.  Stream functions take an error context last (null
 * drops the records) and append one record per failure, whose file is the
 * reporting module's name ("ORBEK_Stream", "ORBEK_Stream_Mem",
 * "ORBEK_Stream_Base64", ...) and whose description is the code's text.
 * No lock: a chain belongs to one thread at a time.
 */
/* A stream: a source/sink (memory, file, null) or a filter (Base64, hex,
 * digest, HMAC) chained in front of exactly one source/sink.  Writing to
 * the first stream of a chain pushes transformed bytes down to the sink;
 * reading pulls them up from the source.  Stream functions take an error
 * context last (null drops the records) and append one record per
 * failure. */
typedef struct orbek_stream orbek_stream;

/* Type codes: the filter bit, the source/sink bit and the kinds. */
#define ORBEK_STREAM_FILTER       0x10000 /**< class bit of every filter */
#define ORBEK_STREAM_SOURCE_SINK  0x20000 /**< class bit of every source/sink */
#define ORBEK_STREAM_TYPE_MD      0x10003 /**< message-digest filter */
#define ORBEK_STREAM_TYPE_HEX     0x10004 /**< hex filter */
#define ORBEK_STREAM_TYPE_BASE64  0x10005 /**< Base64 filter */
#define ORBEK_STREAM_TYPE_HMAC    0x10007 /**< HMAC filter */
#define ORBEK_STREAM_TYPE_MEM     0x20001 /**< memory source/sink (all three variants) */
#define ORBEK_STREAM_TYPE_FILE    0x20002 /**< file source/sink */
#define ORBEK_STREAM_TYPE_NULL    0x20006 /**< null sink */

/* Control codes; the argument points to an int32_t unless noted.  A filter
 * forwards the codes it does not handle; a source/sink answers them with
 * ORBEK_ERR_STREAM_BAD_CTRL. */
#define ORBEK_CTRL_RESET          1   /**< read and write positions to 0 */
#define ORBEK_CTRL_LENGTH         2   /**< store the length (or bytes not yet read) */
#define ORBEK_CTRL_MD_LENGTH      3   /**< store the digest length */
#define ORBEK_CTRL_MD_FINISH      4   /**< finish the digest into the buffer given */
#define ORBEK_CTRL_MD_BLOCK       5   /**< store the digest's block value */
#define ORBEK_CTRL_FLUSH          6   /**< write out what is held back, then forward */
#define ORBEK_CTRL_GET_POS        7   /**< store the position */
#define ORBEK_CTRL_SET_POS        8   /**< set the position (0 <= v < length) */
#define ORBEK_CTRL_CLOSE          9   /**< close the file */
#define ORBEK_CTRL_REOPEN         10  /**< reopen the file with the access mode given */
#define ORBEK_CTRL_AT_END         11  /**< 1 when everything is consumed, 0 otherwise (no record) */
#define ORBEK_CTRL_HMAC_FINISH    12  /**< finish the HMAC into the buffer given */
#define ORBEK_CTRL_GET_READ_POS   15  /**< store the read position */
#define ORBEK_CTRL_GET_WRITE_POS  16  /**< store the write position */
#define ORBEK_CTRL_SET_READ_POS   17  /**< set the read position */
#define ORBEK_CTRL_SET_WRITE_POS  18  /**< set the write position */
#define ORBEK_CTRL_RESERVE        19  /**< room for *arg more bytes (a hint: 0 without a record) */
#define ORBEK_CTRL_BASE64_FINISH  20  /**< argument: orbek_data_blob **, receives the last decoded bytes */
/* Control codes; the argument points to an int32_t unless noted. */
#define ORBEK_CTRL_RESET          1   /* read and write positions to 0 */
#define ORBEK_CTRL_LENGTH         2   /* store the length (or bytes not yet read) */
#define ORBEK_CTRL_MD_LENGTH      3   /* the digest length */
#define ORBEK_CTRL_MD_FINISH      4   /* argument: uint8_t buffer of the digest length */
#define ORBEK_CTRL_MD_ALGORITHM   5   /**< the digest table's algorithm value */
#define ORBEK_CTRL_FLUSH          6   /* write out what is held back, then forward */
#define ORBEK_CTRL_GET_POS        7
#define ORBEK_CTRL_SET_POS        8
#define ORBEK_CTRL_CLOSE          9
#define ORBEK_CTRL_REOPEN         10
#define ORBEK_CTRL_AT_END         11  /* 1 when everything is consumed, 0 otherwise */
#define ORBEK_CTRL_HMAC_FINISH    12  /* argument: uint8_t buffer of the digest length */
#define ORBEK_CTRL_GET_READ_POS   15
#define ORBEK_CTRL_GET_WRITE_POS  16
#define ORBEK_CTRL_SET_READ_POS   17
#define ORBEK_CTRL_SET_WRITE_POS  18
#define ORBEK_CTRL_RESERVE        19  /* room for *arg more bytes */
#define ORBEK_CTRL_BASE64_FINISH  20  /* argument: orbek_data_blob ** */

/**
 * Reads through the stream's read operation.
 * @param stream  the first stream of a chain (or an unchained source).
 * @param buffer  receives up to length bytes.
 * @param length  bytes wanted, 0 or more.
 * @param count   receives the number delivered (may be null); 0 with
 *                result 1 means the source is exhausted.
 * @param ctx     error context, or null.
 * @return the operation's result: 1 on success, 0 on failure with a record
 *         appended.  Records here: ORBEK_ERR_NULL_POINT for a null stream,
 *         ORBEK_ERR_NOT_SUPPORTED when the kind cannot read (the null sink).
 */
ORBEK_API int32_t orbek_stream_read(orbek_stream *stream, uint8_t *buffer, int32_t length, int32_t *count,
                                    orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * Writes through the stream's write operation; every kind takes all the
 * bytes or fails.
 * @param stream  the first stream of a chain (or an unchained sink).
 * @param buffer  the bytes.
 * @param length  their number, 0 or more.
 * @param count   receives the number taken (may be null).
 * @param ctx     error context, or null.
 * @return the operation's result: 1, or 0 with a record appended
 *         (ORBEK_ERR_NULL_POINT for a null stream, ORBEK_ERR_NOT_SUPPORTED
 *         without a write operation, the kind's own codes otherwise, such as
 *         ORBEK_ERR_STREAM_READONLY or ORBEK_ERR_STREAM_CANNOT_GROW).
 */
ORBEK_API int32_t orbek_stream_write(orbek_stream *stream, const uint8_t *buffer, int32_t length, int32_t *count,
                                     orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * Sends a control code (ORBEK_CTRL_*) down the chain.
 * @param stream    the first stream of a chain.
 * @param code      the control code.
 * @param argument  the code's argument (usually an int32_t *).
 * @param ctx       error context, or null.
 * @return the answer: 1, or 0 with a record (ORBEK_ERR_NULL_POINT,
 *         ORBEK_ERR_NOT_SUPPORTED, ORBEK_ERR_STREAM_BAD_CTRL for a code the
 *         sink does not handle, ORBEK_ERR_STREAM_BAD_POS, ...); the queries
 *         ORBEK_CTRL_AT_END and ORBEK_CTRL_RESERVE answer 0 without a record.
 */
ORBEK_API int32_t orbek_stream_ctrl(orbek_stream *stream, int32_t code, void *argument,
                                    orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * Writes exactly length bytes, calling write until all are taken.
 * @param stream  the first stream of a chain.
 * @param buffer  the bytes.
 * @param length  their number; 0 returns 1 at once.
 * @param ctx     error context, or null.
 * @return 1; 0 with ORBEK_ERR_NULL_POINT (null stream),
 *         ORBEK_ERR_NOT_SUPPORTED (no write operation) or
 *         ORBEK_ERR_BAD_LENGTH (negative length); a failing write's result
 *         is handed back unchanged, with the record the write appended.
 */
ORBEK_API int32_t orbek_stream_writen(orbek_stream *stream, const uint8_t *buffer, int32_t length,
                                      orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * Reads exactly length bytes, calling read until they have come.
 * @param stream  the first stream of a chain.
 * @param buffer  receives the bytes.
 * @param length  their number; 0 returns 1 at once.
 * @param ctx     error context, or null.
 * @return 1; 0 with the records of orbek_stream_writen(), and
 *         ORBEK_ERR_BAD_LENGTH when the source ends first (the bytes that
 *         came are in the buffer); a failing read's result is handed back.
 */
ORBEK_API int32_t orbek_stream_readn(orbek_stream *stream, uint8_t *buffer, int32_t length,
                                     orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * Copies everything source holds into destination.  A memory source without
 * separate positions gives its whole content whatever its read position;
 * any other source is reset first and read to its end in chunks of 8192.
 * @param destination  the stream written to.
 * @param source       the stream read from.
 * @param total        receives the number of bytes copied (may be null).
 * @param ctx          error context, or null.
 * @return 1; 0 with ORBEK_ERR_NULL_POINT when either stream is null;
 *         otherwise a failing reset, write or end check hands back its own
 *         result and record.  What was written before a failure stays.
 */
/* Copies everything source holds into destination; *total (if given)
 * receives the number of bytes copied.  A plain memory source gives its
 * whole content (whatever its position); other sources are reset and read
 * to their end (control 11 must then answer 1, else that answer is
 * returned).  When the source sits in the destination's own chain (or
 * shares a memory buffer with it) its bytes are first copied aside, so the
 * result is that of copying them as they stood when the call began; that
 * copy may fail with "Out Of Memory". */
ORBEK_API int32_t orbek_stream_writefromstream(orbek_stream *destination, orbek_stream *source, int32_t *total,
                                               orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * Puts a filter in front of a chain.  Build chains from the sink outwards.
 * @param filter  an unchained filter.
 * @param rest    the first stream of a chain that ends in exactly one
 *                source/sink (or a source/sink itself).
 * @return 1; 0 with nothing changed when either is null, filter is not an
 *         unchained filter, rest has a previous stream or the chain from
 *         rest holds no source/sink or goes on after it.  No error context.
 */
ORBEK_API int32_t orbek_stream_push(orbek_stream *filter, orbek_stream *rest) ORBEK_NOEXCEPT;
/**
 * Unlinks the first stream of a chain from the rest.
 * @param stream  the first stream of a chain.
 * @return the rest (now the first stream of its own chain); null with
 *         nothing changed when stream is null, not first or has no next.
 */
ORBEK_API orbek_stream *orbek_stream_pop(orbek_stream *stream) ORBEK_NOEXCEPT;
/**
 * @param stream  a stream, or null.
 * @return the stream after it in its chain, or null.
 */
ORBEK_API orbek_stream *orbek_stream_next(orbek_stream *stream) ORBEK_NOEXCEPT;
/**
 * Finds a stream of a type in a chain, walking towards the sink.
 * @param stream  a member of the chain.
 * @param where   1 to start at the chain's first stream, 2 at this one, 3 at
 *                the one after it.
 * @param type    a type code, or exactly ORBEK_STREAM_FILTER or
 *                ORBEK_STREAM_SOURCE_SINK to match the class.
 * @return the first match (still part of the chain), or null; null also for
 *         any other where.
 */
ORBEK_API orbek_stream *orbek_stream_find_type(orbek_stream *stream, int32_t where, int32_t type) ORBEK_NOEXCEPT;
/**
 * Releases one stream without unlinking it: use it for unchained streams
 * only (orbek_stream_freeall() releases chains).
 * @param stream  the stream; null is ignored.
 */
ORBEK_API void orbek_stream_free(orbek_stream *stream) ORBEK_NOEXCEPT;
/**
 * Releases the whole chain the stream belongs to.
 * @param stream  any member of the chain; null is ignored.
 */
ORBEK_API void orbek_stream_freeall(orbek_stream *stream) ORBEK_NOEXCEPT;
/**
 * @param stream  a stream, or null.
 * @return its type code (ORBEK_STREAM_TYPE_*); -1 for null.
 */
ORBEK_API int32_t orbek_stream_gettype(const orbek_stream *stream) ORBEK_NOEXCEPT;
/**
 * Writes the listing of an error context into a stream, newest first, each
 * record as "0X%08X %512s %64s(%d)\n" (the description right-aligned in 512
 * columns, the file in 64), or "No Error\n" for an empty context.  The
 * writes report into a private context, so ctx is never changed.
 * @param stream  where the listing goes.
 * @param ctx     the context listed.
 * @param code    on failure receives the failing write's error code (1 when
 *                it recorded none), ORBEK_ERR_STREAM_BAD for a null stream
 *                and ORBEK_ERR_NULL_POINT for a null ctx; may be null.
 * @return 1; 0 or the failing write's result otherwise.
 */
ORBEK_API int32_t orbek_err_ctx_output(orbek_stream *stream, const orbek_err_ctx *ctx,
                                       uint32_t *code) ORBEK_NOEXCEPT;

/**
 * A growable memory source/sink.  Writes past the capacity grow the buffer
 * (at least doubling it); reads and writes share one position.
 * @param capacity  initial capacity in bytes; 0 means 4096; rounded up to a
 *                  multiple of 8.
 * @param ctx       error context, or null.
 * @return a new unchained stream owned by the caller; null with
 *         ORBEK_ERR_BAD_LENGTH (negative capacity) or
 *         ORBEK_ERR_OUT_OF_MEMORY.
 */
ORBEK_API orbek_stream *orbek_stream_new_mem(int32_t capacity, orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * A read-only memory source; writes fail with ORBEK_ERR_STREAM_READONLY.
 * @param data    the bytes (may be null only with length 0).
 * @param length  their number.
 * @param copy    non-zero: the stream keeps a private copy; 0: it reads the
 *                caller's bytes in place, which must then outlive it.
 * @param ctx     error context, or null.
 * @return a new stream; null with ORBEK_ERR_BAD_LENGTH (negative length),
 *         ORBEK_ERR_NULL_POINT (null data with a positive length) or
 *         ORBEK_ERR_OUT_OF_MEMORY.
 */
ORBEK_API orbek_stream *orbek_stream_new_romem(const uint8_t *data, int32_t length, int32_t copy,
                                               orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * A memory stream with separate read and write positions: a byte queue that
 * moves its unread bytes to the front before it grows.  ORBEK_CTRL_LENGTH
 * gives the bytes not yet read.
 * @param capacity  as for orbek_stream_new_mem().
 * @param ctx       error context, or null.
 * @return a new stream; null as for orbek_stream_new_mem().
 */
ORBEK_API orbek_stream *orbek_stream_new_rwspecmem(int32_t capacity, orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * Hands a memory stream's buffer to the caller.  No error context.
 *
 * @warning The stream keeps using the buffer in place afterwards: it still
 * accepts writes that fit (ORBEK_ERR_STREAM_CANNOT_GROW beyond them) and no
 * longer releases the buffer.  Free the buffer only after the stream.
 * @param stream  a memory stream without separate positions.
 * @param data    receives the buffer (release it with orbek_free()).
 * @param length  receives the content length.
 * @return 1; 0 with nothing stored for any other stream, a null out pointer,
 *         or a buffer the stream does not own (a view, or one handed out
 *         before).
 * Hands a memory stream's buffer and content length out through *data and
 * *length and sets the stream's flags to exactly "buffer not owned": the
 * stream keeps using the buffer in place, writable (even if it was
 * read-only) but unable to grow ("Stream cannot grow"), and never releases
 * it.  No error context; 1, or 0 for a stream that is not a memory stream
 * with state, one with separate positions, or a null out pointer.
 * Ownership: the caller owns what it was given once and releases it with
 * orbek_free, after the stream (or stops using the stream first).  Calling
 * again is allowed and hands out the same buffer with its current length
 * (for reading the new length after writing in place): release it once
 * only.  A read-only copy hands over its copy.  A view
 * (orbek_stream_new_romem without copy, orbek_memstream_dup_readonly) hands
 * back the buffer it views, which was always the caller's or its source
 * stream's: never release that one through this call.
 * Hazard: the detached stream accepts writes in place, so a former view
 * writes into the buffer it views, even one the caller meant as constant.
 */
ORBEK_API int32_t orbek_memstreamdeatch(orbek_stream *stream, uint8_t **data, int32_t *length) ORBEK_NOEXCEPT;
/**
 * A read-only view of an unchained memory stream's current content.  No
 * error context.
 * @warning The view shares the buffer: the source stream must outlive it and
 * must not grow while it is used.
 * @param stream  an unchained memory stream without separate positions.
 * @return a new stream owned by the caller; null for any other stream or an
 *         allocation failure.
 */
ORBEK_API orbek_stream *orbek_memstream_dup_readonly(orbek_stream *stream) ORBEK_NOEXCEPT;
/**
 * A sink that discards everything it is given; reads fail with
 * ORBEK_ERR_NOT_SUPPORTED.
 * @param ctx  error context, or null.
 * @return a new stream; null with ORBEK_ERR_OUT_OF_MEMORY.
 */
ORBEK_API orbek_stream *orbek_stream_new_null(orbek_err_ctx *ctx) ORBEK_NOEXCEPT;

/* Base64 flags.  Encoding: line-break mode 1 CR, 2 CRLF, 3 LF, 4 none.
 * Decoding: tolerance 1 strict, 2 skips CR/LF, 3 also skips TAB/SPACE. */
#define ORBEK_B64_CR          1     /**< encoding: lines end with CR */
#define ORBEK_B64_CRLF        2     /**< encoding: lines end with CR LF */
#define ORBEK_B64_LF          3     /**< encoding: lines end with LF */
#define ORBEK_B64_NO_BREAKS   4     /**< encoding: one line, no line end */
#define ORBEK_B64_STRICT      1     /**< decoding: alphabet and '=' only */
#define ORBEK_B64_SKIP_BREAKS 2     /**< decoding: CR and LF are skipped */
#define ORBEK_B64_SKIP_BLANKS 3     /**< decoding: CR, LF, TAB and SPACE are skipped */
#define ORBEK_B64_NO_PAD      0x80u /**< no '=' padding (either direction) */
#define ORBEK_B64_URL         0x100u /**< the URL-safe alphabet ('-' and '_') */

/**
 * A Base64 filter: encodes what is written to it, decodes what is read
 * through it.  Send ORBEK_CTRL_FLUSH after the last write to emit the final
 * group.  Decoding failures are sticky: every later read fails with
 * ORBEK_ERR_STREAM_BASE64_DECODE.
 *
 * Lines hold whole groups of 4 characters: a line ends once it reaches or
 * passes the width, after the width has been raised by its remainder
 * modulo 4.  Widths 64 and 76 give lines of 64 and 76 characters, 65 and 66
 * give 68, 67 gives 72.
 * @param encoding_flags  line-break mode ORBEK_B64_CR .. ORBEK_B64_NO_BREAKS,
 *                        optionally with ORBEK_B64_NO_PAD and ORBEK_B64_URL.
 * @param line_width      characters per line; below 1 means 64.
 * @param decoding_flags  tolerance ORBEK_B64_STRICT .. ORBEK_B64_SKIP_BLANKS,
 *                        optionally with ORBEK_B64_NO_PAD and ORBEK_B64_URL.
 * @param ctx             error context, or null.
 * @return a new unchained filter; null with ORBEK_ERR_STREAM_BASE64_FLAG
 *         (a mode or tolerance out of range) or ORBEK_ERR_OUT_OF_MEMORY.
 */
ORBEK_API orbek_stream *orbek_stream_new_base64(uint32_t encoding_flags, int32_t line_width,
                                                uint32_t decoding_flags, orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * Base64-encodes a buffer in one call (lines of 64).  No error context.
 * @param flags        encoding flags as for orbek_stream_new_base64().
 * @param data         the bytes (not null).
 * @param length       their number, 1 or more.
 * @param text         receives a new NUL-terminated text (release it with
 *                     orbek_free()).
 * @param text_length  receives its length without the NUL.
 * @return 1; 0 for bad arguments or flags, or an allocation failure.
 */
ORBEK_API int32_t orbek_base64encode(uint32_t flags, const uint8_t *data, int32_t length, char **text,
                                     int32_t *text_length) ORBEK_NOEXCEPT;
/**
 * Base64-decodes a text in one call.  No error context.
 * @param flags        decoding flags as for orbek_stream_new_base64().
 * @param text         the text (not null).
 * @param length       its length, 1 or more.
 * @param data         receives a new buffer with the bytes (release it with
 *                     orbek_free()).
 * @param data_length  receives their number.
 * @return 1; 0 for bad arguments or flags, invalid or incomplete input, or an
 *         allocation failure.
 */
ORBEK_API int32_t orbek_base64decode(uint32_t flags, const char *text, int32_t length, uint8_t **data,
                                     int32_t *data_length) ORBEK_NOEXCEPT;
/**
 * Writes bytes as a PEM block: "-----BEGIN LABEL-----", CRLF lines of 64
 * Base64 characters, "-----END LABEL-----", each line ending in CR LF.
 * No error context.
 * @param label        the label (not null or empty).
 * @param data         the bytes (not null).
 * @param length       their number, 1 or more.
 * @param text         receives a new NUL-terminated text (release it with
 *                     orbek_free()).
 * @param text_length  receives its length without the NUL.
 * @return 1; 0 for bad arguments or an allocation failure.
 */
ORBEK_API int32_t orbek_pemencode(const char *label, const uint8_t *data, int32_t length, char **text,
                                  int32_t *text_length) ORBEK_NOEXCEPT;
/**
 * Reads the bytes of a PEM block with the given label.  Nothing but dashes
 * may precede the BEGIN line; the body may hold CR and LF but no blanks.
 * No error context.
 * @param label        the label expected (not null or empty).
 * @param text         the text (not null); it ends with '-', CR or LF,
 *                     optionally followed by one NUL.
 * @param length       its length.
 * @param data         receives a new buffer with the bytes (release it with
 *                     orbek_free()).
 * @param data_length  receives their number.
 * @return 1; 0 for bad arguments, a malformed block, another label, an
 *         empty body, invalid Base64 or an allocation failure.
 */
ORBEK_API int32_t orbek_pemdecode(const char *label, const char *text, int32_t length, uint8_t **data,
                                  int32_t *data_length) ORBEK_NOEXCEPT;

/**
 * A hex filter: writes two digits per byte written to it, turns pairs of
 * digits (either case) read through it back into bytes.  Decoding failures
 * are sticky: every later read and control fails with
 * ORBEK_ERR_STREAM_HEX_DECODE.
 * @param upper  non-zero for upper-case digits.
 * @param ctx    error context, or null.
 * @return a new unchained filter; null with ORBEK_ERR_OUT_OF_MEMORY.
 */
ORBEK_API orbek_stream *orbek_stream_new_hex(int32_t upper, orbek_err_ctx *ctx) ORBEK_NOEXCEPT;
/**
 * Writes bytes as hexadecimal digits in one call.  No error context.
 * @param upper        non-zero for upper-case digits.
 * @param data         the bytes (not null).
 * @param length       their number, 1 or more.
 * @param text         receives a new NUL-terminated text of 2 x length
 *                     digits (release it with orbek_free()).
 * @param text_length  receives 2 x length (stored even when the allocation
 *                     then fails).
 * @return 1; 0 for bad arguments or an allocation failure.
 */
ORBEK_API int32_t orbek_hexencode(int32_t upper, const uint8_t *data, int32_t length, char **text,
                                  int32_t *text_length) ORBEK_NOEXCEPT;
/**
 * Turns hexadecimal digits (either case) into bytes in one call.  No error
 * context.
 * @param text         the digits (not null).
 * @param length       their number, even and 1 or more.
 * @param data         receives a new buffer of length / 2 bytes (release it
 *                     with orbek_free()).
 * @param data_length  receives length / 2.
 * @return 1; 0 for bad arguments, an odd length, an invalid digit or an
 *         allocation failure (nothing is left allocated).
 */
ORBEK_API int32_t orbek_hexdecode(const char *text, int32_t length, uint8_t **data,
                                  int32_t *data_length) ORBEK_NOEXCEPT;

/* File streams: access modes of orbek_stream_new_file and control 10. */
#define ORBEK_FILE_READ    1  /**< "rb" */
#define ORBEK_FILE_WRITE   2  /**< "wb": created or truncated */
#define ORBEK_FILE_APPEND  3  /**< "ab" */

/**
 * A source/sink over the file at path (a narrow string in the system's
 * encoding; the stream keeps a copy for reopening), opened through the C
 * runtime's buffered files in byte mode.  Returns a new stream (release
 * with orbek_stream_free or orbek_stream_freeall, which close the file), or
 * null with a record: "Null Point" (0x10002) for a null path, "error file
 * mode" (0x1010B) for a mode other than 1 to 3, "open file fail" (0x1010C)
 * when the file cannot be opened, "Out Of Memory" (0x10000).  Nothing is
 * opened (so nothing truncated) when an allocation fails.
 *
 * Read: "stream can not read" (0x10119) unless opened to read; a read that
 * delivers nothing fails with "read file fail" (0x10106), the end of the
 * file included (a read of length 0 too): the end shows as a failing read
 * after which control 11 answers 1, which orbek_stream_writefromstream and
 * the filters accept as the end (the record stays in the context).  Write:
 * "stream can not write" (0x1011A) in read mode, "write file fail"
 * (0x10107).  Either on a closed file: "file already close" (0x10108).
 * Controls: 1 seek to the start ("reset fail" 0x10109); 2 length, the
 * position kept (0x10109 when seeking fails, "get stream length fail"
 * 0x10114 beyond 2^31 - 1 bytes); 6 flush ("file flush fail" 0x10112; 1
 * on a closed file); 7 position and 8 set position ("pos is invalid"
 * 0x10105 for a negative value, a failing seek, or a position beyond
 * 2^31 - 1); 9 close ("file close fail" 0x1010A, closed either way); 10
 * reopen with the mode *argument points to, closing first: from read to
 * write the content is kept and writing starts at the start, otherwise
 * write truncates; 0x1010B, or 0x1010C leaving the stream closed; 11 at
 * end (the end-of-file indicator; 0 when closed), no record.  Controls 1,
 * 2, 7, 8 and 9 on a closed file give 0x10108; others "unsupported ctrl
 * code" (0x10115).  Reads, writes and appends work beyond 4 GiB; only the
 * 32-bit controls are limited.
 */
ORBEK_API orbek_stream *orbek_stream_new_file(const char *path, int32_t mode, orbek_err_ctx *ctx) ORBEK_NOEXCEPT;

/** A caller-supplied hash: nine functions in this order.  The library holds
 * no hash algorithm; the digest and HMAC streams copy the table, so it need
 * not outlive them.  Slots 0 to 7 are required, dup_context only for
 * orbek_stream_md_dup. */
typedef struct orbek_md_table {
    void *(*new_context)(void);                 /**< null on failure */
    void (*free_context)(void *context);        /**< releases a context */
    int32_t (*digest_length)(void);             /**< L, in bytes */
    uint32_t (*algorithm)(void);                /**< handed out by control 5, not interpreted */
    int32_t (*init)(void *context);             /**< result ignored */
    int32_t (*update)(void *context, const uint8_t *data, int32_t length); /**< 1 on success */
    int32_t (*finish)(void *context, uint8_t *digest); /**< writes L bytes; 1 on success */
    int32_t (*block_length)(void);              /**< B, in bytes (HMAC) */
    void *(*dup_context)(void *context);        /**< a copy, or null */
} orbek_md_table;

/**
 * Digest filter: every byte written passes to the next stream with one
 * orbek_stream_write and the bytes it took are hashed ("md update fail"
 * 0x10117 when update fails; they have reached the next stream by then).
 * Reads pass up unhashed.  Push it onto a chain that ends in a sink (a null
 * stream when only the digest is wanted), write, then control 4 with a
 * buffer of the digest length; control 3 gives the length, 5 the table's
 * algorithm value; other codes go to the next stream.  Finishing consumes
 * the hash context: what later writes do is the table's affair.
 * Returns a new unchained stream (release with orbek_stream_free or
 * orbek_stream_freeall), or null with a record: "Null Point" (0x10002) for
 * a null table, "bad md function" (0x10113) for a missing slot 0 to 7 or a
 * digest length below 1, "Out Of Memory" (0x10000), a null new context
 * included.  Without a next stream every call fails with "no source/sink
 * stream" (0x1010D); control 4 fails with "md finish fail" (0x10118).
 */
ORBEK_API orbek_stream *orbek_stream_new_md(const orbek_md_table *table, orbek_err_ctx *ctx) ORBEK_NOEXCEPT;

/**
 * HMAC filter (RFC 2104) over the table's hash with key (key_length bytes,
 * copied; a key longer than the block length is hashed first).  Used like
 * the digest filter; control 12 with a buffer of the digest length finishes
 * the MAC and answers 1, or 0 when no MAC was produced (records appended:
 * "Out Of Memory", "md finish fail" 0x10118, or those of the outer hash);
 * controls 3 and 5 as for the digest filter, others go to the next stream.
 * Returns a new unchained stream, or null with a record: "Null Point" for
 * a null table or key, "bad md function" (0x10113) for a missing slot 0 to
 * 7 or a block length below the digest length, "Bad Length" (0x10001) for
 * a key_length below 1, "Out Of Memory" (0x10000), "md update fail"
 * (0x10117) when the padded key is refused.
 */
ORBEK_API orbek_stream *orbek_stream_new_hmac(const orbek_md_table *table, const uint8_t *key, int32_t key_length,
                                              orbek_err_ctx *ctx) ORBEK_NOEXCEPT;

/**
 * A snapshot of a digest stream: a new, unchained digest stream with a
 * duplicate of the hash context, so that a prefix can be finished while
 * hashing goes on.  No error context: null when stream is not a digest
 * stream with state, the table has no dup_context, or anything fails.
 * Release the result with orbek_stream_free (or push it onto a chain).
 */
ORBEK_API orbek_stream *orbek_stream_md_dup(orbek_stream *stream) ORBEK_NOEXCEPT;

/* ======================================================================
 * Unicode strings
 * ====================================================================== */

/**
 * An immutable, reference-counted Unicode string held as well-formed UTF-16.
 * Every constructor gives a new string with reference count 1, or null for
 * invalid input or allocation failure (never a partial result, never a
 * replacement character).  U+0000 is an ordinary character.  Constructors
 * that take (data, length): a null pointer with length 0 gives the empty
 * string, a null pointer with any other length or a negative length null.
 * A string may be read from several threads at once.
 */
typedef struct orbek_ustring orbek_ustring;

/**
 * Releases one reference; the string goes with the last one.
 * @param s  the string; null is ignored.
 */
ORBEK_API void orbek_ustring_free(orbek_ustring *s) ORBEK_NOEXCEPT;
/**
 * Adds a reference (no copy); release it with orbek_ustring_free().
 * @param s  the string.
 * @return s itself; null for null.
 */
ORBEK_API orbek_ustring *orbek_ustring_dup(orbek_ustring *s) ORBEK_NOEXCEPT;
/**
 * @param s  the string.
 * @return the number of code points in s; 0 for null.
 */
ORBEK_API int32_t orbek_ustring_getcharcount(const orbek_ustring *s) ORBEK_NOEXCEPT;

/**
 * A string from 0-terminated UTF-16 in native order.
 * @param text  the units; null gives the empty string.
 * @return a new string, or null for a lone surrogate or an allocation failure.
 */
ORBEK_API orbek_ustring *orbek_ustring_new(const uint16_t *text) ORBEK_NOEXCEPT;
/**
 * As orbek_ustring_new(), except that null text gives null.
 * @param text  0-terminated native UTF-16.
 * @return a new string, or null.
 */
ORBEK_API orbek_ustring *orbek_ustring_newwcs(const uint16_t *text) ORBEK_NOEXCEPT;
/**
 * A string from counted UTF-16 units in native order.
 * @param units  the units.
 * @param count  their number.
 * @return a new string; null for a lone surrogate or an allocation failure.
 */
ORBEK_API orbek_ustring *orbek_ustring_newlength(const uint16_t *units, int32_t count) ORBEK_NOEXCEPT;
/**
 * A string from strict UTF-8.  A byte-order mark is kept as U+FEFF.
 * @param bytes  the UTF-8 bytes.
 * @param len    their number.
 * @return a new string; null for overlong forms, encoded surrogates, values
 *         above U+10FFFF, truncated sequences or an allocation failure.
 */
ORBEK_API orbek_ustring *orbek_ustring_newutf8(const uint8_t *bytes, int32_t len) ORBEK_NOEXCEPT;
/**
 * A string from big-endian UCS-2.
 * @param bytes  the bytes.
 * @param len    their number, even.
 * @return a new string; null for an odd length, a surrogate unit or an
 *         allocation failure.
 */
ORBEK_API orbek_ustring *orbek_ustring_newbmp(const uint8_t *bytes, int32_t len) ORBEK_NOEXCEPT;
/**
 * A string from big-endian UTF-32.
 * @param bytes  the bytes.
 * @param len    their number, a multiple of 4.
 * @return a new string; null for another length, a value that is not a
 *         Unicode scalar value or an allocation failure.
 */
ORBEK_API orbek_ustring *orbek_ustring_newutf32be(const uint8_t *bytes, int32_t len) ORBEK_NOEXCEPT;
/**
 * A string from native 32-bit code points.
 * @param values  the code points.
 * @param count   their number.
 * @return a new string; null for a value that is not a Unicode scalar value
 *         or an allocation failure.
 */
ORBEK_API orbek_ustring *orbek_ustring_newutf32(const uint32_t *values, int32_t count) ORBEK_NOEXCEPT;
/**
 * A string from 7-bit ASCII.
 * @param bytes  the bytes.
 * @param len    their number.
 * @return a new string; null for a byte above 0x7F or an allocation failure.
 */
ORBEK_API orbek_ustring *orbek_ustring_newascii(const uint8_t *bytes, int32_t len) ORBEK_NOEXCEPT;
/**
 * A string from a BSTR; its byte length decides, so embedded 0 units survive.
 * @param bstr  the BSTR; null gives the empty string.
 * @return a new string; null for an odd byte length, a lone surrogate or an
 *         allocation failure.
 */
ORBEK_API orbek_ustring *orbek_ustring_newbstr(const uint16_t *bstr) ORBEK_NOEXCEPT;

/* Encoders: 1 on success with a new buffer in *out (released with
 * orbek_free) and its length in *len, the terminator not counted; 0 for a
 * null string or out-parameter or on failure, with *out set to null and
 * *len to 0 when both out-parameters were given. */
/**
 * UTF-8 without a byte-order mark, then a 0 byte.
 * @param s      the string.
 * @param bytes  receives a new buffer (release it with orbek_free()).
 * @param len    receives its length in bytes without the 0.
 * @return 1; 0 for a null argument or an allocation failure (then *bytes is
 *         null and *len 0 when both were given).
 */
ORBEK_API int32_t orbek_ustring_toutf8(const orbek_ustring *s, uint8_t **bytes, int32_t *len) ORBEK_NOEXCEPT;
/**
 * Native UTF-16 units, then a 0 unit.
 * @param s      the string.
 * @param units  receives a new buffer (release it with orbek_free()).
 * @param count  receives the number of units without the 0.
 * @return 1; 0 as for orbek_ustring_toutf8().
 */
ORBEK_API int32_t orbek_ustring_toutf16(const orbek_ustring *s, uint16_t **units, int32_t *count) ORBEK_NOEXCEPT;
/**
 * @param s  the string.
 * @return the same 0-terminated copy as orbek_ustring_toutf16() (release it
 *         with orbek_free()), or null for null or an allocation failure.
 */
ORBEK_API uint16_t *orbek_ustring_towcs(const orbek_ustring *s) ORBEK_NOEXCEPT;
/**
 * Big-endian UCS-2, then two 0 bytes.
 * @param s      the string.
 * @param bytes  receives a new buffer (release it with orbek_free()).
 * @param len    receives its length in bytes without the 0 bytes.
 * @return 1; 0 when s holds a character above U+FFFF, otherwise as for
 *         orbek_ustring_toutf8().
 */
ORBEK_API int32_t orbek_ustring_tobmp(const orbek_ustring *s, uint8_t **bytes, int32_t *len) ORBEK_NOEXCEPT;
/**
 * Big-endian UTF-32, then four 0 bytes.
 * @param s      the string.
 * @param bytes  receives a new buffer (release it with orbek_free()).
 * @param len    receives its length in bytes without the 0 bytes.
 * @return 1; 0 as for orbek_ustring_toutf8().
 */
ORBEK_API int32_t orbek_ustring_toutf32be(const orbek_ustring *s, uint8_t **bytes, int32_t *len) ORBEK_NOEXCEPT;
/**
 * Native 32-bit code points, then a 0 value.
 * @param s       the string.
 * @param values  receives a new buffer (release it with orbek_free()).
 * @param count   receives the number of code points without the 0.
 * @return 1; 0 as for orbek_ustring_toutf8().
 */
ORBEK_API int32_t orbek_ustring_toutf32(const orbek_ustring *s, uint32_t **values, int32_t *count) ORBEK_NOEXCEPT;
/**
 * A new BSTR holding the units of s.  On Windows this is an OLE automation
 * BSTR (SysAllocStringLen; SysFreeString releases it too).  Elsewhere it is
 * modelled the same way: the handle points at the units, the 4 bytes before
 * it hold their byte count (native order), and a 0 unit follows them; the
 * block comes from the allocation hooks.
 * @param s  the string.
 * @return the BSTR (release it with orbek_ustring_freebstr()), or null for
 *         null or an allocation failure.
 */
ORBEK_API uint16_t *orbek_ustring_tobstr(const orbek_ustring *s) ORBEK_NOEXCEPT;
/**
 * Releases a BSTR made by orbek_ustring_tobstr().
 * @param bstr  the BSTR; null is ignored.
 */
ORBEK_API void orbek_ustring_freebstr(uint16_t *bstr) ORBEK_NOEXCEPT;

/* ======================================================================
 * Unicode strings: comparison, search, normalization
 * ====================================================================== */

/* Positions and counts here are in characters (code points), never UTF-16
 * units.  None of these functions changes its inputs. */

/** Orders two strings by code point (a character above U+FFFF sorts after
 * every BMP character, U+E000..U+FFFF included): -1, 0 or 1.  The first
 * difference decides; a proper prefix is smaller.  Null sorts before every
 * string, two nulls are equal. */
ORBEK_API int32_t orbek_ustring_cmp(const orbek_ustring *a, const orbek_ustring *b) ORBEK_NOEXCEPT;
/** Orders the first n characters of a and b as orbek_ustring_cmp orders
 * whole strings (a string with fewer than n characters takes part whole,
 * and then a proper prefix is smaller): -1, 0 or 1.  Exactly n characters
 * are compared, as strncmp does.  n = 0 gives 0, n < 0 compares the whole
 * strings.  Null a gives -1 (0 when b is null too), null b gives 1. */
ORBEK_API int32_t orbek_ustring_ncmp(const orbek_ustring *a, const orbek_ustring *b, int32_t n) ORBEK_NOEXCEPT;
/** A string of a's characters followed by b's, which the caller frees; null
 * on allocation failure.  When one operand is null the result is the other
 * operand itself with one more reference (null when both are null). */
ORBEK_API orbek_ustring *orbek_ustring_cat(orbek_ustring *a, orbek_ustring *b) ORBEK_NOEXCEPT;
/** A new string of count characters of s from character start (count < 0:
 * to the end; a count past the end is cut there).  Null when s is null,
 * start < 0, start >= the character count, count = 0, or allocation
 * fails. */
ORBEK_API orbek_ustring *orbek_ustring_substring(const orbek_ustring *s, int32_t start,
                                                 int32_t count) ORBEK_NOEXCEPT;
/** Finds the first occurrence of pattern in s at or after character start.
 * 1 with *pos = its character index; 0 with *pos = -1 when there is none
 * or memory runs out.  An empty pattern is found at start.  0 with *pos
 * untouched when s, pattern or pos is null, start < 0 or start >= the
 * character count of s.  Pattern and s the same handle: found only from
 * start 0. */
ORBEK_API int32_t orbek_ustring_find(const orbek_ustring *s, int32_t start, const orbek_ustring *pattern,
                                     int32_t *pos) ORBEK_NOEXCEPT;

/** Normalization forms of orbek_ustring_normalize. */
#define ORBEK_USTRING_NFD 1  /**< canonical decomposition */
#define ORBEK_USTRING_NFC 2  /**< canonical decomposition, then composition */
#define ORBEK_USTRING_NFKD 3 /**< compatibility decomposition */
#define ORBEK_USTRING_NFKC 4 /**< compatibility decomposition, then composition */
/** s in a Unicode normalization form (Unicode 8.0 data), or null when s is
 * null, form is not 1..4, or memory runs out.  When s is empty or already
 * in the form, the result is s itself with one more reference; otherwise a
 * new string.  Either way the caller frees the result once. */
ORBEK_API orbek_ustring *orbek_ustring_normalize(orbek_ustring *s, int32_t form) ORBEK_NOEXCEPT;

/** Case-folding modes of orbek_ustring_tocasefold. */
#define ORBEK_USTRING_FOLD 1      /**< full case folding */
#define ORBEK_USTRING_FOLD_NFKC 2 /**< case folding for NFKC (NFKC_Casefold) */
/** A new string holding the full case folding of s (mode 1), or the full case
 * folding plus the NFKC closure mappings (mode 2: the folding to apply before
 * NFKC so that the result stays folded).  Each character is mapped once;
 * the result is not normalized.  Null when s is null, mode is not 1 or 2,
 * or memory runs out.  The caller frees the result. */
ORBEK_API orbek_ustring *orbek_ustring_tocasefold(orbek_ustring *s, int32_t mode) ORBEK_NOEXCEPT;

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

/** Multibyte-to-Unicode converter: decodes in_len bytes of the named charset
 * (the caller's name, upper-cased) into at most out_cap units at out, stores
 * the units written in *out_len and returns 1; any other result is failure.
 * A count below 0 or above out_cap counts as failure too. */
typedef int32_t (*orbek_mbstowcs_func)(void *user, const char *charset, const uint8_t *in, int32_t in_len,
                                       uint16_t *out, int32_t out_cap, int32_t *out_len);
/** Unicode-to-multibyte converter: the same for in_len UTF-16 units into at
 * most out_cap bytes. */
typedef int32_t (*orbek_wcstombs_func)(void *user, const char *charset, const uint16_t *in, int32_t in_len,
                                       uint8_t *out, int32_t out_cap, int32_t *out_len);

/** The process's default charset as "cp" and the decimal number of its ANSI
 * code page (GetACP on Windows; elsewhere the code page of the environment's
 * locale codeset, UTF-8 "cp65001" for the C locale or a codeset without a
 * page), "cp54936" where that would be "cp936" and the system has code page
 * 54936.  A new 0-terminated string released with orbek_free; null when
 * the allocation fails. */
ORBEK_API char *orbek_ustring_getdefaultcharset(void) ORBEK_NOEXCEPT;
/** Register the converter called for charsets the system cannot convert,
 * with the user pointer passed to it; a null func removes it.  Always 1.
 * Plain process-wide settings without a lock: register before other threads
 * convert. */
ORBEK_API int32_t orbek_ustring_setmbstowcscallback(void *user, orbek_mbstowcs_func func) ORBEK_NOEXCEPT;
/** The same for the converter from Unicode to the charset. */
ORBEK_API int32_t orbek_ustring_setwcstombscallback(void *user, orbek_wcstombs_func func) ORBEK_NOEXCEPT;
/** Decodes len bytes in the named charset into a new string, or null.  len 0
 * gives the empty string whatever the charset (even null); null bytes with
 * another len, a negative len, a null or empty charset, a length that is not
 * a whole number of units for the UTF-16 and UTF-32 forms, a lone surrogate,
 * a conversion the system or the converter refuses, or an allocation
 * failure give null.  No byte-order mark is looked for or removed. */
ORBEK_API orbek_ustring *orbek_ustring_newmbs(const char *charset, const uint8_t *bytes, int32_t len) ORBEK_NOEXCEPT;
/** Encodes s in the named charset: 1 with a new buffer in *bytes (released
 * with orbek_free) and its byte count in *len; the buffer ends in one 0 byte
 * (four for "UTF-32BE" and "UTF-32LE"), not counted.  The empty string gives
 * a one-byte buffer holding 0 and *len 0 for any charset name.  0 for a null
 * argument, "ASCII" with a character above U+007F, a conversion the system
 * or the converter refuses (including a result longer than 4 bytes per
 * character) or an allocation failure, with *bytes null and *len 0. */
ORBEK_API int32_t orbek_ustring_tombs(const orbek_ustring *s, const char *charset, uint8_t **bytes,
                                      int32_t *len) ORBEK_NOEXCEPT;

/* ======================================================================
 * Unicode strings: LDAP preparation and IDN
 * ====================================================================== */

/* Internationalized domain names (IDNA 2003): ToASCII and ToUnicode of one
 * label or of a whole name, over nameprep (mapped-to-nothing characters
 * deleted, case folding with the NFKC closure, NFKC, prohibited and
 * bidirectional checks; Unicode 5.0 assignments) and Punycode.  Label
 * separators are U+002E, U+3002, U+FF0E and U+FF61; ASCII output separates
 * labels with ".".  The three flags are 0 (off) or anything else (on):
 *   allow_unassigned  code points unassigned in Unicode 5.0 pass nameprep;
 *   use_std3          a label holds only ASCII letters, digits and "-" (and
 *                     non-ASCII before encoding), with no "-" at either end;
 *   wildcard          with use_std3, "*" is accepted as well.
 * An all-ASCII label skips nameprep and keeps its letter case ("ABC" stays
 * "ABC"); only a label that is non-ASCII after nameprep gets the "xn--"
 * prefix.  Every ASCII label is 1 to 63 characters long. */

/** Label ToASCII: 1 with a new 0-terminated ASCII string in *ascii (release
 * with orbek_free) and its length in *len; 0 for a null or empty label, a
 * null out-parameter, a nameprep or host-name failure, a non-ASCII label
 * that already begins with "xn--" (any case), a result outside 1 to 63
 * characters, or allocation failure.  On 0, *ascii is null and *len 0
 * whenever they were given. */
ORBEK_API int32_t orbek_ustring_idnlabel_toascii(const orbek_ustring *label, uint32_t allow_unassigned,
                                                 uint32_t use_std3, uint32_t wildcard, char **ascii,
                                                 int32_t *len) ORBEK_NOEXCEPT;
/** Label ToUnicode: the decoded label as a new string, when the label (after
 * nameprep, if it is not ASCII) is an "xn--" label whose Punycode decodes
 * and whose decoded text converts back to the same label by ToASCII with
 * the same flags (letter case aside).  In every other case (nothing to
 * decode, a failed step, allocation failure) the label itself with one
 * more reference.  Null only for a null label.  The caller frees the
 * result either way. */
ORBEK_API orbek_ustring *orbek_ustring_idnlabel_tounicode(orbek_ustring *label, uint32_t allow_unassigned,
                                                         uint32_t use_std3, uint32_t wildcard) ORBEK_NOEXCEPT;
/** Name ToASCII: every label through label ToASCII, joined by ".", as a new
 * 0-terminated string in *ascii (release with orbek_free), length in *len.
 * 0 (with *ascii null and *len 0 when given) for a null or empty name, a
 * null out-parameter, an empty label (a separator at the start or the end,
 * or two in a row), any label that fails, or allocation failure. */
ORBEK_API int32_t orbek_ustring_idn_toascii(const orbek_ustring *name, uint32_t allow_unassigned, uint32_t use_std3,
                                            uint32_t wildcard, char **ascii, int32_t *len) ORBEK_NOEXCEPT;
/** Name ToUnicode: every label through label ToUnicode, joined by U+002E, as
 * a new string.  An empty name, an empty label, or allocation failure on
 * the way gives the name itself with one more reference.  Null only for a
 * null name.  The caller frees the result either way.  Beware: a result
 * that equals the input does not say whether anything failed. */
ORBEK_API orbek_ustring *orbek_ustring_idn_tounicode(orbek_ustring *name, uint32_t allow_unassigned,
                                                    uint32_t use_std3, uint32_t wildcard) ORBEK_NOEXCEPT;

/* Preparation types of orbek_ustring_ldapi18nstringprep. */
#define ORBEK_LDAPPREP_EXACT 0 /**< exact match */
#define ORBEK_LDAPPREP_CASEIGNORE 1 /**< case-ignoring match */
#define ORBEK_LDAPPREP_NUMERIC 3 /**< numeric string */
#define ORBEK_LDAPPREP_TELEPHONE 4 /**< telephone number */
#define ORBEK_LDAPPREP_CASEIGNORE_TEL 5 /**< case-ignoring telephone number */
/** LDAP internationalized string preparation of an attribute value for the
 * matching rule named by type:
 *   ORBEK_LDAPPREP_EXACT            0  exact string
 *   ORBEK_LDAPPREP_CASEIGNORE       1  case-ignore string (case folded)
 *   ORBEK_LDAPPREP_NUMERIC          3  numeric string (folded, every space
 *                                      dropped)
 *   ORBEK_LDAPPREP_TELEPHONE        4  telephone number (spaces and
 *                                      hyphens dropped)
 *   ORBEK_LDAPPREP_CASEIGNORE_TEL   5  the same, case folded
 * Controls and format characters are dropped and other spaces become
 * U+0020; then case folding (types 1, 3, 5) and NFKC.  Right-to-left
 * letters are removed from the result.  Types 0 and 1 give the text with
 * one space at each end and every inner run of spaces as two (an empty or
 * all-space text gives exactly two spaces); types 3 to 5 drop each space
 * (and hyphen) unless a combining mark follows it.  Returns a new string,
 * or null for a null string, any other type (2 included), a prohibited
 * character (unassigned in Unicode 5.0, private use, a non-character,
 * U+FFFD, a display-property character) or allocation failure. */
ORBEK_API orbek_ustring *orbek_ustring_ldapi18nstringprep(int32_t type, const orbek_ustring *s) ORBEK_NOEXCEPT;

/* ======================================================================
 * Time values
 * ====================================================================== */

/**
 * A time value: a proleptic Gregorian date (years 1582 to 9999) and a time
 * of day with nanoseconds, either in UTC or as the wall clock of a zone of
 * the built-in zone database.  UTC values know the 27 leap seconds of 1972
 * to 2016: such a value can show second 60, the second adder counts leap
 * seconds and the seconds difference includes them.  Values are immutable
 * (readable from several threads); every value handed out is new and
 * released with orbek_time_free().  Every function that returns a new value
 * gives null also when the allocation fails.
 */
typedef struct orbek_time orbek_time;

/**
 * Releases a time value (one block: the same entry as orbek_free()).
 * @param t  the value; null is ignored.
 */
ORBEK_API void orbek_time_free(orbek_time *t) ORBEK_NOEXCEPT;

/**
 * A UTC value from its fields.  Hour 24 (with minute, second and nanosecond
 * 0) is hour 0 of the next day; second 60 only at a leap second.
 * @param year        1582 to 9999.
 * @param month       1 to 12.
 * @param day         1 to the month's length.
 * @param hour        0 to 23 (or 24 as above).
 * @param minute      0 to 59.
 * @param second      0 to 59 (60 at a leap second).
 * @param nanosecond  0 to 999999999.
 * @return a new value; null for fields out of range.
 */
ORBEK_API orbek_time *orbek_time_newutctime(int32_t year, int32_t month, int32_t day, int32_t hour,
                                            int32_t minute, int32_t second, int32_t nanosecond) ORBEK_NOEXCEPT;
/** @return the system's UTC clock as a new value (millisecond resolution), or null. */
ORBEK_API orbek_time *orbek_time_nowutctime(void) ORBEK_NOEXCEPT;
/**
 * @param seconds  POSIX seconds since 1970-01-01T00:00:00Z.
 * @return a new UTC value; null outside the years 1582 to 9999.
 */
ORBEK_API orbek_time *orbek_time_newfromtime_t(int64_t seconds) ORBEK_NOEXCEPT;
/**
 * @param t  a value.
 * @return a new copy of all its fields; null for null.
 */
ORBEK_API orbek_time *orbek_time_dup(const orbek_time *t) ORBEK_NOEXCEPT;

/* The fields as stored (a local value's wall-clock reading). */
/** @param t a value. @return its year; -1 for null. */
ORBEK_API int32_t orbek_time_getyear(const orbek_time *t) ORBEK_NOEXCEPT;
/** @param t a value. @return its month, 1 to 12; -1 for null. */
ORBEK_API int32_t orbek_time_getmonth(const orbek_time *t) ORBEK_NOEXCEPT;
/** @param t a value. @return its day of the month; -1 for null. */
ORBEK_API int32_t orbek_time_getday(const orbek_time *t) ORBEK_NOEXCEPT;
/** @param t a value. @return its hour, 0 to 23; -1 for null. */
ORBEK_API int32_t orbek_time_gethour(const orbek_time *t) ORBEK_NOEXCEPT;
/** @param t a value. @return its minute; -1 for null. */
ORBEK_API int32_t orbek_time_getminute(const orbek_time *t) ORBEK_NOEXCEPT;
/** @param t a value. @return its second, 0 to 60; -1 for null. */
ORBEK_API int32_t orbek_time_getsecond(const orbek_time *t) ORBEK_NOEXCEPT;
/** @param t a value. @return its nanosecond; -1 for null. */
ORBEK_API int32_t orbek_time_getns(const orbek_time *t) ORBEK_NOEXCEPT;

/**
 * @param t  a value.
 * @return 1 for a UTC value, 0 for a local one or null.
 */
ORBEK_API int32_t orbek_time_isutctime(const orbek_time *t) ORBEK_NOEXCEPT;
/**
 * @param t  a value.
 * @return 1 for a local value with daylight-saving time in force; 0 otherwise
 *         or for null.
 */
ORBEK_API int32_t orbek_time_isdst(const orbek_time *t) ORBEK_NOEXCEPT;
/**
 * @param t  a value.
 * @return 1 when the stored year is a leap year; 0 otherwise or for null.
 */
ORBEK_API int32_t orbek_time_isleapyear(const orbek_time *t) ORBEK_NOEXCEPT;
/**
 * @param t  a value.
 * @return 1 when its instant is one of the leap seconds; 0 otherwise or for
 *         null.
 */
ORBEK_API int32_t orbek_time_isleapsecond(const orbek_time *t) ORBEK_NOEXCEPT;

/**
 * Orders two values by year, month, day, hour, minute, second and
 * nanosecond.
 * @param a  a value; null is less than any value.
 * @param b  a value; two nulls are equal.
 * @return -1, 0 or 1.
 */
ORBEK_API int32_t orbek_time_cmp(const orbek_time *a, const orbek_time *b) ORBEK_NOEXCEPT;
/**
 * Calendar days from b's date to a's date.
 * @param a  the later value for a positive result.
 * @param b  the earlier value.
 * @return the days; null a gives INT32_MIN (0 if b is null too), null b
 *         INT32_MAX.
 */
ORBEK_API int32_t orbek_time_diffdays(const orbek_time *a, const orbek_time *b) ORBEK_NOEXCEPT;
/**
 * Seconds from b to a, leap seconds included (a leap second at either end
 * is counted).
 * @param a  the later value for a positive result.
 * @param b  the earlier value.
 * @return the seconds; null a gives INT64_MIN (0 if b is null too), null b
 *         INT64_MAX.
 */
ORBEK_API int64_t orbek_time_diffseconds(const orbek_time *a, const orbek_time *b) ORBEK_NOEXCEPT;
/**
 * @param t  a value.
 * @return 1 (Monday) to 7 (Sunday); -1 for null.
 */
ORBEK_API int32_t orbek_time_getdayofweek(const orbek_time *t) ORBEK_NOEXCEPT;
/**
 * @param t  a value.
 * @return POSIX seconds (a leap second gives the number of the second after
 *         it); INT64_MIN for null.
 */
ORBEK_API int64_t orbek_time_gettime_t(const orbek_time *t) ORBEK_NOEXCEPT;

/* Calendar arithmetic.  Each adder below takes a value and a count and
 * returns a new value that many units later.  Years and months keep the day
 * where it exists (29 February becomes 1 March; a day past the month's end
 * becomes its last day); they fail when a leap second would land on an
 * ordinary day.  Days and hours turn a second 60 that is no longer a leap
 * second into 59; minutes carry it unchanged.  Seconds count elapsed
 * seconds, leap seconds included.
 */
/**
 * @param t  a value.
 * @param n  years to add; negative goes back.
 * @return a new value; null for a null t, a result outside the years 1582 to
 *         9999 or an allocation failure.
 */
ORBEK_API orbek_time *orbek_time_addyear(const orbek_time *t, int32_t n) ORBEK_NOEXCEPT;
/**
 * @param t  a value.
 * @param n  months to add; negative goes back.
 * @return a new value; null for a null t, a result outside the years 1582 to
 *         9999 or an allocation failure.
 */
ORBEK_API orbek_time *orbek_time_addmonth(const orbek_time *t, int32_t n) ORBEK_NOEXCEPT;
/**
 * @param t  a value.
 * @param n  days to add; negative goes back.
 * @return a new value; null for a null t, a result outside the years 1582 to
 *         9999 or an allocation failure.
 */
ORBEK_API orbek_time *orbek_time_addday(const orbek_time *t, int32_t n) ORBEK_NOEXCEPT;
/**
 * @param t  a value.
 * @param n  hours to add; negative goes back.
 * @return a new value; null for a null t, a result outside the years 1582 to
 *         9999 or an allocation failure.
 */
ORBEK_API orbek_time *orbek_time_addhour(const orbek_time *t, int32_t n) ORBEK_NOEXCEPT;
/**
 * @param t  a value.
 * @param n  minutes to add; negative goes back.
 * @return a new value; null for a null t, a result outside the years 1582 to
 *         9999 or an allocation failure.
 */
ORBEK_API orbek_time *orbek_time_addminute(const orbek_time *t, int32_t n) ORBEK_NOEXCEPT;
/**
 * @param t  a value.
 * @param n  seconds to add; negative goes back.
 * @return a new value; null for a null t, a result outside the years 1582 to
 *         9999 or an allocation failure.
 */
ORBEK_API orbek_time *orbek_time_addsecond(const orbek_time *t, int32_t n) ORBEK_NOEXCEPT;

/**
 * @return microseconds since 1970-01-01T00:00:00 UTC from the system's
 *         file-time clock; leap seconds play no part.
 */
ORBEK_API uint64_t orbek_time_getcurrentus(void) ORBEK_NOEXCEPT;

/* Zones: names of the built-in IANA database (release 2015f) such as
 * "Asia/Shanghai", "America/New_York", "Etc/GMT-8"; "UTC" and "PRC" are
 * also accepted.  A local value shows its zone's wall clock and knows
 * whether daylight-saving time is in force.  Converting to or building in
 * "UTC" or "Etc/UTC" gives UTC values. */

/**
 * A UTC value as the wall clock of a zone.  A UTC leap second shows as
 * second 60 of the local minute.
 * @param name  a zone name of the built-in database ("Asia/Shanghai").
 * @param t     a UTC value.
 * @return a new local value; null for a name not in the database, a null or
 *         local t, or an allocation failure.
 */
ORBEK_API orbek_time *orbek_time_utc2localbyzone(const char *name, const orbek_time *t) ORBEK_NOEXCEPT;
/**
 * @param t  a local value.
 * @return a new UTC value of the same instant; null for null or a UTC t.
 */
ORBEK_API orbek_time *orbek_time_local2utc(const orbek_time *t) ORBEK_NOEXCEPT;
/**
 * A local value of a zone from wall-clock fields (checked as by
 * orbek_time_newutctime()).  A reading inside a spring-forward gap moves to
 * the end of the gap; a reading that occurs twice is the daylight-time one
 * when isdst is non-zero, else the standard-time one; second 60 stays only
 * where the local minute holds a leap second (else it becomes 59).
 * @param name        a zone name of the built-in database.
 * @param year        the wall-clock year.
 * @param month       the month.
 * @param day         the day.
 * @param hour        the hour.
 * @param minute      the minute.
 * @param second      the second.
 * @param nanosecond  the nanosecond.
 * @param isdst       non-zero picks daylight time for a repeated reading.
 * @return a new value; null for an unknown zone or fields out of range.
 */
ORBEK_API orbek_time *orbek_time_newlocaltimebyzone(const char *name, int32_t year, int32_t month, int32_t day,
                                                    int32_t hour, int32_t minute, int32_t second,
                                                    int32_t nanosecond, int32_t isdst) ORBEK_NOEXCEPT;

/* Local time in the system's current zone (on Windows the registry's time
 * zone setting; elsewhere the zone named by TZ, /etc/timezone or the
 * /etc/localtime link), found afresh on every call.  Each gives null when the
 * current zone is not one the library knows.  In the zone "Etc/UTC" they
 * give UTC values.  The operations above that take values accept local
 * values too: they work on the value's UTC instant (two local values are
 * counted on their own dates by orbek_time_diffdays), and the adders give
 * their result as a local value of the current system zone. */

/**
 * A local value of the system's zone from wall-clock fields, as
 * orbek_time_newlocaltimebyzone().
 * @param year        the wall-clock year.
 * @param month       the month.
 * @param day         the day.
 * @param hour        the hour.
 * @param minute      the minute.
 * @param second      the second.
 * @param nanosecond  the nanosecond.
 * @param isdst       non-zero picks daylight time for a repeated reading.
 * @return a new value; null for fields out of range or an unknown system
 *         zone.
 */
ORBEK_API orbek_time *orbek_time_newlocaltime(int32_t year, int32_t month, int32_t day, int32_t hour,
                                              int32_t minute, int32_t second, int32_t nanosecond,
                                              int32_t isdst) ORBEK_NOEXCEPT;
/** @return the system's clock as a new local value, or null. */
ORBEK_API orbek_time *orbek_time_nowlocaltime(void) ORBEK_NOEXCEPT;
/**
 * @param t  a UTC value.
 * @return a new local value of the system's zone; null for null or a local t.
 */
ORBEK_API orbek_time *orbek_time_utc2local(const orbek_time *t) ORBEK_NOEXCEPT;

/* ======================================================================
 * JSON
 * ====================================================================== */

/**
 * A JSON value: a separately allocated record owned by exactly one parent
 * (an object member or an array slot) or by the caller, who releases it with
 * orbek_json_free().  Containers store deep copies of what is added to them.
 * Strings are UTF-8 (NUL bytes allowed) and always followed by one NUL.  No
 * lock: a tree may be read from several threads only while none edits it.
 */
typedef struct orbek_json orbek_json;

/* Kind codes (orbek_json_gettype). */
#define ORBEK_JSON_STRING  1 /**< a UTF-8 string */
#define ORBEK_JSON_NUMBER  2 /**< a double */
#define ORBEK_JSON_BOOLEAN 3 /**< true or false */
#define ORBEK_JSON_NULL    4 /**< null */
#define ORBEK_JSON_OBJECT  5 /**< members in insertion order; keys may repeat */
#define ORBEK_JSON_ARRAY   6 /**< elements in order */

/* Encoder flag word. */
#define ORBEK_JSON_PRETTY      0x80000000u /**< indentation and line ends */
#define ORBEK_JSON_SPACES      0x40000000u /**< N spaces (bits 0-7) before each level's TAB */
#define ORBEK_JSON_CR          0x20000000u /**< line ends contain CR */
#define ORBEK_JSON_LF          0x10000000u /**< line ends contain LF (after the CR) */
#define ORBEK_JSON_SORT        0x00100000u /**< sort the top-level container in place */
#define ORBEK_JSON_SPACE_COUNT 0x000000FFu /**< the bits that hold N for ORBEK_JSON_SPACES */

/** @return a new null value owned by the caller, or null when the allocation fails. */
ORBEK_API orbek_json *orbek_json_newnull(void) ORBEK_NOEXCEPT;
/**
 * @param flag  non-zero for true.
 * @return a new boolean (payload 1 or 0), or null when the allocation fails.
 */
ORBEK_API orbek_json *orbek_json_newboolean(int32_t flag) ORBEK_NOEXCEPT;
/**
 * @param number  the value; infinities and NaN are stored as they are (see
 *                orbek_json_encode() for how they come out).
 * @return a new number, or null when the allocation fails.
 */
ORBEK_API orbek_json *orbek_json_newnumber(double number) ORBEK_NOEXCEPT;
/**
 * A string holding a copy of length bytes plus a NUL.
 * @param bytes   UTF-8 bytes; may be null only with length 0 (the empty
 *                string).
 * @param length  their number, 0 to 2147483646.
 * @return a new string; null for a negative length or 2147483647, null bytes
 *         with a non-zero length, bytes that are not valid UTF-8, or an
 *         allocation failure.
 */
ORBEK_API orbek_json *orbek_json_newstring(const char *bytes, int32_t length) ORBEK_NOEXCEPT;
/** @return a new empty object, or null when the allocation fails. */
ORBEK_API orbek_json *orbek_json_newobject(void) ORBEK_NOEXCEPT;
/** @return a new empty array, or null when the allocation fails. */
ORBEK_API orbek_json *orbek_json_newarray(void) ORBEK_NOEXCEPT;
/**
 * @param value  a value (any tree, even one owned by a container).
 * @return a new deep copy owned by the caller; null for null, an unknown
 *         kind or an allocation failure (nothing is left allocated).
 */
ORBEK_API orbek_json *orbek_json_dup(const orbek_json *value) ORBEK_NOEXCEPT;
/**
 * Frees a value and everything it holds.  Never free a value still owned by
 * a container (use orbek_json_deletearrayitem() or
 * orbek_json_deleteobjectitem()).
 * @param value  the value; null is ignored.
 */
ORBEK_API void orbek_json_free(orbek_json *value) ORBEK_NOEXCEPT;

/**
 * @param value  a value.
 * @return its kind code (ORBEK_JSON_STRING .. ORBEK_JSON_ARRAY); -1 for null.
 */
ORBEK_API int32_t orbek_json_gettype(const orbek_json *value) ORBEK_NOEXCEPT;
/**
 * @param value  a value.
 * @return a boolean's payload (0 or 1); 0 for anything else.
 */
ORBEK_API int32_t orbek_json_istrue(const orbek_json *value) ORBEK_NOEXCEPT;
/**
 * @param value  a value.
 * @return a number's value; -1.0 for anything else (which a number may also
 *         hold: check the kind).
 */
ORBEK_API double orbek_json_getnumber(const orbek_json *value) ORBEK_NOEXCEPT;
/**
 * @param value  a value.
 * @return a string's NUL-terminated bytes, still owned by the value and valid
 *         while it lives; null for anything else.
 */
ORBEK_API const char *orbek_json_getstring(const orbek_json *value) ORBEK_NOEXCEPT;
/**
 * @param value  a value.
 * @return a string's length in bytes (NUL not counted); -1 for anything else.
 */
ORBEK_API int32_t orbek_json_getstringlength(const orbek_json *value) ORBEK_NOEXCEPT;
/**
 * @param value  a value.
 * @return an array's element count; -1 for anything else.
 */
ORBEK_API int32_t orbek_json_getarraysize(const orbek_json *value) ORBEK_NOEXCEPT;
/**
 * @param array  an array.
 * @param index  0 to its size - 1.
 * @return the element itself, still owned by the array; null when out of
 *         range or array is not an array.
 */
ORBEK_API orbek_json *orbek_json_getarrayitem(const orbek_json *array, int32_t index) ORBEK_NOEXCEPT;
/**
 * @param object      an object.
 * @param key         the key's bytes.
 * @param key_length  their number.
 * @return the value of the LAST member whose key has exactly these bytes,
 *         still owned by the object; null when none matches or the
 *         arguments are bad.
 */
ORBEK_API orbek_json *orbek_json_getobjectvalue(const orbek_json *object, const char *key,
                                               int32_t key_length) ORBEK_NOEXCEPT;

/**
 * Appends a member, even when one with this key exists.
 * @param object      an object.
 * @param key         the key's bytes, valid UTF-8 (as for
 *                    orbek_json_newstring()).
 * @param key_length  their number.
 * @param value       the member's value; deep-copied, it stays the caller's.
 * @return 1; 0 with the object unchanged for bad arguments, an invalid key or
 *         an allocation failure.
 */
ORBEK_API int32_t orbek_json_addobjectitem(orbek_json *object, const char *key, int32_t key_length,
                                           const orbek_json *value) ORBEK_NOEXCEPT;
/**
 * Replaces the value of the FIRST member with this key (key and position
 * stay), or appends a member when none has it.
 * @param object      an object.
 * @param key         the key's bytes, valid UTF-8.
 * @param key_length  their number.
 * @param value       the new value; deep-copied, it stays the caller's.
 * @return 1; 0 with the object unchanged on failure.
 */
ORBEK_API int32_t orbek_json_updateobjectitem(orbek_json *object, const char *key, int32_t key_length,
                                              const orbek_json *value) ORBEK_NOEXCEPT;
/**
 * Removes and frees the FIRST member with this key.
 * @param object      an object.
 * @param key         the key's bytes.
 * @param key_length  their number.
 * @return 1; 0 when none has it or the arguments are bad.
 */
ORBEK_API int32_t orbek_json_deleteobjectitem(orbek_json *object, const char *key,
                                              int32_t key_length) ORBEK_NOEXCEPT;
/**
 * Appends an element.
 * @param array  an array.
 * @param value  the element; deep-copied, it stays the caller's.
 * @return 1; 0 with the array unchanged for bad arguments or an allocation
 *         failure.
 */
ORBEK_API int32_t orbek_json_addarrayitem(orbek_json *array, const orbek_json *value) ORBEK_NOEXCEPT;
/**
 * Removes and frees an element; the later ones move down.
 * @param array  an array.
 * @param index  0 to its size - 1.
 * @return 1; 0 when out of range or array is not an array.
 */
ORBEK_API int32_t orbek_json_deletearrayitem(orbek_json *array, int32_t index) ORBEK_NOEXCEPT;

/**
 * Called for each member by orbek_json_traverse() with the caller's arg,
 * the key's bytes and length and the member's value (still owned by the
 * object).  1 continues the walk, anything else stops it.
 */
typedef int32_t (*orbek_json_traverse_func)(void *arg, const char *key, int32_t key_length, orbek_json *value);
/**
 * Visits the members of one object in order (not recursively).
 * @param object    an object.
 * @param callback  called per member.
 * @param arg       handed to the callback.
 * @return 1 when every member was visited (an empty object included); 0 when
 *         object is not an object, the callback is null or the walk was
 *         stopped.
 */
ORBEK_API int32_t orbek_json_traverse(orbek_json *object, orbek_json_traverse_func callback,
                                      void *arg) ORBEK_NOEXCEPT;

/**
 * Writes a value as UTF-8 JSON text.  Numbers that are whole and within the
 * int32 range are written as integers, others in fixed notation with at most
 * six decimals.
 * @warning Infinities and NaN are written as the runtime prints them ("inf",
 * "-nan", ...), which is not JSON; a number decoded from 1e400 is such an
 * infinity.  Check numbers with isfinite() where the text must be read back.
 * With ORBEK_JSON_SORT the top-level container is reordered in place, and
 * stays so even when the encoding fails.
 * @param value   the value.
 * @param flags   ORBEK_JSON_* flags above, 0 for compact text.
 * @param text    receives a new NUL-terminated buffer (release it with
 *                orbek_free()).
 * @param length  receives its length without the NUL.
 * @return 1; 0 with nothing stored for a null argument, an unknown kind or
 *         an allocation failure.
 */
ORBEK_API int32_t orbek_json_encode(orbek_json *value, uint32_t flags, char **text,
                                    int32_t *length) ORBEK_NOEXCEPT;
/**
 * Parses JSON text into a new tree.  Whitespace is accepted only around a
 * top-level array or object; nesting is limited by
 * orbek_get_recursive_level().  No JSON function recurses, so a raised limit
 * never endangers the thread's stack.  Numbers are converted as strtod does,
 * so 1e400 decodes to an infinity.
 * @param text    the text; no NUL is needed.
 * @param length  its exact length: all of it must be one value.
 * @return a new tree owned by the caller (release it with orbek_json_free());
 *         null for any grammar error, depth at the limit, invalid escape or
 *         UTF-8, bytes left over or allocation failure.  No position or
 *         message is given.
 */
ORBEK_API orbek_json *orbek_json_decode(const char *text, int32_t length) ORBEK_NOEXCEPT;

/* ======================================================================
 * Array list
 * ====================================================================== */

/**
 * A growable vector of non-null pointer-sized items, kept in insertion order.
 * No lock: one thread at a time.  Every function tolerates a null list.
 */
typedef struct orbek_arraylist orbek_arraylist;

/**
 * Applied to an item on its way in (pushback, insert) and on its way out by
 * copy (getitem); a null result refuses the item.
 */
typedef void *(*orbek_arraylist_dup_func)(void *item);
/** Applied to an item that leaves the list by deletion or by freeing it. */
typedef void (*orbek_arraylist_free_func)(void *item);

/**
 * A new empty list of capacity 16.
 * @param dup_fn   the duplicate function, or null to store items as given.
 * @param free_fn  the free function, or null to leave items alone.
 * @return a new list owned by the caller (release it with
 *         orbek_arraylist_free()), or null when an allocation fails.
 */
ORBEK_API orbek_arraylist *orbek_arraylist_new(orbek_arraylist_dup_func dup_fn,
                                               orbek_arraylist_free_func free_fn) ORBEK_NOEXCEPT;
/**
 * Calls the free function (when set) on every item in index order, then
 * releases the list.
 * @param list  the list; null is ignored.
 */
ORBEK_API void orbek_arraylist_free(orbek_arraylist *list) ORBEK_NOEXCEPT;
/**
 * Calls the list's free function on an item (which need not be in the
 * list), such as a copy from orbek_arraylist_getitem().
 * @param list  the list.
 * @param item  the item; nothing happens when it, the list or its free
 *              function is null.
 */
ORBEK_API void orbek_arraylist_freeitem(orbek_arraylist *list, void *item) ORBEK_NOEXCEPT;
/**
 * @param list  the list.
 * @return the number of items; 0 for a null list.
 */
ORBEK_API int32_t orbek_arraylist_count(const orbek_arraylist *list) ORBEK_NOEXCEPT;
/**
 * @param list   the list.
 * @param index  0 to count - 1.
 * @return the item at index, duplicated by the duplicate function when one
 *         is set (the caller owns that copy: release it with
 *         orbek_arraylist_freeitem()); null when out of range or the
 *         duplicate fails.
 */
ORBEK_API void *orbek_arraylist_getitem(const orbek_arraylist *list, int32_t index) ORBEK_NOEXCEPT;
/**
 * @param list   the list.
 * @param index  0 to count - 1.
 * @return the stored item itself, still owned by the list; null when out of
 *         range.
 */
ORBEK_API void *orbek_arraylist_getitemref(const orbek_arraylist *list, int32_t index) ORBEK_NOEXCEPT;
/**
 * Appends an item (or its duplicate).
 * @param list  the list.
 * @param item  the item, not null.
 * @return 1; 0 with the list unchanged for a null item, a null duplicate, a
 *         failed growth or the 2^28-slot limit.
 */
ORBEK_API int32_t orbek_arraylist_pushback(orbek_arraylist *list, void *item) ORBEK_NOEXCEPT;
/**
 * Inserts an item (or its duplicate); the later items move up.
 * @param list   the list.
 * @param index  the position, clamped to 0 .. count.
 * @param item   the item, not null.
 * @return 1; 0 as for orbek_arraylist_pushback().
 */
ORBEK_API int32_t orbek_arraylist_insert(orbek_arraylist *list, int32_t index, void *item) ORBEK_NOEXCEPT;
/**
 * Removes the item at index (calling the free function when set); the later
 * items move down.
 * @param list   the list.
 * @param index  0 to count - 1.
 * @return 1; 0 when out of range.
 */
ORBEK_API int32_t orbek_arraylist_delete(orbek_arraylist *list, int32_t index) ORBEK_NOEXCEPT;

/* ======================================================================
 * Concurrency: atomics, locks, conditions, semaphores, read-write locks,
 * thread-local storage, countdown latches, threads, thread pools, queues
 * ====================================================================== */

/* Codes that functions of this section return directly (with
 * ORBEK_ERR_NULL_POINT and ORBEK_ERR_OUT_OF_MEMORY); they have no text. */
#define ORBEK_ERR_TLS_NOT_REGISTERED  0x10009u /**< slot not made by orbek_tls_alloc */
#define ORBEK_ERR_QUEUE_FULL          0x1000Au /**< bounded queue full */
#define ORBEK_ERR_THREAD_DETACHED     0x1000Cu /**< join of a detached thread */
#define ORBEK_ERR_POOL_STOPPING       0x1000Du /**< submission to a stopping pool */

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

/** Locks: recursive (the owner may take a lock again and must unlock it
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

/** Counting semaphores (maximum count 2147483647). */
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

/** Condition variables.  The library picks one of two back ends at load:
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

/** Read-write locks: many readers or one writer.  A writer that arrives
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

/** Thread-local slots with destructors.  The library remembers every
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

/** Countdown latches: waiters block until the count given at creation
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

/** Threads. */
typedef struct orbek_thread orbek_thread;
/** A thread's routine: its pointer-sized result is what join gives. */
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

/** Thread pools: a fixed number of workers run one task function over
 * the items callers submit, in submission order across the pool (but
 * concurrently, so in no guaranteed order of completion). */
typedef struct orbek_threadpool orbek_threadpool;
/** A pool's task function; its result is ignored. */
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

/** Queues of pointer-sized items.  A queue with a duplicate function
 * stores what it returns for each item put (a null duplicate refuses the
 * item); the free function is applied to the items still held when the
 * queue is freed.  Taken items belong to the caller.  Take and peek give
 * null both for an empty queue and for a held null item. */
typedef void *(*orbek_queue_dup_func)(void *item);
/** Applied to the items a queue still holds when it is freed. */
typedef void (*orbek_queue_free_func)(void *item);

/** A first-in first-out ring, without a lock (one thread at a time). */
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

/** A queue with a lock: put waits while a bounded queue is full, take waits
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

/** A binary heap ordered by a comparison, without a lock.  Equal items come
 * out in no guaranteed order. */
typedef struct orbek_priorityqueue orbek_priorityqueue;
/** Non-zero when a must come out before b, else 0. */
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

/* ======================================================================
 * Bit sets and big integers
 * ====================================================================== */

/**
 * A growable sequence of bits numbered from 0, stored most significant bit
 * first: bit n is in byte n / 8 under the mask 0x80 >> (n % 8).  The bit
 * count ends at the highest significant bit; bits at or beyond it read as 0.
 * A set converts to and from the content of an ASN.1 BIT STRING (the unused
 * low bits of the last byte, 0 to 7, and the bytes).  No lock: one thread at
 * a time.
 */
typedef struct orbek_bitset orbek_bitset;

/**
 * @return a new set with bit count 0 and a zeroed 4-byte buffer, owned by
 *         the caller (release it with orbek_bitset_free()); null when memory
 *         is short.
 */
ORBEK_API orbek_bitset *orbek_bitset_empty(void) ORBEK_NOEXCEPT;
/**
 * A set from the content of a BIT STRING.
 * @param unused_bits  the unused low bits of the last byte, 0 to 7; they are
 *                     cleared in the copy.
 * @param data         the bytes; must not be null, even for length 0.
 * @param length       bytes in data, 0 to 268435454 (0 only with
 *                     unused_bits 0).
 * @return a new set holding a copy of the bytes, bit count
 *         8 * length - unused_bits, owned by the caller (release it with
 *         orbek_bitset_free()); null for arguments out of range or when
 *         memory is short.
 */
ORBEK_API orbek_bitset *orbek_bitset_new(int32_t unused_bits, const uint8_t *data, int32_t length) ORBEK_NOEXCEPT;
/**
 * Releases a set and its buffer.
 * @param set  the set; null is ignored.
 */
ORBEK_API void orbek_bitset_free(orbek_bitset *set) ORBEK_NOEXCEPT;
/**
 * @param set  the set.
 * @return the bit count; -1 for a null set.
 */
ORBEK_API int32_t orbek_bitset_getbitcount(const orbek_bitset *set) ORBEK_NOEXCEPT;
/**
 * The set as the content of a BIT STRING.
 * @param set          the set.
 * @param unused_bits  receives the unused low bits of the last byte, 0 to 7.
 * @return a new blob (release it with orbek_data_blob_free()) holding the
 *         (bit count + 7) / 8 bytes that carry the bits; null when either
 *         argument is null or memory is short.
 */
ORBEK_API orbek_data_blob *orbek_bitset_getdata(const orbek_bitset *set, int32_t *unused_bits) ORBEK_NOEXCEPT;
/**
 * Sets a bit.  A bit beyond the buffer grows it to n / 8 + 4 bytes; the bit
 * count becomes n + 1 when that is larger.
 * @param set  the set.
 * @param n    the bit, 0 or more.
 * @return 1; 0 for a null set, a negative n or a failed growth (the set is
 *         then unchanged).
 */
ORBEK_API int32_t orbek_bitset_set(orbek_bitset *set, int32_t n) ORBEK_NOEXCEPT;
/**
 * Clears a bit.  Clearing the last significant bit trims the bit count to
 * end at the highest bit still set (0 when none is).
 * @param set  the set.
 * @param n    the bit, 0 or more; at or beyond the bit count nothing changes.
 * @return 1; 0 for a null set or a negative n.
 */
ORBEK_API int32_t orbek_bitset_clear(orbek_bitset *set, int32_t n) ORBEK_NOEXCEPT;
/**
 * @param set  the set.
 * @param n    the bit.
 * @return 1 when bit n is set; 0 when it is clear, n is negative or at or
 *         beyond the bit count, or the set is null.
 */
ORBEK_API int32_t orbek_bitset_isset(const orbek_bitset *set, int32_t n) ORBEK_NOEXCEPT;
/**
 * @param set  the set.
 * @return a new set with the same bits and bit count (its buffer only as
 *         large as they need), owned by the caller; null for null or when
 *         memory is short.
 */
ORBEK_API orbek_bitset *orbek_bitset_dup(const orbek_bitset *set) ORBEK_NOEXCEPT;

/**
 * An arbitrary-precision signed integer carried by GMP.  Every function that
 * yields a number returns a new handle owned by the caller (release it with
 * orbek_biginteger_free()) and leaves its arguments unchanged; only
 * orbek_biginteger_setbit() and orbek_biginteger_clearbit() change a handle
 * in place.  Functions answer null (or 0) for a null handle argument and
 * when GMP runs out of memory, and release whatever they had taken.  A handle
 * may be read by several threads at once, but not changed or freed while
 * another thread uses it.
 *
 * Signed byte form: big-endian two's complement of minimal length (127 is
 * 7F, 128 is 00 80, -1 is FF, -128 is 80, -129 is FF 7F, zero is 00).
 * Unsigned byte form: the big-endian magnitude.
 */
typedef struct orbek_biginteger orbek_biginteger;

/** orbek_biginteger_newprime() flag: (p - 1) / 2 is prime too. */
#define ORBEK_PRIME_SAFE 0x01u
/** orbek_biginteger_newprime() flag: the two highest bits are set. */
#define ORBEK_PRIME_TOP_TWO 0x02u
/** orbek_biginteger_newprime() flag: the rounds of orbek_biginteger_isprime_fasttest(). */
#define ORBEK_PRIME_FAST 0x80u

/**
 * Random source of orbek_biginteger_newprime(), called on the caller's
 * thread: fills length bytes of buffer and returns 1; any other result ends
 * prime generation with null.
 */
typedef int32_t (*orbek_biginteger_random_func)(void *context, uint8_t *buffer, int32_t length);

/**
 * @param value  any signed 64-bit value.
 * @return a new handle holding value; null when memory is short.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_new(int64_t value) ORBEK_NOEXCEPT;
/**
 * A number from the signed byte form.  Redundant leading sign bytes are
 * skipped (00 00 7F is 127, FF FF 80 is -128).
 * @param bytes   the bytes; may be null when length is 0.
 * @param length  bytes in bytes; 0 gives 0.
 * @return a new handle; null for null bytes with a non-zero length, a
 *         negative length, or when memory is short.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_newdata(const uint8_t *bytes, int32_t length) ORBEK_NOEXCEPT;
/**
 * A number from the unsigned byte form (FF is 255); no byte is skipped.
 * @param bytes   the bytes; may be null when length is 0.
 * @param length  bytes in bytes; 0 gives 0.
 * @return a new handle; null as for orbek_biginteger_newdata().
 */
ORBEK_API orbek_biginteger *orbek_biginteger_newunsigneddata(const uint8_t *bytes, int32_t length) ORBEK_NOEXCEPT;
/**
 * A number from decimal text as GMP reads it.
 * @param text  NUL-terminated digits with an optional leading minus sign;
 *              white space is ignored.
 * @return a new handle; null for a null or invalid text or when memory is
 *         short.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_newdec(const char *text) ORBEK_NOEXCEPT;
/**
 * @param x  the number.
 * @return a new handle equal to x; null for null or when memory is short.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_dup(const orbek_biginteger *x) ORBEK_NOEXCEPT;
/**
 * Releases a handle and its digits.
 * @param x  the handle; null is ignored.
 */
ORBEK_API void orbek_biginteger_free(orbek_biginteger *x) ORBEK_NOEXCEPT;

/**
 * @param x  the number.
 * @return a new blob (release it with orbek_data_blob_free()) holding x in
 *         the signed byte form; null for null or when memory is short.
 */
ORBEK_API orbek_data_blob *orbek_biginteger_getdata(const orbek_biginteger *x) ORBEK_NOEXCEPT;
/**
 * Writes a number in the unsigned byte form, right-aligned and padded with
 * 0x00 on the left, so that buffer holds exactly length bytes.
 * @param x       the number, 0 or more.
 * @param length  bytes to fill, 1 or more.
 * @param buffer  length bytes.
 * @return 1; 0 (buffer untouched) when x is null or negative, length is 0 or
 *         less, buffer is null, or x needs more than length bytes.
 */
ORBEK_API int32_t orbek_biginteger_unsigned_tonbuf(const orbek_biginteger *x, int32_t length,
                                                   uint8_t *buffer) ORBEK_NOEXCEPT;
/**
 * A number as decimal text.
 * @param x           the number, 0 or more.
 * @param out_text    receives new NUL-terminated text (release it with
 *                    orbek_free()).
 * @param out_length  receives the text's length without the NUL; may be
 *                    null.
 * @return 1; 0 (nothing stored) when x is null or negative, out_text is null
 *         or memory is short.
 */
ORBEK_API int32_t orbek_biginteger_unsigned_todec(const orbek_biginteger *x, char **out_text,
                                                  int32_t *out_length) ORBEK_NOEXCEPT;
/**
 * @param x    the number.
 * @param out  receives x.
 * @return 1 when the magnitude of x fits in 63 bits (so -2^63 is refused);
 *         0 otherwise or when x or out is null.
 */
ORBEK_API int32_t orbek_biginteger_getvalue(const orbek_biginteger *x, int64_t *out) ORBEK_NOEXCEPT;
/**
 * @param x  the number.
 * @return -1, 0 or 1 as x is negative, zero or positive; 0 for null.
 */
ORBEK_API int32_t orbek_biginteger_getsign(const orbek_biginteger *x) ORBEK_NOEXCEPT;
/**
 * @param x  the number.
 * @return the number of bits of the magnitude of x; 0 for zero and null.
 */
ORBEK_API int32_t orbek_biginteger_getbitcount(const orbek_biginteger *x) ORBEK_NOEXCEPT;
/**
 * @param a  the first number.
 * @param b  the second number.
 * @return negative, zero or positive as a is below, equal to or above b (the
 *         value is GMP's, not limited to -1 and 1).  Null sorts first: both
 *         null give 0, a null a -1, a null b 1.
 */
ORBEK_API int32_t orbek_biginteger_cmp(const orbek_biginteger *a, const orbek_biginteger *b) ORBEK_NOEXCEPT;
/**
 * @param x  the number.
 * @return 1 for even x (zero included); 0 for odd x and null.
 */
ORBEK_API int32_t orbek_biginteger_iseven(const orbek_biginteger *x) ORBEK_NOEXCEPT;
/**
 * @param x  the number.
 * @return 1 for odd x (-3 included); 0 for even x and null.
 */
ORBEK_API int32_t orbek_biginteger_isodd(const orbek_biginteger *x) ORBEK_NOEXCEPT;
/**
 * @param x  the number, seen as infinite two's complement (every bit of -1
 *           is set).
 * @param n  the bit.
 * @return bit n of x; 0 for null or a negative n.
 */
ORBEK_API int32_t orbek_biginteger_testbit(const orbek_biginteger *x, int32_t n) ORBEK_NOEXCEPT;
/**
 * Sets a bit in place, in the two's complement view.
 * @param x  the number, changed.
 * @param n  the bit, 0 or more.
 * @return 1; 0 for null, a negative n or when memory is short (x is then
 *         unchanged).
 */
ORBEK_API int32_t orbek_biginteger_setbit(orbek_biginteger *x, int32_t n) ORBEK_NOEXCEPT;
/**
 * Clears a bit in place, in the two's complement view.
 * @param x  the number, changed.
 * @param n  the bit, 0 or more.
 * @return 1; 0 as for orbek_biginteger_setbit().
 */
ORBEK_API int32_t orbek_biginteger_clearbit(orbek_biginteger *x, int32_t n) ORBEK_NOEXCEPT;

/**
 * @param a  the first number.
 * @param b  the second number.
 * @return a new handle holding a + b; null for a null argument or when
 *         memory is short (as for every arithmetic function).
 */
ORBEK_API orbek_biginteger *orbek_biginteger_add(const orbek_biginteger *a, const orbek_biginteger *b) ORBEK_NOEXCEPT;
/**
 * @param a  the first number.
 * @param b  the second number.
 * @return a new handle holding a - b.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_sub(const orbek_biginteger *a, const orbek_biginteger *b) ORBEK_NOEXCEPT;
/**
 * @param a  the first number.
 * @param b  the second number.
 * @return a new handle holding a * b.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_mul(const orbek_biginteger *a, const orbek_biginteger *b) ORBEK_NOEXCEPT;
/**
 * @param x  the number.
 * @return a new handle holding -x.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_neg(const orbek_biginteger *x) ORBEK_NOEXCEPT;
/**
 * Division truncated toward zero: -7 / 2 is -3 with remainder -1.
 * @param a              the dividend.
 * @param b              the divisor.
 * @param out_remainder  receives a new handle holding the remainder, with
 *                       the sign of a, which the caller releases too.
 * @return a new handle holding the quotient; null (*out_remainder untouched)
 *         for a null argument, a zero b or when memory is short.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_div(const orbek_biginteger *a, const orbek_biginteger *b,
                                                 orbek_biginteger **out_remainder) ORBEK_NOEXCEPT;
/**
 * @param x  the number.
 * @return a new handle holding x / 2 truncated toward zero (-3 gives -1).
 */
ORBEK_API orbek_biginteger *orbek_biginteger_div_2(const orbek_biginteger *x) ORBEK_NOEXCEPT;
/**
 * @param a  the number.
 * @param m  the modulus; its sign is ignored.
 * @return a new handle holding a mod m in 0 .. |m| - 1 (-7 mod 2 is 1);
 *         null for a zero m.  The modular functions below share both rules.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_mod(const orbek_biginteger *a, const orbek_biginteger *m) ORBEK_NOEXCEPT;
/**
 * @param a  the first number.
 * @param b  the second number.
 * @param m  the modulus.
 * @return a new handle holding (a + b) mod m.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_addmod(const orbek_biginteger *a, const orbek_biginteger *b,
                                                    const orbek_biginteger *m) ORBEK_NOEXCEPT;
/**
 * @param a  the first number.
 * @param b  the second number.
 * @param m  the modulus.
 * @return a new handle holding (a - b) mod m.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_submod(const orbek_biginteger *a, const orbek_biginteger *b,
                                                    const orbek_biginteger *m) ORBEK_NOEXCEPT;
/**
 * @param a  the first number.
 * @param b  the second number.
 * @param m  the modulus.
 * @return a new handle holding (a * b) mod m.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_mulmod(const orbek_biginteger *a, const orbek_biginteger *b,
                                                    const orbek_biginteger *m) ORBEK_NOEXCEPT;
/**
 * @param a  the number.
 * @param m  the modulus.
 * @return a new handle holding a^2 mod m.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_sqrmod(const orbek_biginteger *a,
                                                    const orbek_biginteger *m) ORBEK_NOEXCEPT;
/**
 * @param b  the base.
 * @param e  the exponent; a negative one uses the inverse of b.
 * @param m  the modulus.
 * @return a new handle holding b^e mod m; null when e is negative and b has
 *         no inverse modulo m.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_expmod(const orbek_biginteger *b, const orbek_biginteger *e,
                                                    const orbek_biginteger *m) ORBEK_NOEXCEPT;
/**
 * @param a  the number.
 * @param m  the modulus.
 * @return a new handle holding the inverse of a modulo m, in 0 .. |m| - 1;
 *         null when there is none (2 modulo 4) or m is zero.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_invmod(const orbek_biginteger *a,
                                                    const orbek_biginteger *m) ORBEK_NOEXCEPT;
/**
 * @param a  the first number.
 * @param b  the second number.
 * @return a new handle holding the greatest common divisor, never negative.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_gcd(const orbek_biginteger *a, const orbek_biginteger *b) ORBEK_NOEXCEPT;
/**
 * @param a  the first number.
 * @param b  the second number.
 * @return a new handle holding the least common multiple, never negative (0
 *         when either is 0).
 */
ORBEK_API orbek_biginteger *orbek_biginteger_lcm(const orbek_biginteger *a, const orbek_biginteger *b) ORBEK_NOEXCEPT;

/**
 * @param x  the number.
 * @return 1 when GMP's test with 64 rounds finds x a probable or certain
 *         prime; 0 otherwise, for null and when memory is short.
 */
ORBEK_API int32_t orbek_biginteger_isprime(const orbek_biginteger *x) ORBEK_NOEXCEPT;
/**
 * The same test with fewer rounds the larger x is: 28 below 256 bits, 16
 * below 384, 10 below 512, 7 below 640, 6 below 768, else 5.
 * @param x  the number.
 * @return 1 for a probable prime; 0 as for orbek_biginteger_isprime().
 */
ORBEK_API int32_t orbek_biginteger_isprime_fasttest(const orbek_biginteger *x) ORBEK_NOEXCEPT;
/**
 * A random probable prime.  Each candidate takes (bits + 7) / 8 fresh bytes
 * from random, keeps exactly bits bits with the top one set, is made odd and
 * is tested; the call loops until one passes, so a random source that never
 * varies can keep it looping for ever.
 * @param random   the random source; called on the caller's thread.
 * @param context  passed to random.
 * @param bits     the prime's exact size in bits, 2 or more (3 or more for a
 *                 safe prime: there is none of 2 bits).
 * @param flags    ORBEK_PRIME_SAFE, ORBEK_PRIME_TOP_TWO, ORBEK_PRIME_FAST or 0.
 * @return a new handle holding the prime; null for bits out of range, a null
 *         random, a random result other than 1, or when memory is short.
 */
ORBEK_API orbek_biginteger *orbek_biginteger_newprime(orbek_biginteger_random_func random, void *context,
                                                      int32_t bits, uint32_t flags) ORBEK_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* ORBEK_UTIL_H */
