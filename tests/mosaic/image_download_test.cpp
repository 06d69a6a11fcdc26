#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "http/io_timeout.h"
#include "settings/option_store.h"
#include "test_image_download_server.h"
#include "tests/support/designed_download.h"
#include "tests/support/test_jpeg.h"

namespace {

using testhttp::asText;
using testhttp::okReply;
using testhttp::Reply;
using testhttp::Server;

// Every test starts from the default options ("original" 0) and leaves none behind.
class ImageDownload : public ::testing::Test {
  protected:
    void SetUp() override { loadOptions("/nonexistent/tilvane/tva_option.txt", {}); }
    void TearDown() override {
        clearOptions();
        SetIoTimeout(kDefaultIoTimeout);
        SetMaxExchangeDuration(kMaxExchangeDuration);
    }
};

std::string jpegText(int width, int height) {
    return asText(testjpeg::solid(width, height, 0x4080C0));
}

TEST_F(ImageDownload, DecodesAJpegAndKeepsItsBytesExactly) {
    const std::string jpeg = jpegText(31, 17);
    Server server([&](const std::string&) { return okReply(jpeg); });
    const DownloadResult result = downloadImage(server.url("/media/a.jpg"));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(asText(result.bytes), jpeg);
    ASSERT_TRUE(result.picture.has_value());
    EXPECT_EQ(result.picture->width, 31);
    EXPECT_EQ(result.picture->height, 17);
    EXPECT_EQ(server.userAgents(), std::vector<std::string>{"NETINET Sample Program"});
    // Another source's hosts are told the program's own name.
    EXPECT_TRUE(downloadImageFrom(server.url("/media/a.jpg"), "tilvane/9.9").ok);
    EXPECT_EQ(server.userAgents().back(), "tilvane/9.9");
}

TEST_F(ImageDownload, ReassemblesABodySentInPieces) {
    // 2500 bytes sent as 1024, 1024 and 452: the result holds exactly those bytes in order.
    std::string body(2500, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>(i * 7 + 3);
    }
    Server server([&](const std::string&) {
        return Reply{{"HTTP/1.0 200 OK\r\nContent-Length: 2500\r\n\r\n", body.substr(0, 1024),
                      body.substr(1024, 1024), body.substr(2048)}};
    });
    const DownloadResult result = downloadImage(server.url("/b.jpg"));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.bytes.size(), 2500u);
    EXPECT_EQ(asText(result.bytes), body);
    EXPECT_FALSE(result.picture.has_value());
}

TEST_F(ImageDownload, ErrorPageIsSuccessWithoutPicture) {
    const std::string page = "<html><body><h1>404 Not Found</h1></body></html>";
    Server server([&](const std::string&) {
        return Reply{{"HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: " +
                          std::to_string(page.size()) + "\r\n\r\n",
                      page}};
    });
    const DownloadResult result = downloadImage(server.url("/gone.jpg"));
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(asText(result.bytes), page);
    EXPECT_FALSE(result.picture.has_value());
}

TEST_F(ImageDownload, EmptyBodyIsSuccessWithZeroBytes) {
    Server server([](const std::string&) { return okReply(""); });
    const DownloadResult result = downloadImage(server.url("/empty.jpg"));
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(result.bytes.empty());
    EXPECT_FALSE(result.picture.has_value());
}

TEST_F(ImageDownload, UnreachableOrMalformedAddressIsFailure) {
    const std::string closed =
        "http://127.0.0.1:" + std::to_string(testhttp::closedPort()) + "/x.jpg";
    for (const std::string& url :
         {closed, std::string("not a url"), std::string(""), std::string("file:///etc/passwd")}) {
        const DownloadResult result = downloadImage(url);
        EXPECT_FALSE(result.ok) << url;
        EXPECT_TRUE(result.bytes.empty()) << url;
        EXPECT_FALSE(result.picture.has_value()) << url;
    }
}

TEST_F(ImageDownload, ConnectionCutShortKeepsWhatArrived) {
    const std::string jpeg = jpegText(64, 64);
    const std::string half = jpeg.substr(0, jpeg.size() / 2);
    Server server([&](const std::string&) {
        return Reply{
            {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(jpeg.size()) + "\r\n\r\n",
             half}};
    });
    const DownloadResult result = downloadImage(server.url("/cut.jpg"));
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(asText(result.bytes), half);
    EXPECT_FALSE(result.picture.has_value());
}

TEST_F(ImageDownload, OriginalOptionAsksForTheFullSizeImage) {
    const std::string jpeg = jpegText(8, 8);
    Server server([&](const std::string&) { return okReply(jpeg); });
    ASSERT_TRUE(downloadImage(server.url("/m/a.jpg")).ok);
    ASSERT_TRUE(setOption("original", 1));
    ASSERT_TRUE(downloadImage(server.url("/m/a.jpg")).ok);
    // Only exactly 1 turns it on.
    ASSERT_TRUE(setOption("original", 2));
    ASSERT_TRUE(downloadImage(server.url("/m/a.jpg")).ok);
    EXPECT_EQ(server.targets(),
              (std::vector<std::string>{"/m/a.jpg", "/m/a.jpg:orig", "/m/a.jpg"}));
    EXPECT_EQ(imageRequestUrl("http://x/a.jpg", true), "http://x/a.jpg:orig");
    EXPECT_EQ(imageRequestUrl("http://x/a.jpg", false), "http://x/a.jpg");
}

TEST_F(ImageDownload, FollowsRedirects) {
    const std::string jpeg = jpegText(12, 10);
    Server server([&](const std::string& target) {
        if (target == "/old.jpg") {
            return Reply{{"HTTP/1.1 302 Found\r\nLocation: /new.jpg\r\nContent-Length: 0\r\n\r\n"}};
        }
        return okReply(jpeg);
    });
    const DownloadResult result = downloadImage(server.url("/old.jpg"));
    ASSERT_TRUE(result.ok);
    ASSERT_TRUE(result.picture.has_value());
    EXPECT_EQ(result.picture->width, 12);
}

TEST_F(ImageDownload, StalledHostEndsTheDownload) {
    SetIoTimeout(std::chrono::milliseconds(300));
    const std::string jpeg = jpegText(40, 40);
    Server silent([](const std::string&) { return Reply{{}, true}; });
    Server halfway([&](const std::string&) {
        return Reply{
            {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(jpeg.size()) + "\r\n\r\n",
             jpeg.substr(0, 100)},
            true};
    });
    const DownloadResult nothing = downloadImage(silent.url("/s.jpg"));
    const DownloadResult partial = downloadImage(halfway.url("/h.jpg"));
    SetIoTimeout(kDefaultIoTimeout);

    EXPECT_FALSE(nothing.ok);
    EXPECT_TRUE(partial.ok);
    EXPECT_EQ(asText(partial.bytes), jpeg.substr(0, 100));
    EXPECT_FALSE(partial.picture.has_value());
}

TEST_F(ImageDownload, ADownloadStillArrivingAtTheDeadlineFails) {
    const std::string jpeg = jpegText(40, 40);
    // About 30 pieces 40 ms apart: some 1.2 s in all, each pause far inside the time-out.
    Server server([&](const std::string&) {
        return testhttp::dribbledReply(jpeg, jpeg.size() / 30 + 1, std::chrono::milliseconds(40));
    });

    const DownloadResult whole = downloadImage(server.url("/slow.jpg"));
    ASSERT_TRUE(whole.ok);
    EXPECT_EQ(asText(whole.bytes), jpeg);
    EXPECT_TRUE(whole.picture.has_value());

    SetIoTimeout(std::chrono::seconds(20));
    SetMaxExchangeDuration(std::chrono::milliseconds(600));
    const auto start = std::chrono::steady_clock::now();
    const DownloadResult cut = downloadImage(server.url("/slow.jpg"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    EXPECT_FALSE(cut.ok);
    EXPECT_TRUE(cut.bytes.empty());
    EXPECT_FALSE(cut.picture.has_value());
}

TEST(FetchUrlBody, StopsPastTheByteLimit) {
    const std::string body(2500, 'x');
    Server server([&](const std::string&) { return okReply(body, "application/octet-stream"); });
    const FetchedBody whole = fetchUrlBody(server.url("/a"), 2500);
    EXPECT_TRUE(whole.opened);
    EXPECT_FALSE(whole.overLimit);
    EXPECT_EQ(whole.bytes.size(), 2500u);

    const FetchedBody cut = fetchUrlBody(server.url("/a"), 2499);
    EXPECT_TRUE(cut.overLimit);
    EXPECT_TRUE(cut.bytes.empty());
}

}  // namespace
