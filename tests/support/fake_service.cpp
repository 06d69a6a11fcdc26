#include "tests/support/fake_service.h"

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

#include "http/http_fetch.h"

extern char** environ;

bool FakeService::PythonAvailable() {
    return std::system("python3 -c 'import ssl' >/dev/null 2>&1") == 0;
}

FakeService::FakeService(const std::vector<std::string>& misbehaviours) {
    const std::string script =
        std::string(TILVANE_SOURCE_DIR) + "/tools/fakeservice/fakeservice.py";
    std::vector<std::string> arguments = {"python3", script, "--state-dir",
                                          folder_.path().string(), "--keep-running-seconds",
                                          "600"};
    for (const std::string& misbehaviour : misbehaviours) {
        arguments.push_back("--misbehave");
        arguments.push_back(misbehaviour);
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const std::string output = (folder_.path() / "output.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int spawned = posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        return;
    }
    // service.json appears once every server accepts connections (certificates first).
    const auto description = folder_.path() / "service.json";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::exists(description)) {
            description_ = readBytes(description);
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

std::vector<std::string> FakeService::LogLines() const {
    std::vector<std::string> lines;
    std::istringstream log(readBytes(Field("log_file")));
    for (std::string line; std::getline(log, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::string FakeService::LastLogEntry() const {
    const std::vector<std::string> lines = LogLines();
    return lines.empty() ? std::string() : lines.back();
}

std::string FakeService::Output() const {
    return readBytes(folder_.path() / "output.log");
}

bool FakeService::Misbehave(const std::string& json) const {
    std::vector<char> body;
    // The test control is reached through the client under test, over verified TLS.
    return HttpFetch(body, Field("api_url") + "/_test/misbehave", json);
}
