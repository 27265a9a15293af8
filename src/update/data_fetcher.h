#pragma once
// The parallel downloader of station files: up to four transfers at once over libcurl's
// multi interface, pumped one step at a time by the update's nested event loop.
// Main thread only. Nothing here blocks longer than one step's wait (under 2 s).
#include "events/timer.h"
#include "gui/gui.h"
#include "update/curl_handles.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace hvn {

// One station file to fetch into "stations/".
class TStationFile {
public:
    std::string name;     // the list line's key: the file name under "stations/"
    std::string size_str; // the list's size text (see SizeText in update/update.h)
    int ft = 0;           // 1: the file existed locally when the list was made
};
using TStationFilePtr = std::shared_ptr<TStationFile>;

// One transfer slot: its easy handle is reused for every file the slot fetches. The
// body goes to a temporary file of the slot (in the temporary folder of "stations/",
// where no list key can point) that replaces the target only when the transfer
// succeeded, so a failed or cut-off download never leaves a broken station file in place
// of a good one. The slot has two such names and takes them in turn: the next transfer
// starts before the last one's file is moved in place.
class TCurlStream {
public:
    // The streams' buffers, one per temporary name: a station file leaves in one write,
    // and the ended transfer's stream may still hold its bytes when the next one writes.
    std::vector<char> buffers[2];
    TargetFileStream stream; // opened when the first bytes arrive
    CurlEasyHandle curl;
    TStationFilePtr file;
    std::string tempPaths[2];
    int current = 0;          // the index of the current transfer's temporary name
    int64_t written = 0;      // bytes of the current transfer written to the stream
    bool overflow = false;    // the current transfer passed kMaxStationFileBytes
    bool openFailed = false;  // the current transfer's temporary file could not be made
    bool added = false;       // the easy handle is added to the multi handle
    bool pipeWait = false;    // the transfer may wait for another's connection
    std::array<char, 256> error{}; // libcurl's text of the current transfer's error
    std::chrono::steady_clock::time_point startedAt;

    const std::string &TempPath() const { return tempPaths[current]; }
};
using TCurlStreamPtr = std::shared_ptr<TCurlStream>;

// A station file larger than this is abandoned: station files are a few kilobytes, and
// a server sending without end must not fill the disk.
inline constexpr int64_t kMaxStationFileBytes = 16 * 1024 * 1024;

class TDataFetcher {
public:
    static constexpr int maxConnections = 4;
    // How long one step may go on performing while transfers end; the update page is
    // not redrawn and answers no press during a step.
    static constexpr std::chrono::milliseconds kStepBudget{40};
    // How long a transfer waits for another's connection before it opens its own.
    static constexpr std::chrono::milliseconds kPipeWaitLimit{1000};

    virtual ~TDataFetcher();

    // Takes the files (null entries skipped), starts the first min(4, count) transfers in
    // list order and the fetcher's 10 Hz timer. Call once. Returns 0.
    virtual int Load(const std::vector<TStationFilePtr> &files);
    // One pump step: performs and waits for network activity (libcurl's proposed time-out
    // when under 2 s, else 1 s, but never past kStepBudget from the step's start); adds a
    // child node under newNode or updatedNode for every transfer that ended (whatever its
    // result) and starts the next file on that slot; goes on so while transfers run and
    // the budget lasts. Returns the running transfers after the last perform, or 1 when
    // a file was started.
    virtual int process(Gadget *newNode, Gadget *updatedNode);
    // Puts the next waiting file on the slot and adds its transfer; nothing when none wait.
    virtual int startFetch(TCurlStream &stream);
    virtual int isFinished();
    // Stops the timer, ends every transfer and closes every file; a transfer cut off here
    // leaves the station file as it was. Safe to call twice. Returns 0.
    virtual int Free();

    // Files not yet started; the caller shows (given - remaining) as started.
    int remaining = 0;

    // The fetcher's timer (its ticks have it as source); null before Load or after Free.
    const Timer *TimerSource() const { return timer.get(); }

private:
    // A transfer that ended, taken off its slot so that the slot can go on at once.
    struct Ended {
        TStationFilePtr file;
        TargetFileStream stream;
        std::string tempPath;
        bool ok = false; // the body arrived whole with a success status
    };
    Ended TakeEnded(TCurlStream &slot, int curlResult);
    // Closes the ended transfer's file and, when it succeeded, moves the body in place.
    static void MoveInPlace(Ended &ended);
    void AddNode(const TStationFile &file, Gadget *newNode, Gadget *updatedNode);
    using Clock = std::chrono::steady_clock;
    void Wait(Clock::time_point deadline);
    // Transfers that waited kPipeWaitLimit for another's connection start over on their
    // own, and no later transfer waits.
    void StopWaitingForStalled();
    // curl_multi_perform until it stops asking to be called again; returns its last code.
    int Perform(int &running);
    // Ends every transfer libcurl reports done and starts the next file on its slot,
    // whose request leaves (perform: rc, running) before the ended files are written out
    // and shown. True when a file was started.
    bool EndTransfers(Gadget *newNode, Gadget *updatedNode, Clock::time_point deadline,
                      int &rc, int &running);

    std::map<void *, TCurlStreamPtr> curlMap;
    std::deque<TStationFilePtr> fileList;
    TimerPtr timer;
    int finished = 0;
    CurlMultiHandle multi;
    bool waitForConnections = true;
};

} // namespace hvn
