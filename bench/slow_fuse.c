/* A read-only passthrough file system whose every metadata call is slow,
 * as on a network share: each getattr, readlink and readdir waits 0.2 ms
 * before it answers. The kernel's attribute and name caches are off, so
 * every stat and every lookup reaches it, and its calls are served by a
 * pool of threads side by side.
 *
 *     slow_fuse SOURCE MOUNTPOINT [-o max_threads=N] [other FUSE options]
 *
 * Build: cc -O2 slow_fuse.c $(pkg-config --cflags --libs fuse3)
 */
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fuse.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static char source[PATH_MAX];

static void wait_a_while(void) {
    const struct timespec delay = {0, 200 * 1000};
    nanosleep(&delay, NULL);
}

static int real_path(const char *path, char *out) {
    return snprintf(out, PATH_MAX, "%s%s", source, path) < PATH_MAX ? 0 : -ENAMETOOLONG;
}

static void *slow_init(struct fuse_conn_info *conn, struct fuse_config *cfg) {
    (void)conn;
    cfg->attr_timeout = 0;
    cfg->entry_timeout = 0;
    cfg->negative_timeout = 0;
    cfg->use_ino = 1;
    return NULL;
}

static int slow_getattr(const char *path, struct stat *st, struct fuse_file_info *fi) {
    (void)fi;
    char real[PATH_MAX];
    if (real_path(path, real) != 0) return -ENAMETOOLONG;
    wait_a_while();
    return lstat(real, st) == 0 ? 0 : -errno;
}

static int slow_readlink(const char *path, char *buf, size_t size) {
    char real[PATH_MAX];
    if (real_path(path, real) != 0) return -ENAMETOOLONG;
    wait_a_while();
    ssize_t n = readlink(real, buf, size - 1);
    if (n < 0) return -errno;
    buf[n] = 0;
    return 0;
}

static int slow_readdir(const char *path, void *buf, fuse_fill_dir_t filler, off_t offset,
                        struct fuse_file_info *fi, enum fuse_readdir_flags flags) {
    (void)offset;
    (void)fi;
    (void)flags;
    char real[PATH_MAX];
    if (real_path(path, real) != 0) return -ENAMETOOLONG;
    wait_a_while();
    DIR *dir = opendir(real);
    if (dir == NULL) return -errno;
    struct dirent *entry;
    while ((entry = readdir(dir)) != NULL) {
        struct stat st;
        memset(&st, 0, sizeof st);
        st.st_ino = entry->d_ino;
        st.st_mode = (mode_t)entry->d_type << 12;
        if (filler(buf, entry->d_name, &st, 0, 0)) break;
    }
    closedir(dir);
    return 0;
}

static const struct fuse_operations slow_operations = {
    .init = slow_init,
    .getattr = slow_getattr,
    .readlink = slow_readlink,
    .readdir = slow_readdir,
};

int main(int argc, char **argv) {
    if (argc < 3 || realpath(argv[1], source) == NULL) {
        fprintf(stderr, "usage: slow_fuse SOURCE MOUNTPOINT [FUSE options]\n");
        return 2;
    }
    argv[1] = argv[0]; /* fuse_main sees: program MOUNTPOINT options */
    return fuse_main(argc - 1, argv + 1, &slow_operations, NULL);
}
