#include "core/browser.h"

#include "core/text_file.h"
#include "temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace hvn {
namespace {

// Sets or clears environment variables for one test and puts them back afterwards.
class EnvGuard {
public:
    void Set(const char *name, const char *value) {
        Remember(name);
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~EnvGuard() {
        for (auto &[name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

private:
    void Remember(const char *name) {
        const char *old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(Browser, BrowserCommand_DesktopVariables_PickTheLauncher) {
    struct Case {
        const char *kde;
        const char *gnome;
        std::vector<std::string> command;
    };
    const std::string url = "http://example.invalid/a b";
    const Case cases[] = {
        {"true", nullptr, {"kfmclient", "exec", url}},
        {nullptr, "this-is-deprecated", {"gnome-open", url}},
        {"true", "x", {"kfmclient", "exec", url}},
        {"", nullptr, {"kfmclient", "exec", url}}, // set, even if empty
        {nullptr, nullptr, {"xdg-open", url}},
    };
    for (const Case &c : cases) {
        EnvGuard env;
        env.Set("KDE_FULL_DESKTOP", c.kde);
        env.Set("GNOME_DESKTOP_SESSION_ID", c.gnome);
        EXPECT_EQ(BrowserCommand(url), c.command)
            << (c.kde ? c.kde : "-") << " " << (c.gnome ? c.gnome : "-");
    }
}

// True when this process has no child left, running or a zombie.
bool NoChildren() {
    return ::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD;
}

TEST(Browser, OpenURL_LauncherOnPath_GetsUrlAsOneArgumentAndLeavesNoZombie) {
    test::TempDir dir;
    std::string fifo = dir / "args";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A stand-in for xdg-open: no browser exists here. It reports its arguments.
    ASSERT_TRUE(
        SaveBytes(dir / "xdg-open",
                  "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " + fifo + "\n"));
    ASSERT_EQ(::chmod((dir / "xdg-open").c_str(), 0755), 0);
    EnvGuard env;
    env.Set("KDE_FULL_DESKTOP", nullptr);
    env.Set("GNOME_DESKTOP_SESSION_ID", nullptr);
    env.Set("PATH", (dir.path() + ":/usr/bin:/bin").c_str());

    int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const std::string url = "http://example.invalid/?a=1;touch $HOME/x&b=`id`";
    ASSERT_TRUE(OpenURL(url));
    EXPECT_TRUE(NoChildren());

    std::string got;
    for (;;) {
        pollfd p{reader, POLLIN, 0};
        ASSERT_GT(::poll(&p, 1, 10000), 0) << "launcher did not run";
        char buffer[256];
        ssize_t n = ::read(reader, buffer, sizeof buffer);
        if (n == 0) {
            break;
        }
        if (n > 0) {
            got.append(buffer, size_t(n));
        }
    }
    ::close(reader);
    EXPECT_EQ(got, url + "\n");
}

TEST(Browser, OpenURL_NoLauncher_ReturnsFalse) {
    test::TempDir dir;
    EnvGuard env;
    env.Set("KDE_FULL_DESKTOP", nullptr);
    env.Set("GNOME_DESKTOP_SESSION_ID", nullptr);
    env.Set("PATH", dir.path().c_str());
    EXPECT_FALSE(OpenURL("http://example.invalid/"));
    EXPECT_TRUE(NoChildren());
}

} // namespace
} // namespace hvn
