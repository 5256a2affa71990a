// The configuration library as lxnicctl calls it: its C interface, what its
// result codes mean, and the error a failed call turns into.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "lxniccfg.h"

namespace lxnicctl {

// A failure that ends the command (exit code 1): the message is printed
// after "lxnicctl: ". When a library call failed, `call` names it and
// `result` holds its answer; both go into the --json error object.
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string &message) : std::runtime_error(message) {}
    Failure(const std::string &message, std::string call, uint32_t result)
        : std::runtime_error(message), call_(std::move(call)), result_(result), hasResult_(true) {}

    const std::string &call() const { return call_; }
    bool hasResult() const { return hasResult_; }
    uint32_t result() const { return result_; }

private:
    std::string call_;
    uint32_t result_ = 0;
    bool hasResult_ = false;
};

// A command line that is wrong (exit code 2): a missing '=', an empty name or
// path, an option value that cannot be used.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string &message) : std::runtime_error(message) {}
};

// What a result of the library means. `call` names the export that gave it,
// since a few codes mean different things for different calls.
std::string ResultMeaning(const std::string &call, uint32_t code);

// "result N (meaning)"
std::string DescribeResult(const std::string &call, uint32_t code);

// Throws a Failure "WHAT failed: CALL answered result N (meaning)" unless the
// code is 0 or 7 (success with a notice). Returns the code.
uint32_t Check(const std::string &what, const std::string &call, uint32_t code);

}  // namespace lxnicctl
