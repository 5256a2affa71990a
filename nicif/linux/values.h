// Reading one property's value from the kernel and writing it back, by the
// source its row names. The commit uses the writes; they report what they
// changed so that a failed commit can put it back.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "kernel.h"
#include "properties.h"

namespace lxniclinux {

// An operation that puts back one change already made.
struct Undo {
    std::string what;
    std::function<KernelError()> run;
};

// 0 with the value, 1 when the object or its driver has no such setting, or
// another code of the library with the reason in why.
uint32_t ReadValue(Netlink &nl, const Link &link, const PropertyRow &row, KernelValue &value, std::string &why);

// Writes the value when it differs from what the kernel holds, taking the
// object down around the change when the row needs that. Every change made
// is pushed on undo (in the order made).
KernelError WriteValue(Netlink &nl, int index, const PropertyRow &row, const KernelValue &value,
                       std::vector<Undo> &undo);

// Brings a link up or down and records how to put it back.
KernelError SetUp(Netlink &nl, int index, bool up, std::vector<Undo> &undo);

}  // namespace lxniclinux
