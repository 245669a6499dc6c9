/* The least a walk of file lengths must do on Linux, as the yardstick for
 * vorkstat: open each folder relative to its parent, read it with
 * getdents64, one fstatat per entry that is not a folder, nothing else.
 * Prints the total length in bytes. Links are not followed.
 *
 *     floor_walk DIR
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

struct dirent64_record {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

static int is_dot_name(const char *name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

static uint64_t walk(int fd);

static uint64_t walk_folder(int parent, const char *name) {
    int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    uint64_t total = walk(fd);
    close(fd);
    return total;
}

/* One buffer per level on the stack: the bench trees are a few dozen deep. */
static uint64_t walk(int fd) {
    _Alignas(8) char buffer[32768];
    uint64_t total = 0;
    for (;;) {
        long got = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (got <= 0) return total;
        for (long pos = 0; pos < got;) {
            struct dirent64_record *entry = (struct dirent64_record *)(buffer + pos);
            pos += entry->d_reclen;
            if (is_dot_name(entry->d_name)) continue;
            if (entry->d_type == DT_DIR) {
                total += walk_folder(fd, entry->d_name);
                continue;
            }
            struct stat st;
            if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISDIR(st.st_mode))
                total += walk_folder(fd, entry->d_name); /* a file system without types */
            else
                total += (uint64_t)st.st_size;
        }
    }
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: floor_walk DIR\n");
        return 2;
    }
    int top = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC); /* a link named here is followed */
    if (top < 0) {
        perror(argv[1]);
        return 1;
    }
    printf("%llu\n", (unsigned long long)walk(top));
    close(top);
    return 0;
}
