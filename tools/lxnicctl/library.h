// The configuration library as lxnicctl calls it: its C interface, what its
// result codes mean, and the error a failed call turns into.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "lxniccfg.h"

namespace lxnicctl {

// A failure that ends the command: the message is printed after "lxnicctl: ".
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string &message) : std::runtime_error(message) {}
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
