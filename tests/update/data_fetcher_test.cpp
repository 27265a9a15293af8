// TDataFetcher pumped step by step against a loopback server, nodes in the real window.
#include "update/data_fetcher.h"
#include "update/update_env.h"

#include <chrono>
#include <set>

namespace hvn {
namespace {

class DataFetcherTest : public test::UpdateFixture {
protected:
    void SetUp() override {
        UpdateFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(server_.Start("127.0.0.1", 0));
        UpdateServer = "http://127.0.0.1:" + std::to_string(server_.port()) + "/hvn/";
        Gadget *root = TreeViewRoot(UpdateTreeView);
        newNode_ = AddTreeViewNode("New Stations (0)", root);
        updatedNode_ = AddTreeViewNode("Updated Stations (0)", root);
    }

    static TStationFilePtr File(const std::string &name, const std::string &size, int ft) {
        auto f = std::make_shared<TStationFile>();
        f->name = name;
        f->size_str = size;
        f->ft = ft;
        return f;
    }

    // Steps until the fetcher reports the end; each step waits on the network itself.
    // Returns the value of the last step.
    int RunToEnd(TDataFetcher &fetcher, std::vector<int> *remaining = nullptr) {
        int result = -1;
        for (int step = 0; step < 400 && !fetcher.isFinished(); ++step) {
            result = fetcher.process(newNode_, updatedNode_);
            if (remaining)
                remaining->push_back(fetcher.remaining);
        }
        EXPECT_EQ(fetcher.isFinished(), 1);
        return result;
    }

    Gadget *newNode_ = nullptr;
    Gadget *updatedNode_ = nullptr;
};

// Answers that take a while make the transfers overlap at the server: never more than four.
TEST_F(DataFetcherTest, TDataFetcher_tenFiles_atMostFourAtServerEachEndReplaced) {
    std::vector<TStationFilePtr> files;
    std::set<std::string> all;
    for (int i = 1; i <= 10; ++i) {
        const std::string name = "s" + std::to_string(i) + ".hvn";
        auto answer = test::HttpResponse::Ok("body of " + name);
        answer.delayMs = 30;
        server_.Serve("/hvn/stations/" + name, answer);
        files.push_back(File(name, "1." + std::to_string(100 + i), i % 2));
        all.insert("/hvn/stations/" + name);
        if (i % 2) {
            ASSERT_TRUE(SaveBytes("stations/" + name, "old"));
        }
    }
    files.insert(files.begin() + 3, nullptr); // skipped
    TDataFetcher fetcher;
    fetcher.Load(files);
    EXPECT_EQ(fetcher.remaining, 6);
    std::vector<int> remaining;
    RunToEnd(fetcher, &remaining);
    fetcher.Free();

    EXPECT_LE(server_.MaxInFlight(), TDataFetcher::maxConnections);
    EXPECT_TRUE(std::is_sorted(remaining.rbegin(), remaining.rend()));
    EXPECT_EQ(remaining.back(), 0);
    const auto paths = server_.Paths();
    ASSERT_EQ(paths.size(), 10u);
    EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()), all);
    for (int i = 1; i <= 10; ++i) {
        const std::string name = "s" + std::to_string(i) + ".hvn";
        EXPECT_EQ(test::ReadFile("stations/" + name), "body of " + name);
    }
    EXPECT_EQ(GadgetText(newNode_), "New Stations (5)");
    EXPECT_EQ(GadgetText(updatedNode_), "Updated Stations (5)");
    const auto updated = test::NodeLines(updatedNode_);
    EXPECT_NE(std::find(updated.begin(), updated.end(), "s1.hvn | 1.101 Bytes"), updated.end());
    const auto added = test::NodeLines(newNode_);
    EXPECT_NE(std::find(added.begin(), added.end(), "s10.hvn | 1.110 Bytes"), added.end());
    EXPECT_EQ(StationFiles().size(), 10u) << "no temporary file left";
}

TEST_F(DataFetcherTest, TDataFetcher_oneFile_lastStepReturnsZero) {
    ServeStation("one.hvn", "1");
    TDataFetcher fetcher;
    fetcher.Load({File("one.hvn", "1", 0)});
    EXPECT_EQ(fetcher.isFinished(), 0);
    EXPECT_EQ(RunToEnd(fetcher), 0);
    EXPECT_EQ(test::NodeLines(newNode_), std::vector<std::string>{"one.hvn | 1 Bytes"});
}

TEST_F(DataFetcherTest, TDataFetcher_emptyList_firstStepFinishes) {
    TDataFetcher fetcher;
    fetcher.Load({});
    ASSERT_NE(fetcher.TimerSource(), nullptr);
    EXPECT_EQ(fetcher.process(newNode_, updatedNode_), 0);
    EXPECT_EQ(fetcher.isFinished(), 1);
    fetcher.Free();
    EXPECT_EQ(fetcher.TimerSource(), nullptr);
}

TEST_F(DataFetcherTest, TDataFetcher_failedTransfers_keepGoodFilesAndGoOn) {
    struct Case {
        const char *name;
        test::HttpResponse response;
        bool existed;
        std::string expected; // contents afterwards; "" means no file
    };
    const std::vector<Case> cases = {
        {"not found, existing", test::HttpResponse::With(404, "<html>404</html>"), true, "good"},
        {"not found, new", test::HttpResponse::With(404, "<html>404</html>"), false, ""},
        {"server error", test::HttpResponse::With(500, "oops"), true, "good"},
        {"cut off", test::HttpResponse::Cut(std::string(4000, 'c'), 100), true, "good"},
        {"empty body", test::HttpResponse::Ok(""), true, "good"},
        {"redirect followed", test::HttpResponse::With(302, "", "/hvn/real"), true, "real"},
        {"redirect loop", test::HttpResponse::With(302, "", "/hvn/loop"), true, "good"},
        {"good", test::HttpResponse::Ok("fresh"), true, "fresh"},
    };
    server_.Serve("/hvn/real", test::HttpResponse::Ok("real"));
    server_.Serve("/hvn/loop", test::HttpResponse::With(302, "", "/hvn/loop"));
    std::vector<TStationFilePtr> files;
    for (size_t i = 0; i < cases.size(); ++i) {
        const std::string name = "f" + std::to_string(i) + ".hvn";
        server_.Serve("/hvn/stations/" + name, cases[i].response);
        if (cases[i].existed) {
            ASSERT_TRUE(SaveBytes("stations/" + name, "good"));
        }
        files.push_back(File(name, "4", cases[i].existed ? 1 : 0));
    }
    // A directory in the way of one target: its transfer fails, the rest go on.
    ASSERT_TRUE(CreateDir("stations/dir.hvn"));
    files.insert(files.begin(), File("dir.hvn", "4", 0));
    server_.Serve("/hvn/stations/dir.hvn", test::HttpResponse::Ok("x"));

    TDataFetcher fetcher;
    fetcher.Load(files);
    ::testing::internal::CaptureStderr();
    RunToEnd(fetcher);
    fetcher.Free();
    const std::string said = ::testing::internal::GetCapturedStderr();
    // One line on stderr per failed file, with the reason.
    const auto lines = [&](const std::string &name) {
        const std::string head = "halvane: station file " + name + ": ";
        size_t n = 0;
        for (size_t at = said.find(head); at != std::string::npos; at = said.find(head, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(lines("dir.hvn"), 1u) << said;
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const std::string name = "f" + std::to_string(i) + ".hvn";
        const std::string path = "stations/" + name;
        const bool fetched = cases[i].expected == "real" || cases[i].expected == "fresh";
        EXPECT_EQ(lines(name), fetched ? 0u : 1u) << said;
        if (cases[i].expected.empty())
            EXPECT_EQ(FileType(path), FileKind::None);
        else
            EXPECT_EQ(test::ReadFile(path), cases[i].expected);
    }
    EXPECT_EQ(FileType("stations/dir.hvn"), FileKind::Dir);
    // Every transfer ends in a node, failed or not.
    EXPECT_EQ(CountTreeViewNodes(newNode_) + CountTreeViewNodes(updatedNode_), int(files.size()));
    // The kept and fetched files and the directory; no temporary file is left.
    const auto kept = std::count_if(cases.begin(), cases.end(),
                                    [](const Case &c) { return !c.expected.empty(); });
    EXPECT_EQ(StationFiles().size(), size_t(kept) + 1);
}

// Stalled answers hold the transfers open: the first four files reach the server (the
// three that wait for the first one's connection give up waiting), no fifth.
TEST_F(DataFetcherTest, TDataFetcher_freeDuringTransfers_firstFourStartedStationsUntouched) {
    std::vector<TStationFilePtr> files;
    std::set<std::string> firstFour;
    for (int i = 1; i <= 5; ++i) {
        const std::string name = "slow" + std::to_string(i) + ".hvn";
        server_.Serve("/hvn/stations/" + name, test::HttpResponse::Stalled());
        files.push_back(File(name, "4", 1));
        ASSERT_TRUE(SaveBytes("stations/" + name, "good"));
        if (i <= 4)
            firstFour.insert("/hvn/stations/" + name);
    }
    TDataFetcher fetcher;
    fetcher.Load(files);
    const auto start = std::chrono::steady_clock::now();
    while (server_.Requests().size() < 4 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        fetcher.process(newNode_, updatedNode_);
    fetcher.process(newNode_, updatedNode_);
    const auto paths = server_.Paths();
    EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()), firstFour);
    EXPECT_EQ(fetcher.isFinished(), 0);
    EXPECT_EQ(fetcher.remaining, 1);
    fetcher.Free();
    fetcher.Free(); // a second time does nothing
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(test::ReadFile("stations/slow" + std::to_string(i) + ".hvn"), "good");
    EXPECT_EQ(StationFiles().size(), 5u) << "no temporary file left";
    EXPECT_EQ(CountTreeViewNodes(newNode_) + CountTreeViewNodes(updatedNode_), 0);
}

// A file whose answer never comes holds its own slot only: the others, which first wait
// for its connection to show whether it could carry them, go on.
TEST_F(DataFetcherTest, TDataFetcher_stalledFirstFile_othersGoOn) {
    std::vector<TStationFilePtr> files;
    for (int i = 1; i <= 12; ++i) {
        const std::string name = "s" + std::to_string(i) + ".hvn";
        server_.Serve("/hvn/stations/" + name,
                      i == 1 ? test::HttpResponse::Stalled() : test::HttpResponse::Ok(name));
        files.push_back(File(name, "6", 0));
    }
    TDataFetcher fetcher;
    fetcher.Load(files);
    const auto start = std::chrono::steady_clock::now();
    while (CountTreeViewNodes(newNode_) < 11 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
        fetcher.process(newNode_, updatedNode_);
    EXPECT_EQ(CountTreeViewNodes(newNode_), 11) << "the files after the stalled one wait for it";
    EXPECT_EQ(fetcher.isFinished(), 0);
    fetcher.Free();
    EXPECT_EQ(StationFiles().size(), 11u);
}

// Free deletes a slot's last target when it holds no byte, and only that one.
TEST_F(DataFetcherTest, TDataFetcher_freeWithEmptyTarget_deletesIt) {
    server_.Serve("/hvn/stations/empty.hvn", test::HttpResponse::Stalled());
    ASSERT_TRUE(SaveBytes("stations/empty.hvn", ""));
    ASSERT_TRUE(SaveBytes("stations/other.hvn", ""));
    TDataFetcher fetcher;
    fetcher.Load({File("empty.hvn", "0", 1)});
    for (int step = 0; step < 20 && server_.Requests().empty(); ++step)
        fetcher.process(newNode_, updatedNode_);
    fetcher.Free();
    EXPECT_EQ(StationFiles(), std::vector<std::string>{"other.hvn"});
}

} // namespace
} // namespace hvn
