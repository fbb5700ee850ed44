#include "io/sln_reader.hpp"

#include <vector>

#include "core/text.hpp"

namespace io {

using core::Status;

Status readSolutionModels(const std::string& fileName, std::span<const int> variants, model::SolutionModelSet& set,
                          Streams& streams, int messages) {
    const std::string name(core::trim(fileName));
    if (streams.open(model::kUnitSolutionFile, name, OpenMode::Existing) != 0) {
        Status s = Status::error("Error opening solution properties file: " + name);
        s.file = name;
        return s;
    }
    std::vector<std::string> lines;
    for (std::string line; streams.readLine(model::kUnitSolutionFile, line).done();) lines.push_back(line);
    streams.close(model::kUnitSolutionFile);
    std::vector<std::string> said;
    Status s = parseSolutionModels(lines, name, variants, set, said);
    for (const std::string& l : said) streams.writeLine(messages, l);
    return s;
}

}  // namespace io
