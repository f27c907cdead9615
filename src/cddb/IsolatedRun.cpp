#include "cddb/IsolatedRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "cddb/CDDBQueryException.h"

namespace Vantrel {

namespace {

const int POLL_MILLISECONDS = 100;

void writeAll(int descriptor, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            _exit(1); // the parent is gone or has stopped listening
        done += static_cast<std::size_t>(written);
    }
}

// The child's resident memory in bytes; 0 where it cannot be read.
std::size_t residentBytes(pid_t child) {
    std::ifstream statm("/proc/" + std::to_string(child) + "/statm");
    std::size_t total = 0, resident = 0;
    if (!(statm >> total >> resident))
        return 0;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

[[noreturn]] void runChild(int output, pid_t parent, const std::function<void(RecordSink&)>& work) {
#ifdef __linux__
    // Should the program be killed, the lookup goes with it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    if (getppid() != parent)
        _exit(1);
    RecordSink sink(output);
    try {
        work(sink);
    } catch (const std::exception& error) {
        sink.send(RECORD_ERROR, error.what());
    } catch (...) {
        sink.send(RECORD_ERROR, "Connection error: the lookup failed");
    }
    // No destructor, exit handler or stream buffer of the parent's runs twice.
    _exit(0);
}

class Child {
public:
    Child(pid_t pid, int input) : pid(pid), input(input) {}
    ~Child() {
        close(input);
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Reads what the child sends until it closes its end; throws when a limit is passed.
    std::string readAll(const RunLimits& limits) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.seconds);
        const std::size_t residentAtStart = residentBytes(pid);
        std::string received;
        for (;;) {
            if (std::chrono::steady_clock::now() >= deadline)
                throw CDDBQueryException("Connection error: the server did not finish its answer in " +
                                         std::to_string(limits.seconds) + " s");
            const std::size_t resident = residentBytes(pid);
            if (received.size() > limits.memoryBytes || (residentAtStart > 0 && resident > residentAtStart &&
                                                         resident - residentAtStart > limits.memoryBytes))
                throw CDDBQueryException("Connection error: the server's answer was too large");
            pollfd ready = {input, POLLIN, 0};
            if (poll(&ready, 1, POLL_MILLISECONDS) <= 0)
                continue;
            char buffer[1 << 16];
            const ssize_t count = read(input, buffer, sizeof buffer);
            if (count == 0)
                return received;
            if (count > 0)
                received.append(buffer, static_cast<std::size_t>(count));
            else if (errno != EINTR)
                throw CDDBQueryException("Connection error: the lookup failed");
        }
    }

    // True when the child ended by itself, without a signal.
    bool endedNormally() {
        int status = 0;
        const bool normal = waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        pid = -1;
        return normal;
    }

private:
    pid_t pid;
    int input;
};

std::uint32_t lengthAt(const std::string& bytes, std::size_t offset) {
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i)
        length = length << 8 | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
    return length;
}

std::vector<Record> splitRecords(const std::string& bytes) {
    std::vector<Record> records;
    std::size_t offset = 0;
    while (bytes.size() - offset >= 5) {
        const std::uint32_t length = lengthAt(bytes, offset + 1);
        if (bytes.size() - offset - 5 < length)
            break;
        records.push_back(Record{bytes[offset], bytes.substr(offset + 5, length)});
        offset += 5 + length;
    }
    if (offset != bytes.size())
        throw CDDBQueryException("Connection error: the lookup failed");
    return records;
}

} // namespace

void RecordSink::send(char type, const std::string& payload) {
    std::string frame(1, type);
    const auto length = static_cast<std::uint32_t>(payload.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        frame += static_cast<char>(length >> shift & 0xff);
    writeAll(descriptor, frame + payload);
}

std::vector<Record> runIsolated(const std::function<void(RecordSink&)>& work, const RunLimits& limits) {
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0)
        throw CDDBQueryException("Connection error: cannot start the lookup");
    // Output still buffered would otherwise be written by both processes.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        close(channel[0]);
        runChild(channel[1], parent, work);
    }
    close(channel[1]);
    if (pid < 0) {
        close(channel[0]);
        throw CDDBQueryException("Connection error: cannot start the lookup");
    }
    Child child(pid, channel[0]);
    const std::string received = child.readAll(limits);
    if (!child.endedNormally())
        throw CDDBQueryException("Connection error: the lookup ended unexpectedly");
    return splitRecords(received);
}

} // namespace Vantrel
