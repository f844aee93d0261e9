// Environment variables and scratch files for tests that run child
// processes, on both targets.
#ifndef VELKOR_TESTS_TESTENVIRONMENT_H
#define VELKOR_TESTS_TESTENVIRONMENT_H

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

inline void SetEnvironment(const std::string& name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name.c_str(), value.c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

inline void UnsetEnvironment(const std::string& name) {
#ifdef _WIN32
    _putenv_s(name.c_str(), "");
#else
    unsetenv(name.c_str());
#endif
}

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

// Writes the bytes exactly as given (binary mode: no line-end translation).
inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
}

}  // namespace testsupport

#endif
