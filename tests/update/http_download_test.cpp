// DownloadToFile against a server of the test's own on a loopback address.
#include "core/fs.h"
#include "core/temp_dir.h"
#include "core/text_file.h"
#include "update/http_test_server.h"
#include "update/update.h"

#include <gtest/gtest.h>

#include <chrono>

namespace hvn {
namespace {

class DownloadToFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = CurrentDir();
        ASSERT_TRUE(ChangeDir(dir_.path()));
        ASSERT_TRUE(server_.Start("127.0.0.1", 0)) << std::strerror(errno);
        base_ = "http://" + Host();
    }
    void TearDown() override {
        server_.Stop();
        ChangeDir(old_);
    }
    std::string Host() const { return server_.address() + ":" + std::to_string(server_.port()); }

    test::TempDir dir_;
    std::string old_;
    test::HttpTestServer server_;
    std::string base_;
};

TEST_F(DownloadToFileTest, DownloadToFile_answers_bodySavedAsItIs) {
    struct Case {
        const char *name;
        test::HttpResponse response;
        std::string expected;
    };
    const std::string binary("PK\x03\x04\0\r\n\r\nrest", 13);
    const std::vector<Case> cases = {
        {"binary body", test::HttpResponse::Ok(binary), binary},
        {"empty body", test::HttpResponse::Ok(""), ""},
        // Error statuses and redirects are not looked at: the body is what is saved.
        {"error status", test::HttpResponse::With(404, "missing"), "missing"},
        {"redirect", test::HttpResponse::With(302, "moved", "http://127.0.0.1:9/x"), "moved"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        server_.Serve("/hvn/list.zip", c.response);
        ASSERT_TRUE(SaveBytes("out.zip", "old"));
        EXPECT_EQ(DownloadToFile(base_ + "/hvn/list.zip", "out.zip"), 1);
        EXPECT_EQ(LoadText("out.zip").value_or("?"), c.expected);
    }
    // The request line and Host, nothing else.
    EXPECT_EQ(server_.Heads().at(0), "GET /hvn/list.zip HTTP/1.0\r\nHost: " + Host() + "\r\n\r\n");
}

TEST_F(DownloadToFileTest, DownloadToFile_pathMissing_asksForRoot) {
    server_.Serve("/", test::HttpResponse::Ok("root"));
    EXPECT_EQ(DownloadToFile(base_, "out.zip"), 1);
    EXPECT_EQ(LoadText("out.zip").value_or("?"), "root");
}

TEST_F(DownloadToFileTest, DownloadToFile_failures_keepTheOldFile) {
    struct Case {
        const char *name;
        std::string url;
    };
    server_.Serve("/cut", test::HttpResponse::Cut(std::string(5000, 'x'), 100));
    server_.Serve("/noend", test::HttpResponse::NoHeaderEnd());
    auto huge = test::HttpResponse::Ok(std::string(size_t(kMaxArchiveBytes) + 1, 'h'));
    server_.Serve("/huge", huge);
    huge.noLength = true;
    server_.Serve("/huge-unannounced", huge);
    const std::vector<Case> cases = {
        {"nothing listening", "http://" + test::RandomLoopbackAddress() + "/x"},
        {"not http", "file://" + CurrentDir() + "/out.zip"},
        {"not a URL", "http://[" + Host() + "/x"},
        {"cut off", base_ + "/cut"},
        {"no header end", base_ + "/noend"},
        {"larger than the limit", base_ + "/huge"},
        {"larger than the limit, no length given", base_ + "/huge-unannounced"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SaveBytes("out.zip", "old archive"));
        EXPECT_EQ(DownloadToFile(c.url, "out.zip"), -1);
        EXPECT_EQ(LoadText("out.zip").value_or("?"), "old archive");
    }
    EXPECT_EQ(ReadDirectory(".")->size(), 1u) << "no temporary file is left behind";
}

TEST_F(DownloadToFileTest, DownloadToFile_nothingListening_returnsQuickly) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadToFile("http://" + test::RandomLoopbackAddress() + "/x", "out.zip"), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(FileType("out.zip"), FileKind::None);
}

// An address without a port (as the default update server is written) reaches port 80.
TEST_F(DownloadToFileTest, DownloadToFile_noPortInAddress_port80) {
    test::HttpTestServer server;
    if (!server.Start(test::RandomLoopbackAddress(), 80))
        GTEST_SKIP() << "port 80 needs root here: " << std::strerror(errno);
    server.Serve("/list.zip", test::HttpResponse::Ok("on 80"));
    EXPECT_EQ(DownloadToFile("http://" + server.address() + "/list.zip", "out.zip"), 1);
    EXPECT_EQ(LoadText("out.zip").value_or("?"), "on 80");
}

} // namespace
} // namespace hvn
