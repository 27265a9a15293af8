// Station list fills over a 10,000-station catalogue, per category, and the time from
// process start until the real program's window shows that catalogue.
// Needs DISPLAY (Xvfb) and, for the start-up figure, a sound server (PULSE_SERVER).
#include "app/gadgets.h"
#include "app/window.h"
#include "audio/fmod.h"
#include "catalogue/station_files.h"
#include "catalogue/station_list.h"
#include "config/embedded_files.h"
#include "config/settings.h"
#include "config/translations.h"
#include "core/fs.h"
#include "core/strings.h"
#include "core/zip.h"
#include "playback/current_station.h"
#include "e2e/program_process.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kStations = 10000;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void WriteCatalogue() {
    hvn::CreateDir("stations");
    hvn::CreateDir("db");
    const time_t now = ::time(nullptr);
    for (int i = 0; i < kStations; ++i) {
        const std::string file = "station" + std::to_string(i) + ".hvn";
        const std::string text = "Station " + std::to_string(i) + "\r\nhttp://example.invalid\r\n" +
                                 std::to_string(i % 25) + "\r\n1\r\nhttp://127.0.0.1:9/none";
        hvn::WriteZip("stations/" + file, {hvn::ZipMember{"station_id.txt", text, 0}});
        // Files of different ages, as a catalogue grown over years holds, for the newest
        // category to sort.
        const timeval times[2] = {{now - i * 3600L, 0}, {now - (i * 7919L % kStations) * 3600, 0}};
        ::utimes(("stations/" + file).c_str(), times);
        // 2,000 rating files: every fifth station rated 0 to 5, every other one of them a
        // favourite.
        if (i % 5 == 0)
            hvn::SaveStationDb(hvn::RatingFilePath(file), static_cast<unsigned char>(i / 5 % 6),
                               static_cast<unsigned char>(i / 5 % 2 == 0));
        if (i < 21)
            hvn::RecentStations.push_back(hvn::Upper(file));
    }
}

bool BuildWindow() {
    if (!hvn::InitGui())
        return false;
    hvn::RegisterEmbeddedFiles();
    hvn::InitTranslationsModule();
    hvn::LoadSettings();
    hvn::LoadTranslations(hvn::LanguageIndex);
    hvn::FMODSystem = hvn::TFMODSystem::Create();
    hvn::FMODSystem->SetOutput(hvn::FmodOutput::NoSound);
    if (hvn::FMODSystem->Init(8, 0, nullptr) != 0)
        return false;
    hvn::BuildMainWindow();
    return true;
}

void BenchFills() {
    std::printf("FillStationList over %d stations (median of 5, ms):\n", kStations);
    std::printf("  category  all  favourites-only  items\n");
    double worst = 0;
    for (int category = 0; category <= 27; ++category) {
        double median[2];
        int items = 0;
        for (int favOnly = 0; favOnly < 2; ++favOnly) {
            std::vector<double> runs;
            for (int run = 0; run < 5; ++run) {
                const auto start = Clock::now();
                hvn::FillStationList(favOnly, category);
                runs.push_back(Ms(Clock::now() - start));
            }
            std::sort(runs.begin(), runs.end());
            median[favOnly] = runs[2];
            worst = std::max(worst, runs[2]);
            if (favOnly == 0)
                items = hvn::CountGadgetItems(hvn::StationListBox);
        }
        std::printf("  %8d %6.2f %8.2f %14d\n", category, median[0], median[1], items);
    }
    std::printf("  slowest category: %.2f ms (goal < 20 ms, %.2f x the goal)\n", worst, worst / 20);
}

// The top-level window named " Halvane" once it is mapped; 0 on time-out.
Window WaitForMap(Display *display, Clock::time_point deadline) {
    XEvent event;
    while (Clock::now() < deadline) {
        XNextEvent(display, &event);
        if (event.type != MapNotify)
            continue;
        char *name = nullptr;
        if (XFetchName(display, event.xmap.window, &name) && name) {
            const bool ours = std::strcmp(name, " Halvane") == 0;
            XFree(name);
            if (ours)
                return event.xmap.window;
        }
    }
    return 0;
}

// True once the first list row shows text: a white row (not the unpainted black of a
// fresh window, nor the player page) with dark letters in it.
bool ListDrawn(Display *display, Window window) {
    XImage *image = XGetImage(display, window, 2, 2, 60, 12, AllPlanes, ZPixmap);
    if (!image)
        return false;
    int dark = 0, white = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 60; ++x) {
            const unsigned long blue = XGetPixel(image, x, y) & 0xff;
            dark += blue < 100;
            white += blue > 240;
        }
    XDestroyImage(image);
    return dark > 0 && white > 60 * 12 / 2;
}

void BenchStartup() {
    if (!std::getenv("PULSE_SERVER")) {
        std::printf("start-up: skipped (PULSE_SERVER is not set)\n");
        return;
    }
    if (!hvn::CopyFile(HALVANE_BINARY_DIR "/halvane", "halvane")) {
        std::printf("start-up: skipped (build the halvane target first)\n");
        return;
    }
    ::chmod("halvane", 0755);
    Display *display = XOpenDisplay(nullptr);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    pid_t pid = 0;
    char path[] = "./halvane";
    char *argv[] = {path, nullptr};
    const auto start = Clock::now();
    if (posix_spawn(&pid, path, nullptr, nullptr, argv, environ) != 0) {
        std::printf("start-up: could not start the program\n");
        return;
    }
    const Window window = WaitForMap(display, start + std::chrono::seconds(60));
    const auto mapped = Clock::now();
    // The list's pixels are only readable by asking; ask every 2 ms.
    while (window && !ListDrawn(display, window) && Clock::now() - start < std::chrono::seconds(60))
        ::usleep(2000);
    const auto drawn = Clock::now();
    std::printf(
        "start-up with %d stations: window mapped after %.0f ms, list shown after %.0f ms "
        "(goal < 400 ms, %.2f x the goal)\n",
        kStations, Ms(mapped - start), Ms(drawn - start), Ms(drawn - start) / 400);
    if (window)
        hvn::test::CloseWindow(display, window);
    int status = 0;
    ::waitpid(pid, &status, 0);
    XCloseDisplay(display);
}

} // namespace

int main() {
    if (!std::getenv("DISPLAY")) {
        std::printf("app_bench: DISPLAY is not set\n");
        return 0;
    }
    char pattern[] = "/tmp/hvn-app-bench-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    hvn::ChangeDir(dir);
    const auto start = Clock::now();
    WriteCatalogue();
    std::printf("catalogue written in %.0f ms\n", Ms(Clock::now() - start));
    if (!BuildWindow()) {
        std::printf("app_bench: the window could not be built\n");
        return 1;
    }
    const auto load = Clock::now();
    hvn::LoadStationCatalogue();
    std::printf("LoadStationCatalogue: %.0f ms\n", Ms(Clock::now() - load));
    BenchFills();
    BenchStartup();
    hvn::ChangeDir("/");
    hvn::DeleteDir(dir, true);
    return 0;
}
