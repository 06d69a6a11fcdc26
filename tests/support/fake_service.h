#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

// The fake service of tools/fakeservice, started for a test and stopped with it.
class FakeService {
  public:
    // Starts the service with these misbehaviours (JSON objects) armed from the start, and waits
    // until it describes itself; running() says whether it did.
    explicit FakeService(const std::vector<std::string>& misbehaviours = {});
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    static bool PythonAvailable();

    bool running() const { return ready_; }
    // A string field of service.json ("api_url", "access_token", ...); "" when absent.
    std::string Field(const std::string& name) const;
    std::filesystem::path ServiceTxt() const { return folder_.path() / "service.txt"; }
    // The request log, one JSON object per line, and its last entry.
    std::vector<std::string> LogLines() const;
    std::string LastLogEntry() const;
    // What the service printed, for a failure message.
    std::string Output() const;
    // Arms a misbehaviour (a JSON object) through the service's test control.
    bool Misbehave(const std::string& json) const;

  private:
    TempFolder folder_;
    pid_t pid_ = -1;
    bool ready_ = false;
    std::string description_;
};
