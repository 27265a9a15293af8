#include "config/settings.h"

#include "core/failure_report.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "playback/current_station.h"

#include <array>
#include <cerrno>

namespace hvn {

unsigned char ListFavouritesOnly = 0;
unsigned char LanguageIndex = 4;
std::string SkinName;
int BufferSizeIndex = 0;
int Volume = 100;
int SaveStation = 0;
std::string LastStation;
int SaveWindowPosition = 0;
int WindowPositionX = 0;
int WindowPositionY = 0;
int StartMinimized = 0;
int ForceOpenGLDriver = 0;
int ShowErrors = 1;
int ShowSpectrumAnalyser = 1;
int WindowHeight = 154;
std::string UpdateServer = BuiltInUpdateServer;
std::string UpdateHomepage = BuiltInUpdateHomepage;
int AutoUpdate = 0;
std::string LastUpdate;
int CustomWindowColor = 0;
int BackgroundRed = 0;
int BackgroundGreen = 0;
int BackgroundBlue = 0;
int LabelRed = -1;
int LabelGreen = -1;
int LabelBlue = -1;

std::function<bool(int &x, int &y, int &outerHeight)> MainWindowGeometry;

std::string DownloadsPageUrl() {
    return std::string(BuiltInUpdateHomepage) + "downloads.html";
}

namespace {

const char SettingsFile[] = "hvn.ini";

// One of lines 4 to 25: its key, the padding the file carries after the key, and how
// its value is read and written.
struct SettingLine {
    const char *key;
    int blanks;
    int tabs;
    void (*read)(const std::string &value);
    std::string (*write)();
};

unsigned char LowByte(const std::string &v) {
    return static_cast<unsigned char>(StrToLong(v) & 0xFF);
}

// Each part is the number before the next ";"; without one the part reads as 0 and the
// following part starts from the same text again.
void ReadColour(std::string v, int &red, int &green, int &blue) {
    for (int *part : {&red, &green, &blue}) {
        const size_t semicolon = v.find(';');
        if (semicolon == std::string::npos) {
            *part = 0;
            continue;
        }
        *part = StrToInt(std::string_view(v).substr(0, semicolon));
        v.erase(0, semicolon + 1);
    }
}

std::string WriteColour(int red, int green, int blue) {
    return std::to_string(red) + ";" + std::to_string(green) + ";" + std::to_string(blue) + ";";
}

// A line end inside a value would shift every later line of the positional file.
std::string OneLine(const std::string &value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c != '\r' && c != '\n')
            out += c;
    }
    return out;
}

void KeepIfNotEmpty(const std::string &v, std::string &setting) {
    std::string trimmed = Trim(v);
    if (!trimmed.empty())
        setting = std::move(trimmed);
}

std::string Num(int n) {
    return std::to_string(n);
}

// clang-format off
const std::array<SettingLine, 22> &SettingLines() {
    static const std::array<SettingLine, 22> lines = {{
        {"Stationlist", 1, 2, [](const std::string &v) { ListFavouritesOnly = LowByte(v); },
         [] { return Num(ListFavouritesOnly); }},
        {"Language", 6, 2, [](const std::string &v) { LanguageIndex = LowByte(v); },
         [] { return Num(LanguageIndex); }},
        {"Skin", 6, 2, [](const std::string &v) { SkinName = v; },
         [] { return OneLine(SkinName); }},
        {"Buffersize", 5, 2, [](const std::string &v) { BufferSizeIndex = StrToInt(v); },
         [] { return Num(BufferSizeIndex); }},
        {"Volume", 8, 2, [](const std::string &v) { Volume = StrToInt(v); },
         [] { return Num(Volume); }},
        {"Save Station", 0, 2, [](const std::string &v) { SaveStation = StrToInt(v); },
         [] { return Num(SaveStation); }},
        {"Last Station", 0, 2, [](const std::string &v) { LastStation = v; },
         [] { return OneLine(LastStation); }},
        {"Save Window Position", 0, 1,
         [](const std::string &v) { SaveWindowPosition = StrToInt(v); },
         [] { return Num(SaveWindowPosition); }},
        {"Window PositionX", 0, 1,
         [](const std::string &v) { WindowPositionX = static_cast<int32_t>(StrToLong(v)); },
         [] { return Num(WindowPositionX); }},
        {"Window PositionY", 0, 1,
         [](const std::string &v) { WindowPositionY = static_cast<int32_t>(StrToLong(v)); },
         [] { return Num(WindowPositionY); }},
        {"Start Minimized", 2, 1, [](const std::string &v) { StartMinimized = StrToInt(v); },
         [] { return Num(StartMinimized); }},
        {"Force OpenGL Driver", 1, 1,
         [](const std::string &v) { ForceOpenGLDriver = StrToInt(v); },
         [] { return Num(ForceOpenGLDriver); }},
        {"Show Errors", 0, 2, [](const std::string &v) { ShowErrors = StrToInt(v); },
         [] { return Num(ShowErrors); }},
        {"Show Spectrum Analyser", 0, 1,
         [](const std::string &v) { ShowSpectrumAnalyser = StrToInt(v); },
         [] { return Num(ShowSpectrumAnalyser); }},
        {"Window Height", 0, 2, [](const std::string &v) { WindowHeight = StrToInt(v); },
         [] { return Num(WindowHeight); }},
        {"Update Server", 0, 2, [](const std::string &v) { KeepIfNotEmpty(v, UpdateServer); },
         [] { return OneLine(UpdateServer); }},
        {"Update Homepage", 0, 2,
         [](const std::string &v) { KeepIfNotEmpty(v, UpdateHomepage); },
         [] { return OneLine(UpdateHomepage); }},
        {"Auto Update", 1, 2, [](const std::string &v) { AutoUpdate = StrToInt(Trim(v)); },
         [] { return Num(AutoUpdate); }},
        {"Last Update", 1, 2, [](const std::string &v) { LastUpdate = Trim(v); },
         [] { return OneLine(LastUpdate); }},
        {"Custom Window Color", 0, 1,
         [](const std::string &v) { CustomWindowColor = StrToInt(v); },
         [] { return Num(CustomWindowColor); }},
        {"Background Color", 4, 1,
         [](const std::string &v) {
             ReadColour(v, BackgroundRed, BackgroundGreen, BackgroundBlue);
         },
         [] { return WriteColour(BackgroundRed, BackgroundGreen, BackgroundBlue); }},
        {"Label Color", 5, 1,
         [](const std::string &v) { ReadColour(v, LabelRed, LabelGreen, LabelBlue); },
         [] { return WriteColour(LabelRed, LabelGreen, LabelBlue); }},
    }};
    return lines;
}
// clang-format on

void SetDefaults() {
    ListFavouritesOnly = 0;
    LanguageIndex = 4;
    SkinName.clear();
    BufferSizeIndex = 0;
    Volume = 100;
    SaveStation = 0;
    LastStation.clear();
    SaveWindowPosition = 0;
    WindowPositionX = 0;
    WindowPositionY = 0;
    StartMinimized = 0;
    ForceOpenGLDriver = 0;
    ShowErrors = 1;
    ShowSpectrumAnalyser = 1;
    WindowHeight = 154;
    AutoUpdate = 0;
    LastUpdate.clear();
}

std::string KeyLine(const char *key, int blanks, int tabs, const std::string &value) {
    return std::string(key) + std::string(blanks, ' ') + std::string(tabs, '\t') + "  =" + value +
           "\r\n";
}

std::string SettingsBytes() {
    std::string out = "Halvane\r\n";
    out += KeyLine("Release", 0, 3, "50");
    out += KeyLine("Build", 0, 3, SettingsBuildText);
    for (const SettingLine &line : SettingLines())
        out += KeyLine(line.key, line.blanks, line.tabs, line.write());
    return out;
}

} // namespace

void LoadSettings() {
    SetDefaults();
    std::unique_ptr<TextFile> file = TextFile::Open(SettingsFile, TextFile::Mode::ReadWrite);
    if (!file)
        return;
    file->ReadLine();
    file->ReadLine();
    if (Trim(LineValue(file->ReadLine())) != SettingsBuildText)
        return;
    // Past the end of the file ReadLine gives "", which is what a missing line reads as.
    for (const SettingLine &line : SettingLines())
        line.read(LineValue(file->ReadLine()));
}

void SaveSettings() {
    if (SaveStation == 1)
        LastStation = CurrentStationName;
    if (SaveWindowPosition == 1 && MainWindowGeometry) {
        int x = WindowPositionX, y = WindowPositionY, height = WindowHeight;
        if (MainWindowGeometry(x, y, height)) {
            WindowPositionX = x;
            WindowPositionY = y;
            WindowHeight = height;
        }
    }
    if (!SaveUserFile(SettingsFile, SettingsBytes()))
        ReportErrno(std::string("cannot save ") + SettingsFile, errno);
}

} // namespace hvn
