// SHA-256 of a file's contents, so that a run's outputs can name exactly the
// data that made them (the same value `sha256sum FILE` prints).
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace core {

// Incremental SHA-256 (FIPS 180-4).
class Sha256 {
public:
    Sha256();
    void update(const void* data, std::size_t size);
    void update(std::string_view text) { update(text.data(), text.size()); }
    // The digest as 64 lower-case hexadecimal digits; the object is spent.
    std::string hex();

private:
    void block(const std::uint8_t* p);
    std::array<std::uint32_t, 8> h_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t used_ = 0;
    std::uint64_t length_ = 0;
};

std::string sha256Hex(std::string_view bytes);
// The digest of the file at `path`, or nothing when it cannot be read.
std::optional<std::string> sha256OfFile(const std::string& path);

}  // namespace core
