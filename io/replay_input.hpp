// Reading the answers of a run back from the replayed input (unit 5) and
// reporting what went wrong there: the messages of the replay, then a stop.
#pragma once
#include <span>
#include <string>

#include "core/layout.hpp"
#include "core/status.hpp"
#include "io/streams.hpp"

namespace io {

struct ReplayInput {
    Streams& streams;
    std::string fileName;  // name of the replayed input, for the messages
    int input = 5;         // replayed input
    int messages = 6;      // interactive output

    // Reads one record; on end of file or a read error writes the message
    // block and returns the Stop status.
    core::Status read(const core::Layout& layout, std::span<const core::Target> targets);
    // Reads one raw line (end of file -> message block and Stop).
    core::Status readLine(std::string& line);
    // A record that was read but does not fit: " ***ERROR IN INPUT DATA,
    // EXECUTION TERMINATED" and a line naming the file, the line (the last
    // record read), the field and the offending text; then Stop.
    core::Status reject(int field, const std::string& what, const std::string& value);
    core::Status endOfFile();
    core::Status failure(const core::ReadOutcome& r);
};

}  // namespace io
