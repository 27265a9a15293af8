#include "update/update.h"

#include "app/gadgets.h"
#include "app/startup.h"
#include "app/window.h"
#include "catalogue/station_files.h"
#include "catalogue/station_list.h"
#include "config/settings.h"
#include "config/skins.h"
#include "config/translations.h"
#include "core/fs.h"
#include "core/posix_io.h"
#include "core/strings.h"
#include "core/temp_files.h"
#include "core/text_file.h"
#include "events/queue.h"
#include "update/data_fetcher.h"

#include <limits>
#include <sys/stat.h>
#include <optional>
#include <set>
#include <vector>

namespace hvn {

std::string SizeText(const std::string &value) {
    if (value.size() <= 3)
        return value;
    return value.substr(0, value.size() - 3) + "." + value.substr(value.size() - 3);
}

int64_t ParseDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    constexpr int64_t max = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        value = value > (max - digit) / 10 ? max : value * 10 + digit;
    }
    return negative ? -value : value;
}

bool SafeStationKey(const std::string &key) {
    return !key.empty() && key != "." && key != ".." &&
           key.find_first_of(std::string("/\0", 2)) == std::string::npos && !IsTempFileName(key);
}

BuildInfo ParseBuildInfo(const std::string &currentText) {
    BuildInfo info;
    const auto lines = Split(currentText, "\n");
    info.number = ParseDecimal(Trim(lines[0]));
    if (lines.size() > 1)
        info.text = "#" + Trim(lines[1]);
    return info;
}

std::optional<StationListEntry> ParseStationListLine(const std::string &raw) {
    StationListEntry entry;
    entry.line = Trim(raw);
    entry.key = LineKey(entry.line);
    if (!SafeStationKey(entry.key))
        return std::nullopt;
    entry.size = LineValue(entry.line);
    return entry;
}

int StartedPercent(int started, int count) {
    const float fraction = static_cast<float>(started) / static_cast<float>(count);
    // Scaled in double: in float 0.7f * 100 would round up to 70.
    return static_cast<int>(static_cast<double>(fraction) * 100.0);
}

namespace {

constexpr const char ArchiveName[] = "hvn_stationlist.zip";

struct UpdateGroups {
    Gadget *newNode = nullptr;
    Gadget *updatedNode = nullptr;
    Gadget *currentNode = nullptr;
    Gadget *deletedNode = nullptr;
};

void Relabel(Gadget *node, int labelIndex) {
    SetGadgetText(node, Tr(LABELS_UPDATER, labelIndex) + " (" +
                            std::to_string(CountTreeViewNodes(node)) + ")");
}

void RelabelAll(const UpdateGroups &groups) {
    Relabel(groups.newNode, 1);
    Relabel(groups.updatedNode, 2);
    Relabel(groups.currentNode, 3);
    Relabel(groups.deletedNode, 4);
}

UpdateGroups StartPage() {
    SetGadgetText(UpdateStatusLabel, Tr(LABELS_LOAD, 1) + "... ");
    SetGadgetToolTip(UpdateBackButton, Tr(LABELS_UPDATER, 6));
    Gadget *root = TreeViewRoot(UpdateTreeView);
    UpdateGroups groups;
    groups.newNode = AddTreeViewNode(Tr(LABELS_UPDATER, 1) + " (0)", root);
    groups.updatedNode = AddTreeViewNode(Tr(LABELS_UPDATER, 2) + " (0)", root);
    groups.currentNode = AddTreeViewNode(Tr(LABELS_UPDATER, 3) + " (0)", root);
    groups.deletedNode = AddTreeViewNode(Tr(LABELS_UPDATER, 4) + " (0)", root);
    RedrawGadget(UpdatePage);
    return groups;
}

struct ArchiveTexts {
    std::string list;
    std::optional<std::string> current;
};

bool HoldsStationList() {
    return StationZip.ExtractFile("hvn_stationlist.txt", false, kZipListLimit).has_value();
}

// The archive kept from the last update is replaced only by one that holds a readable
// station list: an error page, a cut-off body or a failed fetch leave it as it was.
void FetchArchive() {
    const auto body = FetchUrl(UpdateServer + "hvn_stationlist" + ".zip");
    if (!body)
        return;
    std::string temp;
    UniqueFd fd = CreateTempFile(".", temp);
    bool ok = fd && ::fchmod(fd.get(), ModeFor(ArchiveName)) == 0 &&
              WriteAll(fd.get(), body->data(), body->size());
    ok = fd.Close() && ok;
    ok = ok && StationZip.Open(temp) && HoldsStationList();
    StationZip.Close();
    if (ok && RenameFile(temp, ArchiveName))
        ReleaseTempFolder(temp);
    else
        DiscardTempFile(temp);
}

std::optional<ArchiveTexts> ReadArchive() {
    if (!StationZip.Open(ArchiveName))
        return std::nullopt;
    auto list = StationZip.ExtractFile("hvn_stationlist.txt", false, kZipListLimit);
    auto current = StationZip.ExtractFile("hvn_current.txt", false, kZipTextLimit);
    StationZip.Close();
    if (!list)
        return std::nullopt;
    return ArchiveTexts{DecodeText(*list),
                        current ? std::optional(DecodeText(*current)) : std::nullopt};
}

void ShowArchiveFailure() {
    SetGadgetText(UpdateStatusLabel, std::string(ArchiveName) + " - " + Tr(ERRORMSG, 5));
    SetGadgetToolTip(UpdateBackButton, Tr(TOOLTIP, 0));
    RedrawGadget(UpdatePage);
}

bool UserMade(const std::string &file) {
    bool made = false;
    if (StationZip.Open("stations/" + file)) {
        for (const auto &name : StationZip.Names())
            made = made || name == "custom";
        StationZip.Close();
    }
    return made;
}

// Stations the list no longer names go, unless the user made them. Keys are taken from
// the untrimmed lines, as they stand.
void DeletionPass(const std::vector<std::string> &lines, Gadget *deletedNode) {
    std::set<std::string> keys;
    for (const auto &line : lines)
        keys.insert(LineKey(line));
    for (const auto &[key, record] : StationMap) {
        if (keys.count(record->filename) || UserMade(record->filename))
            continue;
        AddTreeViewNode(record->filename, deletedNode);
        DeleteFile("stations/" + record->filename);
    }
    Relabel(deletedNode, 4);
    RedrawGadget(UpdatePage);
}

// Trimmed lines that need a download; the current ones become nodes under Current.
std::vector<std::string> ComparisonPass(const std::vector<std::string> &lines,
                                        Gadget *currentNode) {
    std::vector<std::string> downloads;
    for (const auto &raw : lines) {
        const std::optional<StationListEntry> entry = ParseStationListLine(raw);
        if (!entry)
            continue;
        const std::string path = "stations/" + entry->key;
        if (FileType(path) != FileKind::File || FileSize(path) != ParseDecimal(entry->size))
            downloads.push_back(entry->line);
        else
            AddTreeViewNode(entry->key, currentNode, -1, SizeText(entry->size) + " Bytes");
    }
    Relabel(currentNode, 3);
    return downloads;
}

std::vector<TStationFilePtr> DownloadList(const std::vector<std::string> &lines) {
    std::vector<TStationFilePtr> files;
    for (const auto &line : lines) {
        auto file = std::make_shared<TStationFile>();
        file->name = LineKey(line);
        file->size_str = SizeText(LineValue(line));
        file->ft = FileType("stations/" + file->name) == FileKind::File ? 1 : 0;
        files.push_back(file);
    }
    return files;
}

class ProgressDisplay {
public:
    explicit ProgressDisplay(int count) : count_(count) {}
    void Show(int remaining) {
        const int started = count_ - remaining;
        const float fraction = static_cast<float>(started) / static_cast<float>(count_);
        const int percent = StartedPercent(started, count_);
        if (percent == shown_)
            return;
        SetGadgetText(UpdatePercentLabel, std::to_string(percent) + "%");
        UpdateProgBar(UpdateProgressBar, fraction);
        RedrawGadget(UpdatePage);
        shown_ = percent;
    }

private:
    int count_;
    int shown_ = 0;
};

// A tick of any timer runs a download step, so the program's timers tick while the
// downloads run, whatever they sleep for otherwise; the main loop paces them again after.
class ProgramTimersTicking {
public:
    ProgramTimersTicking() {
        for (const TimerPtr &timer : {HousekeepingTimer, OpenWaitTimer, SpectrumTimer})
            if (timer)
                timer->SetPaused(false);
    }
    ~ProgramTimersTicking() {
        if (OpenWaitTimer)
            OpenWaitTimer->SetPaused(true);
    }
};

// The nested loop of the downloads; returns when they finish or on the back button.
// The ticks of several timers come in together: the events queued when a step ends came
// before it, and their ticks are spent. So every step is followed by a turn of the
// toolkit, and a press waits for one step at most.
void RunDownloads(TDataFetcher &fetcher, const UpdateGroups &groups, int count) {
    const ProgramTimersTicking ticking;
    ProgressDisplay progress(count);
    int spent = 0;
    while (fetcher.isFinished() == 0) {
        const Event event = WaitEvent();
        const bool stale = spent > 0;
        if (stale)
            --spent;
        if (event.id == GadgetLostFocus) {
            RedrawGadget(UpdatePage);
        } else if (event.id == WindowClose || event.id == AppTerminate) {
            RedrawGadget(MainWindow);
            fetcher.Free();
            ShutdownApplication();
        } else if (event.id == MouseDown && event.source == UpdateBackButton) {
            if (AutoUpdateRunning == 0) {
                ShowGadget(AboutPage);
                HideGadget(UpdatePage);
            }
            return;
        } else if (event.id == TimerTick && !stale) {
            fetcher.process(groups.newNode, groups.updatedNode);
            progress.Show(fetcher.remaining);
            spent = QueuedEventCount();
        }
    }
}

void Download(const std::vector<std::string> &lines, const UpdateGroups &groups) {
    SetGadgetText(UpdateStatusLabel, Tr(LABELS_UPDATER, 5) + "...");
    SetGadgetText(UpdatePercentLabel, "0%");
    SetGadgetText(UpdateBuildLabel, "");
    SetGadgetText(UpdateMiddleLabel, "");
    SetGadgetText(UpdateRightLabel, "");
    TDataFetcher fetcher;
    fetcher.Load(DownloadList(lines));
    RunDownloads(fetcher, groups, static_cast<int>(lines.size()));
    fetcher.Free();
}

void Complete(const UpdateGroups &groups) {
    UpdateProgBar(UpdateProgressBar, 1.0);
    SetGadgetText(UpdatePercentLabel, "100%");
    RelabelAll(groups);
    SetGadgetText(UpdateStatusLabel, "");
    SetGadgetText(UpdateBuildLabel, "");
    SetGadgetText(UpdateMiddleLabel, "");
    SetGadgetText(UpdateRightLabel, "");
    SetGadgetToolTip(UpdateBackButton, Tr(TOOLTIP, 0));
    RedrawGadget(AboutPage);
    LoadStationCatalogue();
    FillStationList(0, 0);
    ReplaceButtonPixmap(FavouritesToggleButton, FavouritesPixmap, 26);
    SetGadgetToolTip(FavouritesToggleButton, Tr(TOOLTIP, 6));
    ListFavouritesOnly = 0;
}

void ShowBuildNotice(const BuildInfo &build) {
    if (build.number <= ReleaseBuildNumber)
        return;
    SetGadgetText(UpdateBuildLabel, "Build: " + build.text);
    SetGadgetSensitivity(UpdateBuildLabel, SENSITIZE_MOUSE);
    SetGadgetToolTip(UpdateBuildLabel, Tr(TOOLTIP, 3) + ": Halvane");
}

} // namespace

int UpdateStationList() {
    const UpdateGroups groups = StartPage();
    FetchArchive();
    const auto texts = ReadArchive();
    if (!texts) {
        ShowArchiveFailure();
        return 0;
    }
    const BuildInfo build = texts->current ? ParseBuildInfo(*texts->current) : BuildInfo{};
    const std::vector<std::string> lines = Split(texts->list, "\n");
    DeletionPass(lines, groups.deletedNode);
    const std::vector<std::string> downloads = ComparisonPass(lines, groups.currentNode);
    if (!downloads.empty())
        Download(downloads, groups);
    Complete(groups);
    ShowBuildNotice(build);
    RedrawGadget(UpdatePage);
    return 0;
}

} // namespace hvn
