// Preloaded into the program: a name lookup of $HVN_SLOW_LOOKUP_HOST answers only after a
// minute, as behind a DNS server that swallows queries, and adds a line to
// $HVN_SLOW_LOOKUP_MARK for every such lookup asked. Every other name is looked up as usual.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <netdb.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

typedef int (*LookupFn)(const char *, const char *, const struct addrinfo *, struct addrinfo **);

int getaddrinfo(const char *node, const char *service, const struct addrinfo *hints,
                struct addrinfo **res) {
    const char *slow = getenv("HVN_SLOW_LOOKUP_HOST");
    if (node && slow && strcmp(node, slow) == 0) {
        const char *mark = getenv("HVN_SLOW_LOOKUP_MARK");
        const int fd = mark ? open(mark, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644) : -1;
        if (fd >= 0) {
            (void)!write(fd, "asked\n", 6);
            close(fd);
        }
        struct timespec left = {60, 0};
        while (nanosleep(&left, &left) != 0) {
        }
        return EAI_AGAIN;
    }
    const LookupFn real = (LookupFn)dlsym(RTLD_NEXT, "getaddrinfo");
    return real(node, service, hints, res);
}
