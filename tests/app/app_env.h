#pragma once
// Test set-up for the window: a temporary program directory, the X display (Xvfb),
// the text tables, a silent audio system and the real window built once per process.
#include "app/window.h"
#include "audio/fmod.h"
#include "catalogue/station_files.h"
#include "config/embedded_files.h"
#include "config/settings.h"
#include "config/translations.h"
#include "core/fs.h"
#include "core/zip.h"
#include "playback/current_station.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace hvn::test {

inline bool ServicesWanted() {
    const char *v = std::getenv("HALVANE_TEST_SERVICES");
    return v && std::string(v) == "1";
}

inline bool HasDisplay() {
    const char *d = std::getenv("DISPLAY");
    return d && *d;
}

// A fresh working directory for one test process, removed afterwards.
class ProgramDir {
public:
    ProgramDir() {
        char pattern[] = "/tmp/hvn-app-test-XXXXXX";
        const char *made = ::mkdtemp(pattern);
        path_ = made ? made : "";
        old_ = CurrentDir();
        ChangeDir(path_);
        CreateDir("stations");
        CreateDir("db");
        CreateDir("creator");
    }
    ~ProgramDir() {
        ChangeDir(old_);
        if (!path_.empty())
            DeleteDir(path_, true);
    }
    ProgramDir(const ProgramDir &) = delete;
    ProgramDir &operator=(const ProgramDir &) = delete;
    const std::string &path() const { return path_; }

private:
    std::string path_, old_;
};

// A station archive in "stations/" of the working directory.
inline void WriteStation(const std::string &file, const std::string &name, int genre,
                         const std::vector<std::string> &urls = {"http://127.0.0.1:9/none"}) {
    std::string text = name + "\r\nhttp://example.invalid\r\n" + std::to_string(genre) + "\r\n" +
                       std::to_string(urls.size());
    for (const auto &url : urls)
        text += "\r\n" + url;
    ASSERT_TRUE(WriteZip("stations/" + file, {ZipMember{"station_id.txt", text, 0}}));
}

inline void WriteRating(const std::string &file, int rating, int fav) {
    SaveStationDb(RatingFilePath(file), static_cast<unsigned char>(rating),
                  static_cast<unsigned char>(fav));
}

inline bool StartAudioSilently() {
    FMODSystem = TFMODSystem::Create();
    if (!FMODSystem)
        return false;
    FMODSystem->SetOutput(FmodOutput::NoSound);
    return FMODSystem->Init(8, 0, nullptr) == 0;
}

// The modules the window needs, in start-up order, then the window itself.
inline bool BuildTestWindow() {
    if (!InitGui()) {
        std::fprintf(stderr, "the X display does not answer\n");
        return false;
    }
    RegisterEmbeddedFiles();
    InitTranslationsModule();
    LoadSettings();
    LoadTranslations(LanguageIndex);
    if (!StartAudioSilently()) {
        std::fprintf(stderr, "the silent audio system does not start\n");
        return false;
    }
    BuildMainWindow();
    return true;
}

// The window is built once per process, in a program directory kept until exit; every
// test suite of the process shares it.
// False once a test has driven the window; construction-state checks need a fresh one
// (ctest runs every test in a process of its own).
inline bool &WindowFresh() {
    static bool fresh = true;
    return fresh;
}

inline bool EnsureTestWindow() {
    static ProgramDir dir; // removed when the process exits
    static bool built = BuildTestWindow();
    return built;
}

} // namespace hvn::test

// Returns from the test (skipped, or failed under the test services) without a display.
#define HVN_REQUIRE_DISPLAY()                                                                      \
    do {                                                                                           \
        if (!::hvn::test::HasDisplay()) {                                                          \
            if (::hvn::test::ServicesWanted())                                                     \
                FAIL() << "DISPLAY is not set";                                                    \
            GTEST_SKIP() << "DISPLAY is not set";                                                  \
        }                                                                                          \
    } while (0)
