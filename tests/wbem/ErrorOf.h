// The start-up checks' refusals, read in tests.
#ifndef VELKOR_TESTS_WBEM_ERROROF_H
#define VELKOR_TESTS_WBEM_ERROROF_H

#include <stdexcept>
#include <string>

// The message of the std::runtime_error that `run` throws; empty when none.
template <typename Run>
std::string ErrorOf(Run run) {
    try {
        run();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

#endif
