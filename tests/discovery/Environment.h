// Setting the test process's environment, which the tools it starts inherit.
#ifndef VELKOR_TESTS_DISCOVERY_ENVIRONMENT_H
#define VELKOR_TESTS_DISCOVERY_ENVIRONMENT_H

#include <string>

namespace velkor::test {

void SetEnvironment(const std::string& name, const std::string& value);
void UnsetEnvironment(const std::string& name);

}  // namespace velkor::test

#endif
