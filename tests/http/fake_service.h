#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "temp_folder.h"

// The fake service of tools/fakeservice, started for a test and stopped with it.
class FakeService {
  public:
    // Starts the service and waits until it describes itself; running() says whether it did.
    FakeService();
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    static bool PythonAvailable();

    bool running() const { return ready_; }
    // A string field of service.json ("api_url", "access_token", ...); "" when absent.
    std::string Field(const std::string& name) const;
    std::filesystem::path ServiceTxt() const { return folder_.path() / "service.txt"; }
    // The request log's last entry (one JSON object per line).
    std::string LastLogEntry() const;
    // Arms a misbehaviour (a JSON object) through the service's test control.
    bool Misbehave(const std::string& json) const;

  private:
    TempFolder folder_;
    pid_t pid_ = -1;
    bool ready_ = false;
    std::string description_;
};
