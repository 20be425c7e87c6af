/* A stand-in for the Firebird server executable. It records how it was started in the file beside
 * itself named like it with ".rec" appended, and ends. The record is fields ended by a zero byte:
 * "argv=" and one argument, for each argument; "cwd=" and the current directory; "mark=" and the
 * value of ZELWAN_FAKE_MARK; "fd=" and the number, for each open descriptor. The record appears at
 * once, complete (written beside and renamed). */
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void Field(FILE* out, const char* name, const char* value) {
    fprintf(out, "%s=%s", name, value ? value : "");
    fputc('\0', out);
}

int main(int argc, char** argv) {
    char exe[8192];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 8);
    if (n <= 0)
        return 2;
    exe[n] = '\0';
    int fds[64];
    int fdCount = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return 3;
    for (struct dirent* e; (e = readdir(dir)) != NULL && fdCount < 64;)
        if (e->d_name[0] != '.' && atoi(e->d_name) != dirfd(dir))
            fds[fdCount++] = atoi(e->d_name);
    closedir(dir);

    char rec[8200], part[8200], cwd[8192];
    snprintf(rec, sizeof rec, "%s.rec", exe);
    snprintf(part, sizeof part, "%s.part", exe);
    FILE* out = fopen(part, "wb");
    if (!out)
        return 4;
    for (int i = 0; i < argc; ++i)
        Field(out, "argv", argv[i]);
    Field(out, "cwd", getcwd(cwd, sizeof cwd));
    Field(out, "mark", getenv("ZELWAN_FAKE_MARK"));
    for (int i = 0; i < fdCount; ++i) {
        char number[16];
        snprintf(number, sizeof number, "%d", fds[i]);
        Field(out, "fd", number);
    }
    if (fclose(out) != 0 || rename(part, rec) != 0)
        return 5;
    return 0;
}
