// Replacing files whole: the bytes go to a temporary file beside the target,
// are flushed to the disk and renamed over the target, so that the file on
// disk is either the old one or the complete new one.  Signals that end the
// program are held back while a temporary exists.
#pragma once
#include <csignal>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/status.hpp"

namespace core {

// The file a save replaces: the file a symbolic link points to, or `name`.
std::filesystem::path saveTarget(const std::string& name);

// The temporary beside `target` that a save of writer `tag` uses:
// ".NAME.PID.TAG.tmp".
std::filesystem::path temporaryName(const std::filesystem::path& target, int tag);

// Writes `bytes` to the open descriptor `fd`.  Returns 0 or the error number.
int writeAll(int fd, std::string_view bytes);

// Flushes a directory's entries (the renames in it) to the disk; file
// systems that cannot do so are left to their own schedule.
void syncDirectory(const std::filesystem::path& dir);

// Holds back SIGINT, SIGTERM, SIGHUP and SIGQUIT for its lifetime; a signal
// that arrives meanwhile takes effect once it ends.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_{};
    bool held_ = false;
};

// Replaces the file `path` (through a symbolic link, its target) by `bytes`,
// keeping the permissions of the file it replaces.  Errors name the file:
// "no output file name given", "cannot write the output file" (with the
// system's reason), "cannot replace the output file".
Status writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace core
