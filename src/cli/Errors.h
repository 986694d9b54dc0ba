// The tool's two kinds of failure, which decide its exit status: a usage
// error (bad command line, bad value, unknown name) exits 2, a failure while
// loading, rendering, reading or writing exits 1.
#pragma once

#include <stdexcept>
#include <string>

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace cli
