#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mosaic/search_cycle.h"

namespace {

using Links = std::vector<std::string>;

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

}  // namespace
