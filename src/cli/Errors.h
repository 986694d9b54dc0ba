// The tool's kinds of failure, which decide its exit status: a usage error
// (bad command line, bad value, unknown name) exits 2, a failure while
// loading, rendering, reading or writing exits 1, and protocol faults of the
// effect exit 3.
#pragma once

#include <stdexcept>
#include <string>

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFaults = 3;

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The effect broke the host's rules: the command did its work but the host
// counted protocol faults, or --strict stopped it at the first.
class ProtocolFaults : public Failure {
public:
    using Failure::Failure;
};

}  // namespace cli
