#include "core/atomic_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace core {

namespace fs = std::filesystem;

fs::path saveTarget(const std::string& name) {
    fs::path p(name);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(p, ec))) {
        fs::path real = fs::canonical(p, ec);
        if (!ec) return real;
    }
    return p;
}

fs::path temporaryName(const fs::path& target, int tag) {
    std::string tmp(1, '.');
    tmp.append(target.filename().string());
    tmp.append(1, '.').append(std::to_string(static_cast<long>(::getpid())));
    tmp.append(1, '.').append(std::to_string(tag)).append(".tmp");
    return target.parent_path() / tmp;
}

int writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

void syncDirectory(const fs::path& dir) {
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

SignalsHeld::SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&set, sig);
    held_ = sigprocmask(SIG_BLOCK, &set, &previous_) == 0;
}

SignalsHeld::~SignalsHeld() {
    if (held_) sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

Status writeFileAtomically(const std::string& path, std::string_view bytes) {
    auto failure = [&](const char* what, int err) {
        Status s = Status::error(what, err != 0 ? std::strerror(err) : "");
        s.file = path;
        return s;
    };
    if (path.empty()) return failure("no output file name given", 0);
    const fs::path target = saveTarget(path);
    std::error_code ec;
    if (fs::is_directory(target, ec)) return failure("cannot write the output file", EISDIR);
    const fs::path tmp = temporaryName(target, 0);
    SignalsHeld held;
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return failure("cannot write the output file", errno);
    int err = writeAll(fd, bytes);
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        ::unlink(tmp.c_str());
        return failure("cannot write the output file", err);
    }
    // Keep the permissions of a file being replaced.
    const fs::file_status old = fs::status(target, ec);
    if (!ec && fs::exists(old)) fs::permissions(tmp, old.permissions(), ec);
    if (std::rename(tmp.c_str(), target.c_str()) != 0) {
        err = errno;
        ::unlink(tmp.c_str());
        return failure("cannot replace the output file", err);
    }
    syncDirectory(target.parent_path());
    return Status::success();
}

}  // namespace core
