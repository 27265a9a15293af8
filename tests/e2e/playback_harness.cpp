#include "e2e/playback_harness.h"

#include "app/gadgets.h"
#include "app/main_loop.h"
#include "app/startup.h"
#include "app/texts.h"
#include "app/window.h"
#include "catalogue/station_files.h"
#include "catalogue/station_list.h"
#include "config/embedded_files.h"
#include "config/settings.h"
#include "config/skins.h"
#include "config/translations.h"
#include "core/fs.h"
#include "core/zip.h"
#include "events/queue.h"
#include "events/timer.h"
#include "gui/canvas/draw2d.h"
#include "playback/current_station.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

extern char **environ;

namespace hvn::test {

bool ServicesRequired() {
    const char *v = std::getenv("HALVANE_TEST_SERVICES");
    return v && std::string(v) == "1";
}

bool HaveEnv(const char *name) {
    const char *v = std::getenv(name);
    return v && *v;
}

int IcecastPort() {
    return std::atoi(std::getenv("HALVANE_ICECAST_PORT"));
}

std::string IcecastUrl(const std::string &mount) {
    return "http://127.0.0.1:" + std::to_string(IcecastPort()) + mount;
}

namespace {

struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
};

sockaddr_in Loopback(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

std::string Base64(const std::string &in) {
    static const char *abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const uint32_t v = uint8_t(in[i]) << 16 | uint8_t(in[i + 1]) << 8 | uint8_t(in[i + 2]);
        for (int s = 18; s >= 0; s -= 6) {
            out += abc[(v >> s) & 63];
        }
    }
    if (i < in.size()) {
        uint32_t v = uint8_t(in[i]) << 16;
        if (i + 1 < in.size()) {
            v |= uint8_t(in[i + 1]) << 8;
        }
        out += abc[(v >> 18) & 63];
        out += abc[(v >> 12) & 63];
        out += i + 1 < in.size() ? abc[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string UrlEncode(const std::string &text) {
    std::string out;
    char buf[4];
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
            out += static_cast<char>(c);
        } else {
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

void PutLe(std::string &s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        s += static_cast<char>((v >> (8 * i)) & 0xff);
    }
}

TickScript g_script;
int g_ticks = 0;

void WaitOnTimerPipe(int ms) {
    pollfd p{TimerWakeFd(), POLLIN, 0};
    ::poll(&p, p.fd >= 0 ? 1 : 0, ms);
    DeliverTimerTicks();
    PollSystem();
}

// Only a blocking wait (the connecting loop's) gets a tick; a poll just pumps.
void ScriptedPump(double timeout) {
    PollSystem();
    if (timeout >= 0 || QueuedEventCount() > 0) {
        return;
    }
    const int delay = g_script ? g_script(g_ticks) : 0;
    if (delay > 0) {
        WaitOnTimerPipe(delay);
    }
    if (QueuedEventCount() > 0) {
        return;
    }
    ++g_ticks;
    QueueEvent(Tick(OpenWaitTimer.get()));
}

// Outside a script nothing may block forever: a bounded wait on the timers' pipe.
void BoundedPump(double timeout) {
    WaitOnTimerPipe(timeout < 0 ? 50 : int(timeout * 1000));
}

} // namespace

int DeadPort() {
    Fd s(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr = Loopback(0);
    ::bind(s.fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(s.fd, reinterpret_cast<sockaddr *>(&addr), &len);
    return ntohs(addr.sin_port); // closed on return: nobody listens there
}

double Recording::Rms(int channel) const {
    double sum = 0;
    size_t n = 0;
    for (size_t i = channel; i < samples.size(); i += 2, ++n) {
        sum += double(samples[i]) * samples[i];
    }
    return n ? std::sqrt(sum / n) : 0.0;
}

double Recording::Frequency(int channel) const {
    int crossings = 0;
    size_t n = 0;
    for (size_t i = channel + 2; i < samples.size(); i += 2, ++n) {
        if ((samples[i - 2] < 0) != (samples[i] < 0)) {
            ++crossings;
        }
    }
    return n ? crossings / 2.0 / (n / 44100.0) : 0.0;
}

Recording RecordMonitor(double seconds, double settle) {
    int pipeFds[2];
    Recording rec;
    if (::pipe(pipeFds) != 0) {
        return rec;
    }
    Fd readEnd(pipeFds[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    const char *argv[] = {"parec",          "-d",           "test_sink.monitor",
                          "--format=s16le", "--rate=44100", "--channels=2",
                          "--raw",          nullptr};
    pid_t pid = -1;
    const int rc =
        posix_spawnp(&pid, "parec", &actions, nullptr, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        return rec;
    }
    const size_t skip = size_t(settle * 44100) * 4;
    const size_t want = skip + size_t(seconds * 44100) * 4;
    std::string bytes;
    char buf[8192];
    // A sink with nothing to play may deliver nothing at all: the wait is bounded, and
    // what came until then is the recording.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(int((settle + seconds) * 1000) + 10000);
    while (bytes.size() < want) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{readEnd.fd, POLLIN, 0};
        const int ready = left.count() > 0 ? ::poll(&p, 1, int(left.count())) : 0;
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        const ssize_t got = ::read(readEnd.fd, buf, sizeof buf);
        if (got <= 0) {
            break;
        }
        bytes.append(buf, size_t(got));
    }
    ::kill(pid, SIGINT);
    ::waitpid(pid, nullptr, 0);
    if (bytes.size() > skip) {
        const size_t n = (bytes.size() - skip) / 2;
        rec.samples.resize(n);
        std::memcpy(rec.samples.data(), bytes.data() + skip, n * 2);
    }
    return rec;
}

bool SetIcecastSong(const std::string &mount, const std::string &song) {
    Fd s(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr = Loopback(IcecastPort());
    if (::connect(s.fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        return false;
    }
    const std::string auth =
        Base64(std::string("admin:") + std::getenv("HALVANE_ICECAST_ADMIN_PASS"));
    const std::string request =
        "GET /admin/metadata?mount=" + UrlEncode(mount) + "&mode=updinfo&song=" + UrlEncode(song) +
        " HTTP/1.0\r\nHost: 127.0.0.1\r\nAuthorization: Basic " + auth + "\r\n\r\n";
    if (::send(s.fd, request.data(), request.size(), MSG_NOSIGNAL) < 0) {
        return false;
    }
    std::string reply;
    char buf[1024];
    ssize_t got;
    while ((got = ::recv(s.fd, buf, sizeof buf, 0)) > 0) {
        reply.append(buf, size_t(got));
    }
    return reply.find(" 200 ") != std::string::npos;
}

void BeginScriptedTicks(TickScript script) {
    g_script = std::move(script);
    g_ticks = 0;
    SetEventPump(ScriptedPump);
}

void EndScriptedTicks() {
    g_script = nullptr;
    SetEventPump(BoundedPump);
}

void WaitMs(int ms) {
    WaitOnTimerPipe(ms);
    if (FMODSystem) {
        FMODSystem->Update();
    }
}

bool WaitUntil(const std::function<bool()> &done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        WaitMs(20);
    }
    return true;
}

bool MonitorReaches(const std::function<bool(const Recording &)> &done) {
    return WaitUntil([&] { return done(RecordMonitor(0.1, 0)); });
}

void DispatchQueued() {
    while (const Event *e = PollEvent()) {
        DispatchEvent(*e);
    }
}

void Dispatch(const Event &event) {
    QueueEvent(event);
    DispatchQueued();
}

Event Press(Gadget *g, int button) {
    Event e;
    e.id = MouseDown;
    e.source = g;
    e.data = button;
    return e;
}

Event Release(Gadget *g, int button) {
    Event e = Press(g, button);
    e.id = MouseUp;
    return e;
}

Event Tick(const void *timer) {
    Event e;
    e.id = TimerTick;
    e.source = timer;
    e.data = 1;
    return e;
}

bool StartProgram(const std::string &dir) {
    static bool started = false;
    static bool ok = false;
    if (started) {
        return ok;
    }
    started = true;
    if (!HaveEnv("DISPLAY") || !HaveEnv("PULSE_SERVER") || !HaveEnv("HALVANE_ICECAST_PORT")) {
        return false;
    }
    if (!ChangeDir(dir) || !InitGui()) {
        return false;
    }
    KeepCanvasFrames(true);
    RegisterEmbeddedFiles();
    InitTranslationsModule();
    const Rgb background = LookupGuiColor(0);
    BackgroundRed = background.r;
    BackgroundGreen = background.g;
    BackgroundBlue = background.b;
    // Slow timers: the tests post every tick themselves.
    HousekeepingTimer = Timer::Create(0.001);
    OpenWaitTimer = Timer::Create(0.001);
    SpectrumTimer = Timer::Create(0.001);
    LoadSettings();
    LoadTranslations(LanguageIndex);
    FMODSystem = TFMODSystem::Create();
    if (!FMODSystem || FMODSystem->SetOutput(FmodOutput::PulseAudio) != 0 ||
        FMODSystem->Init(8, 0, nullptr) != 0) {
        return false;
    }
    AddEmitHook(0, SpectrumPaintFilterHook);
    BuildMainWindow();
    SetLabelColors(LabelRed, LabelGreen, LabelBlue);
    ApplyLanguageTexts(LanguageIndex);
    FillSkinList();
    ApplySelectedSkin();
    EndScriptedTicks();
    ReloadStations();
    ShowGadget(MainWindow);
    ok = true;
    return ok;
}

void ReloadStations() {
    LoadStationCatalogue();
    FillStationList(0, 0);
}

int ListIndexOf(const std::string &name) {
    for (int i = 0; i < CountGadgetItems(StationListBox); ++i) {
        if (GadgetItemText(StationListBox, i) == name) {
            return i;
        }
    }
    return -1;
}

void WriteStation(const std::string &file, const std::vector<std::string> &lines,
                  const std::string &logo) {
    std::string id;
    for (size_t i = 0; i < lines.size(); ++i) {
        id += (i ? "\r\n" : "") + lines[i];
    }
    std::vector<ZipMember> members{{"station_id.txt", id}};
    if (!logo.empty()) {
        members.push_back({"station_ico.png", logo});
    }
    CreateDir("stations");
    WriteZip("stations/" + file, members);
}

std::string SolidBmp(int w, int h, int r, int g, int b) {
    const int row = (w * 3 + 3) & ~3;
    std::string bmp = "BM";
    PutLe(bmp, 54 + row * h, 4);
    PutLe(bmp, 0, 4);
    PutLe(bmp, 54, 4);
    PutLe(bmp, 40, 4);
    PutLe(bmp, uint32_t(w), 4);
    PutLe(bmp, uint32_t(h), 4);
    PutLe(bmp, 1, 2);
    PutLe(bmp, 24, 2);
    PutLe(bmp, 0, 4);
    PutLe(bmp, uint32_t(row * h), 4);
    PutLe(bmp, 2835, 4);
    PutLe(bmp, 2835, 4);
    PutLe(bmp, 0, 4);
    PutLe(bmp, 0, 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            bmp += char(b);
            bmp += char(g);
            bmp += char(r);
        }
        bmp.append(size_t(row - w * 3), '\0');
    }
    return bmp;
}

const World &StartWorld() {
    static World world;
    static bool made = false;
    if (made) {
        return world;
    }
    made = true;
    if (!HaveEnv("DISPLAY") || !HaveEnv("PULSE_SERVER") || !HaveEnv("HALVANE_ICECAST_PORT")) {
        return world;
    }
    char pattern[] = "/tmp/hvn-e2e-playback-XXXXXX";
    if (!::mkdtemp(pattern) || !ChangeDir(pattern)) {
        return world;
    }
    world.dir = pattern;
    CreateDir("db");
    world.deadUrl = "http://127.0.0.1:" + std::to_string(DeadPort()) + "/dead.mp3";
    const std::string white = SolidBmp(274, 87, 255, 255, 255);
    WriteStation("a_two.hvn",
                 {"Two URL Station", "http://www.example.com/home page", "12", "2", world.deadUrl,
                  IcecastUrl("/live.mp3")},
                 white);
    WriteStation("b_left.hvn",
                 {"Left Station", "http://left.example/", "3", "1", IcecastUrl("/left.mp3")},
                 white);
    WriteStation("c_short.hvn", {"Short Station", "http://short.example/", "5"}, "not an image");
    world.started = StartProgram(world.dir);
    std::atexit([] { std::filesystem::remove_all(world.dir); });
    return world;
}

} // namespace hvn::test
