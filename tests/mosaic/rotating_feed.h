#pragma once

// A stand-in service whose replies move through many distinct pictures, so that cycle after
// cycle brings new images and the wall wraps around many times.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mosaic/search/search_cycle.h"

class RotatingFeed {
  public:
    // Each reply lists linksPerReply links, starting where the previous reply stopped, out of
    // distinctImages pictures in all.
    RotatingFeed(std::size_t distinctImages, std::size_t linksPerReply)
        : distinctImages_(distinctImages), linksPerReply_(linksPerReply) {}

    static std::string linkOf(std::size_t image) {
        return "http://pbs.example/media/rot" + std::to_string(image) + ".jpg";
    }

    SearchCycleServices services() {
        return SearchCycleServices{
            [this](std::vector<char>& body, std::string, std::string) {
                const std::size_t first = searches_++ * linksPerReply_;
                std::string reply = R"({"statuses":[)";
                for (std::size_t i = 0; i < linksPerReply_; ++i) {
                    const std::string link = linkOf((first + i) % distinctImages_);
                    reply +=
                        R"({"media_url":")" + link + R"(","media_url_https":")" + link + R"("},)";
                }
                reply += "]}";
                body.assign(reply.begin(), reply.end());
                body.push_back('\0');
                return true;
            },
            [this](const std::string& url) {
                ++downloads_;
                // The picture's byte count names the image, so no two count as duplicates.
                const std::size_t image = std::stoul(url.substr(url.rfind("rot") + 3));
                DownloadResult result;
                result.ok = true;
                result.bytes.assign(100 + image, static_cast<std::uint8_t>(image));
                result.picture = Surface::filled(32 + static_cast<std::int32_t>(image % 5), 24,
                                                 static_cast<std::uint32_t>(image * 2654435761u));
                return result;
            },
        };
    }

    std::size_t searches() const { return searches_; }
    std::size_t downloads() const { return downloads_; }

  private:
    std::size_t distinctImages_;
    std::size_t linksPerReply_;
    std::atomic<std::size_t> searches_{0};
    std::atomic<std::size_t> downloads_{0};
};
