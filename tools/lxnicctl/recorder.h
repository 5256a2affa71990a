// What the configuration library writes through the NIC interface library,
// as lxnicctl sees it: reading a panel can write (a value outside its
// enumeration is reset to the default, and the reset is committed with the
// next change), and the plan must show that write too.
//
// lxnicctl defines the NIC interface library's write functions itself and
// passes every call on to the library (recorder_posix.cpp, by the dynamic
// linker's usual order of lookup), noting the writes made while panels are
// read. Where that is not possible the recorder sees nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "session.h"

namespace lxnicctl {

namespace recorder {

enum class Kind { Adapter, Team, Vlan };

// A write made while panels were read.
struct ReadWrite {
    Kind kind;
    uint64_t handle;
    uint32_t property;
    std::string found;    // the value the object held (committed)
    std::string written;  // the value written
};

// From now on, writes are noted as made while reading (the notes start
// afresh), or no longer noted (the apply makes its own writes).
void StartReading();
void StopReading();
const std::vector<ReadWrite> &WritesWhileReading();

}  // namespace recorder

// Adds the values reset while the session's panels were read to the plan,
// each under its object's heading (the heading's stream is given by
// sectionOf).
void AddReadResets(Session &session, const std::function<std::ostream &(const std::string &)> &sectionOf);

}  // namespace lxnicctl
