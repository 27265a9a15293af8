// An https:// stream, served by openssl s_server with a certificate made for the test.
#include "audio_test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace hvn {
namespace {

using namespace std::chrono_literals;

int free_port() {
    test::TestHttpServer probe([](test::Connection &) {}, false);
    return std::stoi(probe.url().substr(probe.url().rfind(':') + 1));
}

class TlsServer {
public:
    // Serves the files of dir (openssl's -WWW mode) on port.
    TlsServer(const std::filesystem::path &dir, int port) {
        std::vector<std::string> args = {"openssl",
                                         "s_server",
                                         "-quiet",
                                         "-accept",
                                         std::to_string(port),
                                         "-cert",
                                         (dir / "c.pem").string(),
                                         "-key",
                                         (dir / "k.pem").string(),
                                         "-WWW"};
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, "openssl", &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~TlsServer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool running() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

TEST(HttpsTest, Stream_httpsUrl_readyAndPlays) {
    if (test::run_command("command -v openssl >/dev/null") != 0)
        GTEST_SKIP() << "openssl is not installed";
    auto dir = std::filesystem::temp_directory_path() / ("hvn-tls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ASSERT_EQ(test::run_command("openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 "
                                "-days 1 -keyout " +
                                (dir / "k.pem").string() + " -out " + (dir / "c.pem").string() +
                                " 2>/dev/null"),
              0);
    std::ofstream(dir / "s.mp3", std::ios::binary) << test::sine_mp3();
    const int port = free_port();
    TlsServer server(dir, port);
    ASSERT_TRUE(server.running());
    auto system = test::make_system(FmodOutput::NoSound);
    ASSERT_TRUE(system);
    const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/s.mp3";
    // The server takes a moment to listen: a refused connection is tried again.
    test::OpenState s;
    auto end = test::Clock::now() + 5s;
    do {
        auto sound = system->CreateStreamURL(url, 0x10008, nullptr);
        ASSERT_TRUE(sound);
        s = test::wait_state(
            *system, *sound, [](const auto &o) { return is_ready(o) || is_error(o); }, 3s);
        if (test::is_ready(s)) {
            auto channel = system->PlaySound(-1, sound, 0, nullptr);
            ASSERT_TRUE(channel);
            int playing = 0;
            channel->IsPlaying(playing);
            EXPECT_EQ(playing, 1);
            break;
        }
        std::this_thread::sleep_for(100ms);
    } while (test::Clock::now() < end);
    EXPECT_TRUE(test::is_ready(s)) << FMODErrorString(s.result);
    system->SystemRelease();
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace hvn
