#include "render/output_file.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace render {

core::Status writeFileAtomically(const std::string& path, std::string_view bytes) {
    namespace fs = std::filesystem;
    auto failure = [&](const char* what, int err) {
        core::Status s = core::Status::error(what, err != 0 ? std::strerror(err) : "");
        s.file = path;
        return s;
    };
    if (path.empty()) return failure("no output file name given", 0);
    const fs::path target(path);
    std::error_code ec;
    if (fs::is_directory(target, ec)) return failure("cannot write the output file", EISDIR);
    fs::path tmp = target.parent_path() /
                   ("." + target.filename().string() + "." + std::to_string(static_cast<long>(::getpid())) + ".tmp");
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (f == nullptr) return failure("cannot write the output file", errno);
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int err = ok ? 0 : errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok) {
        // Keep the permissions of a file being replaced.
        fs::file_status old = fs::status(target, ec);
        if (!ec && fs::exists(old)) fs::permissions(tmp, old.permissions(), ec);
        if (std::rename(tmp.c_str(), target.c_str()) != 0) {
            ok = false;
            err = errno;
        }
    }
    if (!ok) {
        fs::remove(tmp, ec);
        return failure("cannot write the output file", err);
    }
    return core::Status::success();
}

}  // namespace render
