/* Logs every file and folder the process opens, for bench/idle.sh: preloaded with LD_PRELOAD, it
 * writes "<monotonic ns> <kind> <path>" to the file $OPENCOUNT_LOG names, kind being "list" for a
 * folder opened to be read and "open" for everything else (a folder opened as a place included).
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

static int logFile = -1;

__attribute__((constructor)) static void start(void) {
    const char* name = getenv("OPENCOUNT_LOG");
    if (name != NULL) {
        /* The raw call, so that the log's own file is not counted. */
        logFile = (int)syscall(SYS_openat, AT_FDCWD, name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC,
                               0600);
    }
}

/* One line for `path`, taken relative to the folder open as `folder` when it is relative. */
static void note(const char* kind, int folder, const char* path) {
    if (logFile < 0 || path == NULL) {
        return;
    }
    char where[4096] = "";
    if (path[0] != '/' && folder != AT_FDCWD) {
        char link[64];
        snprintf(link, sizeof link, "/proc/self/fd/%d", folder);
        const ssize_t n = readlink(link, where, sizeof where - 2);
        if (n > 0) {
            where[n] = '/';
            where[n + 1] = '\0';
        }
    }
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[8300];
    const int n = snprintf(line, sizeof line, "%lld %s %s%s\n",
                           (long long)now.tv_sec * 1000000000LL + now.tv_nsec, kind, where, path);
    if (n > 0) {
        ssize_t ignored = write(logFile, line, (size_t)n < sizeof line ? (size_t)n : sizeof line);
        (void)ignored;
    }
}

#define NEXT(type, name, args) ((type(*) args)dlsym(RTLD_NEXT, name))

/* A folder opened to list it, not as a place only. */
static const char* kindOf(int flags) {
    return (flags & O_DIRECTORY) && !(flags & O_PATH) ? "list" : "open";
}

static mode_t modeOf(int flags, va_list list) {
    return (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(list, int) : 0;
}

#define OPEN(name)                                                                                 \
    int name(const char* path, int flags, ...) {                                                   \
        va_list list;                                                                              \
        va_start(list, flags);                                                                     \
        const mode_t mode = modeOf(flags, list);                                                   \
        va_end(list);                                                                              \
        note(kindOf(flags), AT_FDCWD, path);                                                       \
        return NEXT(int, #name, (const char*, int, mode_t))(path, flags, mode);                    \
    }
#define OPENAT(name)                                                                               \
    int name(int folder, const char* path, int flags, ...) {                                       \
        va_list list;                                                                              \
        va_start(list, flags);                                                                     \
        const mode_t mode = modeOf(flags, list);                                                   \
        va_end(list);                                                                              \
        note(kindOf(flags), folder, path);                                                         \
        return NEXT(int, #name, (int, const char*, int, mode_t))(folder, path, flags, mode);       \
    }
OPEN(open)
OPEN(open64)
OPENAT(openat)
OPENAT(openat64)

int __open_2(const char* path, int flags) {
    note(kindOf(flags), AT_FDCWD, path);
    return NEXT(int, "__open_2", (const char*, int))(path, flags);
}
int __open64_2(const char* path, int flags) {
    note(kindOf(flags), AT_FDCWD, path);
    return NEXT(int, "__open64_2", (const char*, int))(path, flags);
}
int __openat_2(int folder, const char* path, int flags) {
    note(kindOf(flags), folder, path);
    return NEXT(int, "__openat_2", (int, const char*, int))(folder, path, flags);
}
int __openat64_2(int folder, const char* path, int flags) {
    note(kindOf(flags), folder, path);
    return NEXT(int, "__openat64_2", (int, const char*, int))(folder, path, flags);
}
FILE* fopen(const char* path, const char* mode) {
    note("open", AT_FDCWD, path);
    return NEXT(FILE*, "fopen", (const char*, const char*))(path, mode);
}
FILE* fopen64(const char* path, const char* mode) {
    note("open", AT_FDCWD, path);
    return NEXT(FILE*, "fopen64", (const char*, const char*))(path, mode);
}
DIR* opendir(const char* path) {
    note("list", AT_FDCWD, path);
    return NEXT(DIR*, "opendir", (const char*))(path);
}
