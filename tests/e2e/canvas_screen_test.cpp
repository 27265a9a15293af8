// The real binary playing a local stream: what its canvases show on the screen, read back
// from the X server, follows the drawing formulas pixel for pixel. The logo is a pattern
// whose every component is at least 40, so that a black outline always shows on it.
#include "core/fs.h"
#include "core/text_file.h"
#include "core/zip.h"
#include "e2e/playback_harness.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <thread>

// Last: Xlib's macros (None, Bool) would break the headers above.
#include "e2e/program_process.h"

#include <X11/Xutil.h>

namespace hvn {
namespace {

using namespace test;
using Clock = std::chrono::steady_clock;

constexpr int kW = 274, kH = 87; // the spectrum canvas
constexpr int kCanvasX = 2, kCanvasY = 33;
constexpr int kMeterY = 133, kMeterW = 10, kMeterH = 15;
constexpr int kLeftMeterX = 211, kRightMeterX = 222;

uint32_t LogoAt(int x, int y) {
    const uint32_t r = 40 + (x * 7) % 200, g = 40 + (y * 11 + x) % 200,
                   b = 40 + (x * 3 + y * 5) % 200;
    return r | g << 8 | b << 16;
}

int C(uint32_t p, int i) {
    return int((p >> (8 * i)) & 0xff);
}

// 8-bit blending as GL does it: each product rounded on its own.
int Mix(int src, int dst, int alpha) {
    auto mul = [](int a, int b) { return (a * b + 128 + ((a * b + 128) >> 8)) >> 8; };
    return std::min(255, mul(src, alpha) + mul(dst, 255 - alpha));
}

uint32_t Blend(uint32_t dst, std::array<int, 3> src, int alpha) {
    return uint32_t(Mix(src[0], C(dst, 0), alpha)) | uint32_t(Mix(src[1], C(dst, 1), alpha)) << 8 |
           uint32_t(Mix(src[2], C(dst, 2), alpha)) << 16;
}

// Within one step of 8-bit rounding on each component (a GPU may round the other way).
bool Same(uint32_t a, uint32_t b) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(C(a, i) - C(b, i)) > 1)
            return false;
    return true;
}

// A screenshot of the whole window, r | g << 8 | b << 16.
struct Shot {
    int w = 0, h = 0;
    std::vector<uint32_t> px;
    uint32_t at(int x, int y) const { return px.at(size_t(y) * w + x); }
    uint32_t canvas(int x, int y) const { return at(kCanvasX + x, kCanvasY + y); }
};

class CanvasScreen : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *var : {"DISPLAY", "PULSE_SERVER", "HALVANE_ICECAST_PORT"})
            if (!HaveEnv(var)) {
                if (ServicesRequired())
                    FAIL() << var << " is not set";
                GTEST_SKIP() << var << " is not set";
            }
        char pattern[] = "/tmp/hvn-canvas-screen-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        ASSERT_TRUE(CopyFile(HALVANE_BINARY_DIR "/halvane", dir_ + "/halvane"));
        ::chmod((dir_ + "/halvane").c_str(), 0755);
        CreateDir(dir_ + "/stations");
        ASSERT_TRUE(
            WriteZip(dir_ + "/stations/screen.hvn",
                     {{"station_id.txt", "Screen Station\r\nhttp://screen.example/\r\n12\r\n1\r\n" +
                                             IcecastUrl("/live.mp3")},
                      {"station_ico.png", Bmp(kW, kH, LogoAt)}}));
        ASSERT_TRUE(SaveBytes(dir_ + "/hvn.ini", PlayingSettings("Screen Station", true)));
        display_ = XOpenDisplay(nullptr);
        ASSERT_TRUE(display_);
        IgnoreXErrors();
        XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
        XSync(display_, False);
        const std::string binary = dir_ + "/halvane";
        pid_ = Spawn({binary});
        ASSERT_GT(pid_, 0);
        window_ = WaitForMap(display_, Clock::now() + std::chrono::seconds(30));
        ASSERT_NE(window_, 0u) << "no window";
    }

    void TearDown() override {
        if (display_ && window_)
            CloseWindow(display_, window_);
        if (pid_ > 0) {
            for (int i = 0; i < 50 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (display_)
            XCloseDisplay(display_);
        if (!dir_.empty())
            DeleteDir(dir_, true);
    }

    Shot Grab() {
        Shot shot;
        XWindowAttributes wa;
        XGetWindowAttributes(display_, window_, &wa);
        XImage *image = XGetImage(display_, window_, 0, 0, unsigned(wa.width), unsigned(wa.height),
                                  AllPlanes, ZPixmap);
        if (!image)
            return shot;
        shot.w = wa.width, shot.h = wa.height;
        for (int y = 0; y < shot.h; ++y)
            for (int x = 0; x < shot.w; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                shot.px.push_back(uint32_t((p >> 16) & 0xff) | uint32_t((p >> 8) & 0xff) << 8 |
                                  uint32_t(p & 0xff) << 16);
            }
        XDestroyImage(image);
        return shot;
    }

    // The newest screenshot that satisfies `ok`, within `seconds`.
    Shot GrabUntil(const std::function<bool(const Shot &)> &ok, double seconds) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        Shot shot = Grab();
        while (!(shot.w >= kCanvasX + kW && ok(shot)) && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            shot = Grab();
        }
        return shot;
    }

    void RightClickCanvas() {
        ASSERT_TRUE(test::Run({"xdotool", "mousemove", "--window", std::to_string(window_), "100",
                               "70", "click", "3"}));
    }

    std::string dir_;
    Display *display_ = nullptr;
    Window window_ = 0;
    pid_t pid_ = -1;
};

int CountWrong(const Shot &shot, const std::vector<uint32_t> &want, const char *what) {
    int wrong = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (!Same(shot.canvas(x, y), want[size_t(y) * kW + x]) && ++wrong <= 5)
                ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << std::hex
                              << shot.canvas(x, y) << ", want " << want[size_t(y) * kW + x];
    return wrong;
}

// Bar lengths read off the screen: the outline's top row differs from the logo wherever a
// bar is. Column 137 holds both channels' bars.
int BarLength(const Shot &shot, int row, bool left) {
    const int y = 81 - 5 * row;
    const int step = left ? 1 : -1;
    int x = left ? 138 : 136, n = 0;
    while (x >= 0 && x < kW && shot.canvas(x, y) != LogoAt(x, y))
        x += step, ++n;
    return n > 0 ? n + 1 : 0;
}

// The bar picture for the lengths on screen, made by the formulas: per channel each bar
// at alpha 204 with its black outline, then the dark edge line.
std::vector<uint32_t> BarsPicture(const Shot &shot) {
    std::vector<uint32_t> px(size_t(kW) * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            px[size_t(y) * kW + x] = LogoAt(x, y);
    auto fill = [&](int x0, int x1, int y0, int y1, std::array<int, 3> color) {
        for (int y = std::max(y0, 0); y < std::min(y1, kH); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, kW); ++x)
                px[size_t(y) * kW + x] = Blend(px[size_t(y) * kW + x], color, 204);
    };
    const std::array<int, 3> black{0, 0, 0};
    for (bool left : {true, false}) {
        for (int i = 0; i < 17; ++i) {
            const int n = BarLength(shot, i, left);
            if (n == 0)
                continue;
            const int x0 = left ? 137 : 138 - n, x1 = x0 + n, y0 = 81 - 5 * i;
            fill(x0, x1, y0, y0 + 5, {std::min(32 * i, 255), std::min(16 * i, 255), 128 + 2 * i});
            fill(x0, x1, y0, y0 + 1, black);
            fill(x0, x1, y0 + 4, y0 + 5, black);
            fill(x0, x0 + 1, y0 + 1, y0 + 4, black);
            fill(x1 - 1, x1, y0 + 1, y0 + 4, black);
        }
        fill(left ? 0 : 273, left ? 1 : 274, 0, kH, black);
    }
    return px;
}

// A meter: a column of one colour rising from the bottom over the grey background.
void ExpectMeter(const Shot &shot, int meterX, const char *what) {
    const uint32_t grey = 192 | 192 << 8 | 192 << 16;
    const uint32_t bottom = shot.at(meterX + 5, kMeterY + kMeterH - 1);
    int level = 0;
    while (level < kMeterH && shot.at(meterX + 5, kMeterY + kMeterH - 1 - level) == bottom &&
           bottom != grey)
        ++level;
    for (int y = 0; y < kMeterH; ++y)
        for (int x = 0; x < kMeterW; ++x)
            EXPECT_EQ(shot.at(meterX + x, kMeterY + y), y >= kMeterH - level ? bottom : grey)
                << what << " pixel " << x << "," << y << " with level " << level;
}

// The graph: in each column the curve is one run hanging from row 1, every pixel of it the
// logo mixed at alpha 153 with one colour per half; row 0 and the edge columns keep the
// logo.
void ExpectGraph(const Shot &shot) {
    for (int half = 0; half < 2; ++half) {
        std::array<std::array<bool, 256>, 3> fits{};
        for (auto &f : fits)
            f.fill(true);
        const int x0 = half == 0 ? 1 : 137, x1 = half == 0 ? 137 : 273;
        int covered = 0;
        for (int x = x0; x < x1; ++x) {
            bool inRun = true;
            for (int y = 1; y < kH; ++y) {
                const uint32_t got = shot.canvas(x, y), logo = LogoAt(x, y);
                if (got == logo) {
                    inRun = false;
                    continue;
                }
                ASSERT_TRUE(inRun)
                    << "column " << x << " is not one run from row 1 (row " << y << ")";
                ++covered;
                for (int i = 0; i < 3; ++i)
                    for (int c = 0; c < 256; ++c)
                        fits[i][c] = fits[i][c] && Mix(c, C(logo, i), 153) == C(got, i);
            }
        }
        EXPECT_GT(covered, 0) << "half " << half << " shows no curve";
        for (int i = 0; i < 3; ++i)
            EXPECT_NE(std::find(fits[i].begin(), fits[i].end(), true), fits[i].end())
                << "half " << half << ": no one colour at alpha 0.6 gives component " << i;
    }
    for (int x = 0; x < kW; ++x)
        EXPECT_EQ(shot.canvas(x, 0), LogoAt(x, 0)) << "row 0, column " << x;
    for (int y = 0; y < kH; ++y) {
        EXPECT_EQ(shot.canvas(0, y), LogoAt(0, y)) << "column 0, row " << y;
        EXPECT_EQ(shot.canvas(273, y), LogoAt(273, y)) << "column 273, row " << y;
    }
}

TEST_F(CanvasScreen, PlayingStation_LogoBarsMetersAndGraphExactOnScreen) {
    auto logoShown = [](const Shot &s) {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                if (s.canvas(x, y) != LogoAt(x, y))
                    return false;
        return true;
    };
    Shot shot = GrabUntil(logoShown, 20);
    ASSERT_TRUE(logoShown(shot)) << "the station's logo is not on the screen as it is in its file";
    ExpectMeter(shot, kLeftMeterX, "left meter");
    ExpectMeter(shot, kRightMeterX, "right meter");

    RightClickCanvas(); // bars
    auto barsShown = [](const Shot &s) {
        return s.canvas(0, 40) != LogoAt(0, 40) && BarLength(s, 1, true) > 0;
    };
    for (int frame = 0; frame < 3; ++frame) { // several frames, each exact
        shot = GrabUntil(barsShown, 10);
        ASSERT_TRUE(barsShown(shot)) << "no bars on the screen";
        EXPECT_EQ(CountWrong(shot, BarsPicture(shot), "bars"), 0);
        ExpectMeter(shot, kLeftMeterX, "left meter");
        ExpectMeter(shot, kRightMeterX, "right meter");
        std::this_thread::sleep_for(std::chrono::milliseconds(70));
    }

    RightClickCanvas(); // graph
    auto graphShown = [](const Shot &s) {
        return s.canvas(0, 40) == LogoAt(0, 40) && s.canvas(9, 2) != LogoAt(9, 2);
    };
    shot = GrabUntil(graphShown, 10);
    ASSERT_TRUE(graphShown(shot)) << "no graph on the screen";
    ExpectGraph(shot);
}

} // namespace
} // namespace hvn
