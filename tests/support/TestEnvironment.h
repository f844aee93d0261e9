// Environment variables and scratch files for tests that run child
// processes, on both targets.
#ifndef VELKOR_TESTS_TESTENVIRONMENT_H
#define VELKOR_TESTS_TESTENVIRONMENT_H

#include "Platform.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using syv::SetEnvironment;
using syv::UnsetEnvironment;

// Sets variables for the lifetime of the object and removes them after.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (const std::string& name : names_) {
            UnsetEnvironment(name);
        }
    }

    void Set(const std::string& name, const std::string& value) {
        SetEnvironment(name, value);
        names_.push_back(name);
    }

private:
    std::vector<std::string> names_;
};

// The file's bytes exactly as they are.
inline std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Writes the bytes exactly as given (binary mode: no line-end translation).
inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
}

// A fresh folder under the temporary directory, removed with the object. The
// name gets a time stamp, so that test programs running at once do not meet.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                (name + "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // With forward slashes on every platform.
    std::string Path() const { return path_.generic_string(); }
    std::string File(const std::string& name) const { return Path() + "/" + name; }
    void Write(const std::string& name, const std::string& bytes) const { WriteFile(File(name), bytes); }

private:
    std::filesystem::path path_;
};

}  // namespace testsupport

#endif
