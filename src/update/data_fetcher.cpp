#include "update/data_fetcher.h"

#include "config/settings.h"
#include "config/translations.h"
#include "core/fs.h"
#include "core/posix_io.h"
#include "core/temp_files.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace hvn {

void CurlEasyDeleter::operator()(void *easy) const {
    curl_easy_cleanup(static_cast<CURL *>(easy));
}

void CurlMultiDeleter::operator()(void *multi) const {
    curl_multi_cleanup(static_cast<CURLM *>(multi));
}

void TargetFileCloser::operator()(FILE *file) const {
    std::fclose(file);
}

namespace {

constexpr long kMaxRedirects = 30;
constexpr size_t kStreamBufferBytes = 32 * 1024;

bool OpenTarget(TCurlStream &slot) {
    slot.stream.reset(std::fopen(slot.TempPath().c_str(), "wb"));
    if (!slot.stream) {
        slot.openFailed = true;
        return false;
    }
    std::vector<char> &buffer = slot.buffers[slot.current];
    std::setvbuf(slot.stream.get(), buffer.data(), _IOFBF, buffer.size());
    return true;
}

// Writes what arrives to the slot's stream and returns what the stream took; a short
// count makes libcurl end the transfer with a write error (no stream, a full disk, or a
// body past the size limit).
size_t WriteToSlot(char *data, size_t size, size_t count, void *user) {
    auto *slot = static_cast<TCurlStream *>(user);
    const size_t bytes = size * count;
    if (!slot->stream && (slot->openFailed || !OpenTarget(*slot)))
        return 0;
    if (slot->written + static_cast<int64_t>(bytes) > kMaxStationFileBytes) {
        slot->overflow = true;
        return 0;
    }
    const size_t done = std::fwrite(data, 1, bytes, slot->stream.get());
    slot->written += static_cast<int64_t>(done);
    return done;
}

static_assert(std::tuple_size_v<decltype(TCurlStream::error)> >= CURL_ERROR_SIZE);

// Why the transfer brought no station file; "" when it did.
std::string TransferFailure(CURL *easy, int curlResult, const TCurlStream &slot) {
    if (slot.overflow)
        return "larger than " + std::to_string(kMaxStationFileBytes) + " bytes";
    if (slot.openFailed)
        return "no temporary file to write to";
    if (curlResult != CURLE_OK)
        return slot.error[0] ? slot.error.data()
                             : curl_easy_strerror(static_cast<CURLcode>(curlResult));
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status >= 300)
        return "the server answered " + std::to_string(status);
    return slot.written == 0 ? "empty answer" : "";
}

void ReportFailure(const TStationFile &file, const std::string &why) {
    std::fprintf(stderr, "halvane: station file %s: %s\n", file.name.c_str(), why.c_str());
}

std::string StationPath(const TStationFile &file) {
    return "stations/" + file.name;
}

} // namespace

TDataFetcher::~TDataFetcher() {
    Free();
}

int TDataFetcher::Load(const std::vector<TStationFilePtr> &files) {
    for (const auto &file : files) {
        if (file) {
            fileList.push_back(file);
            ++remaining;
        }
    }
    const int n = std::min(maxConnections, remaining);
    multi.reset(curl_multi_init());
    for (int i = 0; i < n && multi; ++i) {
        auto slot = std::make_shared<TCurlStream>();
        slot->curl.reset(curl_easy_init());
        if (!slot->curl)
            break;
        for (auto &buffer : slot->buffers)
            buffer.resize(kStreamBufferBytes);
        // Reserved names are created private; the files that end up under them get the
        // mode of any new file, as the names' later files do.
        for (std::string &path : slot->tempPaths) {
            path = ReserveTempFile("stations");
            if (!path.empty())
                ::chmod(path.c_str(), NewFileMode());
        }
        curlMap[slot->curl.get()] = slot;
        startFetch(*slot);
    }
    timer = Timer::Create(10);
    return 0;
}

int TDataFetcher::startFetch(TCurlStream &slot) {
    if (fileList.empty())
        return 0;
    slot.file = fileList.front();
    fileList.pop_front();
    --remaining;
    // The file is opened by the first bytes: the request leaves first.
    slot.current ^= 1;
    slot.written = 0;
    slot.overflow = false;
    slot.openFailed = false;
    CURL *easy = slot.curl.get();
    const std::string url = UpdateServer + "stations/" + slot.file->name;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteToSlot);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &slot);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    // A redirect loop would otherwise hold the slot until the user gives up.
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    // SIGPIPE is ignored by the whole program; libcurl need not set it around every call.
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    slot.error[0] = '\0';
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, slot.error.data());
    // As curl --parallel does, a transfer may wait for a connection under way to the
    // server to show whether it could carry it, rather than open one more at once. Against
    // a server that closes every connection this spaces the requests out, and a busy
    // server answers them sooner than four at once.
    slot.pipeWait = waitForConnections;
    slot.startedAt = Clock::now();
    curl_easy_setopt(easy, CURLOPT_PIPEWAIT, long(slot.pipeWait));
    // A name lookup that hangs is left to finish in the background when the transfer is
    // ended (back button, window close); by default its removal would wait for it.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    slot.added = curl_multi_add_handle(multi.get(), easy) == CURLM_OK;
    return 0;
}

void TDataFetcher::Wait(Clock::time_point deadline) {
    long proposed = -1;
    curl_multi_timeout(multi.get(), &proposed);
    long timeoutMs = (proposed >= 0 && proposed < 2000) ? proposed : 1000;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    timeoutMs = std::clamp<long>(left, 0, timeoutMs);
    // curl_multi_wait is select over curl_multi_fdset's sockets without fd_set's limit on
    // descriptor numbers.
    int ready = 0;
    curl_multi_wait(multi.get(), nullptr, 0, static_cast<int>(timeoutMs), &ready);
}

void TDataFetcher::StopWaitingForStalled() {
    const Clock::time_point now = Clock::now();
    for (auto &[easy, slot] : curlMap) {
        if (!slot->added || !slot->pipeWait || slot->stream ||
            now - slot->startedAt < kPipeWaitLimit)
            continue;
        slot->pipeWait = false;
        curl_off_t connectedAfter = 0;
        curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connectedAfter);
        if (connectedAfter > 0)
            continue;
        // The connection it waits for may never answer.
        waitForConnections = false;
        curl_multi_remove_handle(multi.get(), easy);
        curl_easy_setopt(easy, CURLOPT_PIPEWAIT, 0L);
        slot->added = curl_multi_add_handle(multi.get(), easy) == CURLM_OK;
    }
}

int TDataFetcher::Perform(int &running) {
    CURLMcode rc;
    do {
        rc = curl_multi_perform(multi.get(), &running);
    } while (rc == CURLM_CALL_MULTI_PERFORM);
    return rc;
}

int TDataFetcher::process(Gadget *newNode, Gadget *updatedNode) {
    finished = 1;
    if (!multi)
        return 0;
    // Transfers of small files end faster than the loop's ticks come: one step goes on
    // performing while they do, up to kStepBudget, so the downloads keep the network's
    // pace and the update page still answers between steps.
    const Clock::time_point deadline = Clock::now() + kStepBudget;
    StopWaitingForStalled();
    int running = 0;
    bool started = false;
    int rc = Perform(running);
    for (;;) {
        if (running > 0 && rc == CURLM_OK) {
            Wait(deadline);
            rc = Perform(running);
        }
        const bool startedNow = EndTransfers(newNode, updatedNode, deadline, rc, running);
        started = started || startedNow;
        if ((running == 0 && !startedNow) || rc != CURLM_OK || Clock::now() >= deadline)
            break;
    }
    if (running > 0 || started)
        finished = 0;
    return started ? 1 : running;
}

bool TDataFetcher::EndTransfers(Gadget *newNode, Gadget *updatedNode, Clock::time_point deadline,
                                int &rc, int &running) {
    bool started = false;
    // A fast server answers the new requests within the perform that sends them: those
    // transfers are ended here too rather than left waiting for the next step.
    for (;;) {
        std::vector<Ended> ended;
        bool startedNow = false;
        int queued = 0;
        while (CURLMsg *msg = curl_multi_info_read(multi.get(), &queued)) {
            auto it = curlMap.find(msg->easy_handle);
            if (it == curlMap.end())
                continue;
            TCurlStream &slot = *it->second;
            const int curlResult = msg->msg == CURLMSG_DONE ? msg->data.result : CURLE_OK;
            ended.push_back(TakeEnded(slot, curlResult));
            if (remaining > 0) {
                startedNow = true;
                startFetch(slot);
            }
        }
        // The server has the next requests while the ended files are written out. They
        // are in place before their slots' temporary names come round again.
        if (startedNow)
            rc = Perform(running);
        for (Ended &end : ended) {
            MoveInPlace(end);
            if (end.file)
                AddNode(*end.file, newNode, updatedNode);
        }
        started = started || startedNow;
        if (!startedNow || rc != CURLM_OK || Clock::now() >= deadline)
            return started;
    }
}

TDataFetcher::Ended TDataFetcher::TakeEnded(TCurlStream &slot, int curlResult) {
    CURL *easy = slot.curl.get();
    Ended end;
    const std::string failure = TransferFailure(easy, curlResult, slot);
    end.ok = failure.empty();
    if (!end.ok && slot.file)
        ReportFailure(*slot.file, failure);
    end.file = slot.file;
    end.stream = std::move(slot.stream);
    end.tempPath = slot.TempPath();
    if (slot.added) {
        curl_multi_remove_handle(multi.get(), easy);
        slot.added = false;
    }
    return end;
}

void TDataFetcher::MoveInPlace(Ended &end) {
    // Closing reports a write the disk could not take.
    const bool closed = end.stream && std::fclose(end.stream.release()) == 0;
    if (end.ok && closed && end.file && RenameFile(end.tempPath, StationPath(*end.file)))
        return;
    if (end.ok && end.file)
        ReportFailure(*end.file, std::strerror(errno));
    DeleteFile(end.tempPath);
}

void TDataFetcher::AddNode(const TStationFile &file, Gadget *newNode, Gadget *updatedNode) {
    const bool updated = file.ft == 1;
    Gadget *group = updated ? updatedNode : newNode;
    if (!group)
        return;
    AddTreeViewNode(file.name, group, -1, file.size_str + " Bytes");
    SetGadgetText(group, Tr(LABELS_UPDATER, updated ? 2 : 1) + " (" +
                             std::to_string(CountTreeViewNodes(group)) + ")");
}

int TDataFetcher::isFinished() {
    return finished;
}

int TDataFetcher::Free() {
    if (timer)
        timer->Stop();
    timer.reset();
    for (auto &[easy, slot] : curlMap) {
        if (slot->added && multi)
            curl_multi_remove_handle(multi.get(), easy);
        slot->added = false;
    }
    multi.reset();
    for (auto &[easy, slot] : curlMap) {
        slot->curl.reset();
        // A transfer still open here was cut off: its body is incomplete. What is left
        // under the slot's temporary names is never a finished file.
        slot->stream.reset();
        if (slot->file && FileSize(StationPath(*slot->file)) == 0)
            DeleteFile(StationPath(*slot->file));
        for (const std::string &path : slot->tempPaths)
            DiscardTempFile(path);
    }
    curlMap.clear();
    return 0;
}

} // namespace hvn
