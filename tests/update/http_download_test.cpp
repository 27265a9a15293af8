// DownloadToFile against a server of the test's own on a loopback address, port 80.
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
        if (!server_.Start(test::RandomLoopbackAddress(), 80)) {
            const std::string why = std::strerror(errno);
            if (const char *v = std::getenv("HALVANE_TEST_SERVICES"); v && std::string(v) == "1")
                FAIL() << "cannot listen on port 80: " << why;
            GTEST_SKIP() << "cannot listen on port 80: " << why;
        }
        base_ = "http://" + server_.address();
    }
    void TearDown() override {
        server_.Stop();
        ChangeDir(old_);
    }

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
    const auto requests = server_.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0], "GET /hvn/list.zip HTTP/1.0 | Host: " + server_.address());
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
    server_.Serve("/huge", test::HttpResponse::Ok(std::string(size_t(kMaxArchiveBytes) + 1, 'h')));
    const std::vector<Case> cases = {
        // A port of its own is not understood: the host text is used as it stands.
        {"port in address", "http://" + server_.address() + ":80/cut"},
        {"nothing listening", "http://" + test::RandomLoopbackAddress() + "/x"},
        {"not http", "https://" + server_.address() + "/x"},
        {"cut off", base_ + "/cut"},
        {"no header end", base_ + "/noend"},
        {"larger than the limit", base_ + "/huge"},
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

} // namespace
} // namespace hvn
