#include "core/browser.h"

#include "core/posix_io.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace hvn {

namespace {

// Runs in the grandchild: exec, or report errno through the pipe. Only async-signal-safe
// calls here, since other threads of the parent may hold locks.
[[noreturn]] void ExecOrReport(char *const argv[], int reportFd) {
    // The program ignores SIGPIPE; the browser should not inherit that.
    ::signal(SIGPIPE, SIG_DFL);
    ::execvp(argv[0], argv);
    int error = errno;
    ssize_t ignored = ::write(reportFd, &error, sizeof error);
    (void)ignored;
    ::_exit(127);
}

// The intermediate child exits at once, so the browser is adopted by init and reaped
// there: no zombie is left behind and no SIGCHLD handler is needed.
[[noreturn]] void ForkBrowser(char *const argv[], int reportFd) {
    ::setsid();
    pid_t pid = ::fork();
    if (pid == 0) {
        ExecOrReport(argv, reportFd);
    }
    if (pid < 0) {
        int error = errno;
        ssize_t ignored = ::write(reportFd, &error, sizeof error);
        (void)ignored;
    }
    ::_exit(0);
}

pid_t WaitChild(pid_t pid) {
    pid_t rc;
    while ((rc = ::waitpid(pid, nullptr, 0)) < 0 && errno == EINTR) {
    }
    return rc;
}

} // namespace

std::vector<std::string> BrowserCommand(const std::string &url) {
    if (std::getenv("KDE_FULL_DESKTOP")) {
        return {"kfmclient", "exec", url};
    }
    if (std::getenv("GNOME_DESKTOP_SESSION_ID")) {
        return {"gnome-open", url};
    }
    return {"xdg-open", url};
}

bool OpenURL(const std::string &url) {
    std::vector<std::string> command = BrowserCommand(url);
    // argv is built before fork: the child must not allocate.
    std::vector<char *> argv;
    for (std::string &part : command) {
        argv.push_back(part.data());
    }
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    UniqueFd readEnd(fds[0]);
    UniqueFd writeEnd(fds[1]);
    pid_t pid = ::fork();
    if (pid == 0) {
        ForkBrowser(argv.data(), writeEnd.get());
    }
    writeEnd.Close();
    if (pid < 0) {
        return false;
    }
    WaitChild(pid);
    // The pipe closes on a successful exec (close-on-exec) and carries errno otherwise.
    int error = 0;
    ssize_t n;
    while ((n = ::read(readEnd.get(), &error, sizeof error)) < 0 && errno == EINTR) {
    }
    return n == 0;
}

} // namespace hvn
