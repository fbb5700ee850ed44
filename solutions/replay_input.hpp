// Reading the answers of a run back from the replayed input (unit 5) and
// reporting what went wrong there: the messages of the replay, then a stop.
#pragma once
#include <span>
#include <string>

#include "records/layout.hpp"
#include "records/status.hpp"
#include "records/streams.hpp"

namespace solutions {

struct ReplayInput {
    records::Streams& streams;
    std::string fileName;  // name of the replayed input, for the messages
    int input = 5;         // replayed input
    int messages = 6;      // interactive output

    // Reads one record; on end of file or a read error writes the message
    // block and returns the Stop status.
    records::Status read(const records::Layout& layout, std::span<const records::Target> targets);
    // Reads one raw line (end of file -> message block and Stop).
    records::Status readLine(std::string& line);
    // A record that was read but does not fit: " ***ERROR IN INPUT DATA,
    // EXECUTION TERMINATED" and a line naming the file, the line (the last
    // record read), the field and the offending text; then Stop.
    records::Status reject(int field, const std::string& what, const std::string& value);
    records::Status endOfFile();
    records::Status failure(const records::ReadOutcome& r);
};

}  // namespace solutions
