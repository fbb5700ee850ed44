#include "api/internal.hpp"
#include "core/text.hpp"

namespace pelkam {

std::string Error::describe() const {
    core::Status s;
    s.code = core::StatusCode::Error;
    s.what = what;
    s.why = why;
    s.file = file;
    s.line = line;
    s.field = field;
    s.value = value;
    return s.describe();
}

namespace detail {

CapturedStreams::CapturedStreams() {
    io::Console console;
    console.writeLine = [this](std::string_view line) { lines.emplace_back(line); };
    console.readLine = [](std::string&) { return false; };
    streams.setConsole(std::move(console));
}

Error errorOf(const core::Status& s, std::vector<std::string> messages) {
    Error e;
    e.kind = s.code == core::StatusCode::Stop ? ErrorKind::Data : ErrorKind::Request;
    e.what = s.what;
    e.why = s.why;
    e.file = s.file;
    e.line = s.line;
    e.field = s.field;
    e.value = s.value;
    e.messages = std::move(messages);
    e.messages.insert(e.messages.end(), s.message.begin(), s.message.end());
    return e;
}

Error requestError(std::string what) {
    Error e;
    e.kind = ErrorKind::Request;
    e.what = std::move(what);
    return e;
}

Error fileError(std::string what, std::string file, std::string why) {
    Error e;
    e.kind = ErrorKind::File;
    e.what = std::move(what);
    e.file = std::move(file);
    e.why = std::move(why);
    return e;
}

std::string nameKey(std::string_view s) {
    std::string out;
    for (char c : core::trim(s)) {
        if (c == ' ' || c == '\t') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    return core::upper(out);
}

}  // namespace detail
}  // namespace pelkam
