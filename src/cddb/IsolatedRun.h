#ifndef VANTREL_CDDB_ISOLATEDRUN_H
#define VANTREL_CDDB_ISOLATEDRUN_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace Vantrel {

// One message from the child: a type letter and its bytes.
struct Record {
    char type;
    std::string payload;
};

// The child's end of the channel.
class RecordSink {
public:
    explicit RecordSink(int descriptor) : descriptor(descriptor) {}
    void send(char type, const std::string& payload);

private:
    int descriptor;
};

struct RunLimits {
    unsigned int seconds;
    // How far the child's resident memory may grow.
    std::size_t memoryBytes;
};

// The record type that carries the message of an exception thrown by the work.
const char RECORD_ERROR = 'E';

// Runs `work` in a child process, so that no answer from a server can keep
// the program waiting or fill its memory: the child is killed when it runs
// longer or grows larger than `limits` allow, and CDDBQueryException says
// so. Returns the records that the child sent, in order; an exception the
// work throws arrives as a last record of type RECORD_ERROR.
std::vector<Record> runIsolated(const std::function<void(RecordSink&)>& work, const RunLimits& limits);

} // namespace Vantrel

#endif
