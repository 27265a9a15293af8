#pragma once
// Shared set-up of the update tests: the real window in a temporary program directory
// (emptied before each test) and a loopback HTTP server playing the update server.
#include "app/app_env.h"
#include "app/gadgets.h"
#include "app/startup.h"
#include "core/posix_io.h"
#include "core/text_file.h"
#include "events/queue.h"
#include "update/http_test_server.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace hvn::test {

inline std::string ReadFile(const std::string &path) {
    std::string out;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd)
        ReadAll(fd.get(), out);
    return out;
}

// A station file as the catalogue reads it, with an optional "custom" member.
inline std::string StationBytes(const std::string &name, bool custom = false) {
    const std::string id = name + "\r\nhttp://example.invalid\r\n3\r\n1\r\nhttp://127.0.0.1:9/s";
    std::vector<ZipMember> members = {{"station_id.txt", id, 0}};
    if (custom)
        members.push_back({"custom", "", 0});
    const std::string tmp = "tmp-station.zip";
    if (!WriteZip(tmp, members))
        return "";
    std::string bytes = ReadFile(tmp);
    DeleteFile(tmp);
    return bytes;
}

// The text and extra value of each child of a node, in order.
inline std::vector<std::string> NodeLines(Gadget *node) {
    std::vector<std::string> lines;
    for (Gadget *c : node->children)
        lines.push_back(c->text + (c->extra ? " | " + *c->extra : ""));
    return lines;
}

inline std::vector<Gadget *> GroupNodes() {
    return TreeViewRoot(UpdateTreeView)->children;
}

class UpdateFixture : public ::testing::Test {
protected:
    void SetUp() override {
        HVN_REQUIRE_DISPLAY();
        ASSERT_TRUE(EnsureTestWindow());
        ResetProgramDir();
        ResetUpdatePage();
        AutoUpdateRunning = 0;
        FlushEvents();
    }
    void TearDown() override {
        server_.Stop();
        FlushEvents();
    }

    // The update server on a free port of 127.0.0.1.
    void StartServer() {
        ASSERT_TRUE(server_.Start("127.0.0.1", 0)) << std::strerror(errno);
        UpdateServer = "http://" + ServerHost() + "/hvn/";
    }
    std::string ServerHost() const {
        return server_.address() + ":" + std::to_string(server_.port());
    }

    void ServeArchive(const std::string &list, const std::string *current = nullptr) {
        std::vector<ZipMember> members = {{"hvn_stationlist.txt", list, 0}};
        if (current)
            members.push_back({"hvn_current.txt", *current, 0});
        ASSERT_TRUE(WriteZip("served.zip", members));
        server_.Serve("/hvn/hvn_stationlist.zip", HttpResponse::Ok(ReadFile("served.zip")));
        DeleteFile("served.zip");
    }

    void ServeStation(const std::string &file, const std::string &bytes) {
        server_.Serve("/hvn/stations/" + file, HttpResponse::Ok(bytes));
    }

    static void ResetProgramDir() {
        DeleteDir("stations", true);
        DeleteDir("db", true);
        CreateDir("stations");
        CreateDir("db");
        DeleteFile("hvn_stationlist.zip");
        LoadStationCatalogue();
    }

    // What the about page's update button does before an update.
    static void ResetUpdatePage() {
        for (Gadget *g : {UpdateStatusLabel, UpdateBuildLabel, UpdatePercentLabel,
                          UpdateMiddleLabel, UpdateRightLabel})
            SetGadgetText(g, "");
        SetGadgetToolTip(UpdateBuildLabel, "");
        UpdateProgBar(UpdateProgressBar, 0.0);
        ClearTreeView(UpdateTreeView);
        ShowPage(3);
    }

    static std::vector<std::string> StationFiles() {
        auto names = ReadDirectory("stations").value_or(std::vector<std::string>{});
        std::sort(names.begin(), names.end());
        return names;
    }

    HttpTestServer server_;
};

} // namespace hvn::test
