#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace corvane::testing {

// A throw-away /sys/class/net look-alike in a temporary directory.
class FakeSysfs {
public:
    using Entries = std::vector<std::pair<std::string, std::string>>;

    FakeSysfs()
    {
        std::string dir = std::filesystem::temp_directory_path() / "corvane-sysfs-XXXXXX";
        base_ = ::mkdtemp(dir.data()) ? dir : "/nonexistent";
        std::filesystem::create_directories(root());
        std::filesystem::create_directories(base_ / "hw");
    }
    ~FakeSysfs()
    {
        std::error_code ignored;
        std::filesystem::remove_all(base_, ignored);
    }

    std::filesystem::path root() const { return base_ / "net"; }

    // Entries of device NAME: content "/" makes a directory, "@" a link to hardware (like
    // `device` and `phy80211`), anything else a file with that content.
    void add(const std::string& name, const Entries& entries)
    {
        const auto dir = root() / name;
        std::filesystem::create_directories(dir);
        for (const auto& [entry, content] : entries) {
            if (content == "/")
                std::filesystem::create_directories(dir / entry);
            else if (content == "@")
                std::filesystem::create_directory_symlink(base_ / "hw", dir / entry);
            else
                std::ofstream(dir / entry, std::ios::binary) << content;
        }
    }

private:
    std::filesystem::path base_;
};

} // namespace corvane::testing
