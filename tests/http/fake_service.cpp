#include "fake_service.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "http/http_fetch.h"

extern char** environ;

namespace {

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

bool FakeService::PythonAvailable() {
    return std::system("python3 -c 'import ssl' >/dev/null 2>&1") == 0;
}

FakeService::FakeService() {
    const std::string script =
        std::string(TILVANE_SOURCE_DIR) + "/tools/fakeservice/fakeservice.py";
    const std::string stateDir = folder_.path().string();
    std::vector<std::string> arguments = {
        "python3", script, "--state-dir", stateDir, "--keep-running-seconds", "600"};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        return;
    }
    const auto description = folder_.path() / "service.json";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::exists(description)) {
            description_ = ReadFile(description);
            ready_ = !Field("api_url").empty();
            return;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

FakeService::~FakeService() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

std::string FakeService::Field(const std::string& name) const {
    const std::string key = "\"" + name + "\": \"";
    const auto at = description_.find(key);
    if (at == std::string::npos) {
        return "";
    }
    const auto start = at + key.size();
    const auto end = description_.find('"', start);
    return end == std::string::npos ? "" : description_.substr(start, end - start);
}

std::string FakeService::LastLogEntry() const {
    std::istringstream log(ReadFile(Field("log_file")));
    std::string line;
    std::string last;
    while (std::getline(log, line)) {
        if (!line.empty()) {
            last = line;
        }
    }
    return last;
}

bool FakeService::Misbehave(const std::string& json) const {
    std::vector<char> body;
    // The test control is reached through the client under test, over verified TLS.
    return HttpFetch(body, Field("api_url") + "/_test/misbehave", json);
}
