#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "mosaic/search/designed_search.h"
#include "mosaic/search/search_cycle.h"

namespace {

using Links = std::vector<std::string>;

// The scan as first written: for every marker it searches the ".jpg" and the secure marker
// afresh. Slow on hostile bodies, but plainly right; the real scan must agree with it.
Links referenceImageLinks(std::string_view body) {
    constexpr std::string_view media = R"("media_url":")";
    constexpr std::string_view secureMedia = R"("media_url_https":")";
    body = body.substr(0, std::min(body.size(), body.find('\0')));
    Links links;
    for (std::size_t marker = body.find(media); marker != std::string_view::npos;) {
        const std::size_t start = marker + media.size();
        const std::size_t extension = body.find(".jpg", start);
        const std::size_t secure = body.find(secureMedia, start);
        if (extension != std::string_view::npos && secure != std::string_view::npos &&
            secure > extension) {
            std::string url;
            for (const char c : body.substr(start, extension + 4 - start)) {
                if (c != '\\') {
                    url.push_back(c);
                }
            }
            links.push_back(url);
        }
        marker = body.find(media, start);
    }
    return links;
}

// Bodies built from the pieces the scan reacts to, overlapping markers included.
std::string randomBody(std::mt19937& random) {
    static const std::vector<std::string> pieces = {R"("media_url":")",
                                                    R"("media_url_https":")",
                                                    ".jpg",
                                                    ".png",
                                                    "\\",
                                                    "\\/",
                                                    "\"",
                                                    "x",
                                                    "http://h/",
                                                    R"("media_url":"media_url":")",
                                                    "jpg",
                                                    ".jp",
                                                    std::string(1, '\0'),
                                                    ",",
                                                    R"("media_url")",
                                                    R"("media_url_https":"media_url":")"};
    std::string body;
    const int count = static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) {
        body += pieces[random() % pieces.size()];
    }
    return body;
}

// Shaped like the service's search reply: each photo carries its plain and its secure
// address, slashes escaped as the service writes them.
const char kTwoPhotosReply[] =
    R"({"statuses":[{"id":1,"text":"a","entities":{"media":[{"id":11,)"
    R"("media_url":"http:\/\/pbs.example\/media\/AAA.jpg",)"
    R"("media_url_https":"https:\/\/pbs.example\/media\/AAA.jpg","type":"photo"}]}},)"
    R"({"id":2,"text":"b","entities":{"media":[{"id":12,)"
    R"("media_url":"http:\/\/pbs.example\/media\/BBB.jpg",)"
    R"("media_url_https":"https:\/\/pbs.example\/media\/BBB.jpg","type":"photo"}]}}]})";

TEST(ExtractImageLinks, UnescapesSlashesAndNeverTakesTheSecureCopy) {
    EXPECT_EQ(extractImageLinks(kTwoPhotosReply),
              (Links{"http://pbs.example/media/AAA.jpg", "http://pbs.example/media/BBB.jpg"}));
}

TEST(ExtractImageLinks, EmptyOrMarkerlessBodiesGiveNothing) {
    EXPECT_TRUE(extractImageLinks("").empty());
    EXPECT_TRUE(extractImageLinks(R"({"errors":[{"code":32}]})").empty());
    // Only the secure marker: it must not be read as a plain media marker.
    EXPECT_TRUE(
        extractImageLinks(R"("media_url_https":"https://x/a.jpg","media_url_https":"")").empty());
}

TEST(ExtractImageLinks, SkipsPngWhoseNextJpgLiesPastTheSecureMarker) {
    const std::string body =
        R"("media_url":"http:\/\/x\/p.png","media_url_https":"https:\/\/x\/p.png",)"
        R"("media_url":"http:\/\/x\/j.jpg","media_url_https":"https:\/\/x\/j.jpg")";
    EXPECT_EQ(extractImageLinks(body), (Links{"http://x/j.jpg"}));
}

TEST(ExtractImageLinks, OnlyPngLinksGiveNothing) {
    const std::string body = R"("media_url":"http://x/1.png","media_url_https":"https://x/1.png",)"
                             R"("media_url":"http://x/2.png","media_url_https":"https://x/2.png")";
    EXPECT_TRUE(extractImageLinks(body).empty());
}

TEST(ExtractImageLinks, LastMarkerWithoutSecureMarkerOrJpgIsSkipped) {
    EXPECT_EQ(extractImageLinks(R"("media_url":"http://x/a.jpg","media_url_https":"s",)"
                                R"("media_url":"http://x/b.jpg"})"),
              (Links{"http://x/a.jpg"}));
    EXPECT_TRUE(extractImageLinks(R"("media_url":"http://x/b","media_url_https":"s")").empty());
}

TEST(ExtractImageLinks, DropsEveryBackslashAndKeepsDuplicatesForTheGridToJudge) {
    const std::string body = R"("media_url":"http:\/\/x\\\/a\".jpg","media_url_https":"",)"
                             R"("media_url":"http:\/\/x\/a\".jpg","media_url_https":"")";
    EXPECT_EQ(extractImageLinks(body), (Links{"http://x/a\".jpg", "http://x/a\".jpg"}));
}

TEST(ExtractImageLinks, StopsAtTheFirstNulByte) {
    std::string body = R"("media_url":"http://x/a.jpg","media_url_https":"")";
    const std::string hidden = R"("media_url":"http://x/b.jpg","media_url_https":"")";
    body.push_back('\0');
    body += hidden;
    EXPECT_EQ(extractImageLinks(body), (Links{"http://x/a.jpg"}));
}

TEST(ExtractImageLinks, MarkerAtTheVeryEndIsHarmless) {
    EXPECT_TRUE(extractImageLinks(R"(xx"media_url":")").empty());
    EXPECT_TRUE(extractImageLinks(R"("media_url":".jpg)").empty());
    EXPECT_EQ(extractImageLinks(R"("media_url":".jpg"media_url_https":")"), (Links{".jpg"}));
}

TEST(ExtractImageLinks, AgreesWithTheReferenceScanOnRandomAndRecordedBodies) {
    std::mt19937 random(77031u);
    int bodiesWithLinks = 0;
    for (int round = 0; round < 20000; ++round) {
        const std::string body = randomBody(random);
        const Links links = extractImageLinks(body);
        ASSERT_EQ(links, referenceImageLinks(body)) << "round " << round;
        bodiesWithLinks += links.empty() ? 0 : 1;
    }
    EXPECT_GT(bodiesWithLinks, 2000);

    std::ifstream recorded(TILVANE_TEST_DATA_DIR "/search_reply_multi.json", std::ios::binary);
    const std::string reply(std::istreambuf_iterator<char>(recorded), {});
    ASSERT_FALSE(reply.empty());
    const Links links = extractImageLinks(reply);
    // 30 posts of three photos, the first listed twice; profile images are no media.
    EXPECT_EQ(links.size(), 120u);
    EXPECT_EQ(links, referenceImageLinks(reply));
    EXPECT_EQ(links.front(), "http://127.0.0.1:8080/media/a01.jpg");
}

TEST(ExtractImageLinks, ABodyOfMarkersWithoutJpgGivesNothing) {
    // Every marker once searched the rest of the body for ".jpg"; 1 MiB of them held the
    // worker for hours.
    std::string hostile;
    while (hostile.size() < (1u << 20)) {
        hostile += R"("media_url":"x","media_url_https":"y",)";
    }
    EXPECT_TRUE(extractImageLinks(hostile).empty());
    hostile += R"("media_url":"z.jpg","media_url_https":")";
    EXPECT_EQ(extractImageLinks(hostile), (Links{"z.jpg"}));
}

}  // namespace
