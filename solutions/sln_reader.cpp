#include "solutions/sln_reader.hpp"

#include <vector>

#include "records/text.hpp"

namespace solutions {

using records::Status;

Status readSolutionModels(const std::string& fileName, std::span<const int> variants, SolutionModelSet& set,
                          records::Streams& streams, int messages) {
    const std::string name(records::trim(fileName));
    if (streams.open(kUnitSolutionFile, name, records::OpenMode::Existing) != 0) {
        Status s = Status::error("Error opening solution properties file: " + name);
        s.file = name;
        return s;
    }
    std::vector<std::string> lines;
    for (std::string line; streams.read_line(kUnitSolutionFile, line).done();) lines.push_back(line);
    streams.close(kUnitSolutionFile);
    std::vector<std::string> said;
    Status s = parseSolutionModels(lines, name, variants, set, said);
    for (const std::string& l : said) streams.write_line(messages, l);
    return s;
}

}  // namespace solutions
