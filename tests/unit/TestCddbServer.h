#ifndef VANTREL_TESTS_UNIT_TESTCDDBSERVER_H
#define VANTREL_TESTS_UNIT_TESTCDDBSERVER_H

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TestAudio.h"

extern char** environ;

// The local CDDB server of tests/support/cddb_server.py, run as a child
// process for the life of the object. Its log holds one JSON object per
// command received; see the Python module for the fields.
class TestCddbServer {
public:
    explicit TestCddbServer(const std::string& root, const std::string& mode = "normal",
                            const std::string& proxyAuth = "") {
        std::vector<std::string> arguments = {"/usr/bin/python3", supportPath("cddb_server.py"), root,
                                              "--port-file", folder.path("ports"),
                                              "--log", folder.path("log"),
                                              "--mode", mode};
        if (!proxyAuth.empty()) {
            arguments.push_back("--proxy-auth");
            arguments.push_back(proxyAuth);
        }
        spawn(arguments);
        waitForPorts();
    }

    ~TestCddbServer() {
        // End of input stops the server, and so does SIGTERM; one that has
        // not ended within seconds is killed, so no test can hang here.
        close(input);
        kill(pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (waitpid(pid, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    TestCddbServer(const TestCddbServer&) = delete;
    TestCddbServer& operator=(const TestCddbServer&) = delete;

    // The cddbp port.
    unsigned int port() const { return cddbpPort; }
    // The HTTP port, which is also the proxy port.
    unsigned int httpPort() const { return httpPortNumber; }

    // Counts only the log lines written after the last call of this.
    void markLog() { logStart = logLines().size(); }

    // How many log lines since the mark hold every one of the fragments, for
    // example {"\"via\": \"proxy\"", "\"status\": 407"}; no fragment counts all.
    int countLogLines(std::initializer_list<std::string> fragments) const {
        const std::vector<std::string> lines = logLines();
        int count = 0;
        for (std::size_t line = logStart; line < lines.size(); ++line) {
            bool all = true;
            for (const std::string& fragment : fragments)
                all = all && lines[line].find(fragment) != std::string::npos;
            count += all ? 1 : 0;
        }
        return count;
    }

private:
    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        std::ifstream log(folder.path("log"));
        for (std::string line; std::getline(log, line);)
            lines.push_back(line);
        return lines;
    }

    static std::string supportPath(const std::string& name) {
        const char* support = std::getenv("VANTREL_TEST_SUPPORT");
        if (support == nullptr)
            throw std::runtime_error("VANTREL_TEST_SUPPORT is not set");
        return std::string(support) + "/" + name;
    }

    void spawn(const std::vector<std::string>& arguments) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0)
            throw std::runtime_error("cannot create a pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(ends[0]);
        input = ends[1];
        if (failed != 0) {
            close(input);
            throw std::runtime_error("cannot start " + arguments[0]);
        }
    }

    void waitForPorts() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream ports(folder.path("ports"));
            if (ports >> cddbpPort >> httpPortNumber)
                return;
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        close(input);
        throw std::runtime_error("the test CDDB server did not start");
    }

    TemporaryFolder folder;
    pid_t pid = -1;
    int input = -1;
    unsigned int cddbpPort = 0;
    unsigned int httpPortNumber = 0;
    std::size_t logStart = 0;
};

// Points HOME, where libcddb keeps its cache, at a fresh temporary folder
// while it lives.
class TemporaryHome {
public:
    TemporaryHome() {
        const char* old = std::getenv("HOME");
        hadHome = old != nullptr;
        if (hadHome)
            oldHome = old;
        setenv("HOME", folder.path("").c_str(), 1);
    }
    ~TemporaryHome() {
        if (hadHome)
            setenv("HOME", oldHome.c_str(), 1);
        else
            unsetenv("HOME");
    }
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    std::string path(const std::string& name) const { return folder.path(name); }

private:
    TemporaryFolder folder;
    bool hadHome = false;
    std::string oldHome;
};

#endif
