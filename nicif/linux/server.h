// The Linux server: reads what the kernel holds, stages the changes the
// configuration library asks for, and carries them out at a commit as one
// transaction, in the order the kernel's rules need, putting back what was
// already changed when the kernel refuses a step.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kernel.h"
#include "properties.h"

namespace lxniclinux {

// The codes every function of the library answers.
enum Code : uint32_t {
    kOk = 0,
    kNoValue = 1,         // reads: this object or its driver has no such setting
    kUnknownHandle = 2,   // no such interface (or it has vanished), or not of the expected kind
    kPropertyError = 3,   // the value is not one the property or the kernel takes
    kBadArgument = 4,     // a NULL pointer or a malformed value or size
    kConflict = 5,        // the change breaks a rule: name or VLAN id taken, adapter in another team, ...
    kNotPermitted = 6,    // the kernel refused for lack of privileges (CAP_NET_ADMIN)
    kNotice = 7,          // writes: done; the object goes down briefly when the change is committed
    kInternalError = 8,   // out of memory, or the kernel failed in an unexpected way
};

using Handle = uint64_t;
// Objects created by a change that is not committed yet have handles from
// here on; committed objects are known by their interface index.
inline constexpr Handle kFirstProvisional = 1ull << 32;

// A value given for a property: its row, its raw text and the kernel's form.
struct Setting {
    const PropertyRow *row = nullptr;
    std::string raw;
    KernelValue value;
};

struct Change {
    enum Kind { SetProperty, CreateTeam, AddMember, RemoveMember, Dissolve, CreateVlan, DeleteVlan };
    Kind kind = SetProperty;
    Handle owner = 0;  // the object written, the team, the VLAN
    Handle other = 0;  // the member adapter, the VLAN's parent
    unsigned object = 0;  // SetProperty: the kind of object written
    std::vector<Setting> settings;  // SetProperty: one; creations: the initial settings
    std::vector<Handle> members;    // CreateTeam
};

class Plan;

class Server {
public:
    Server();
    ~Server();

    uint32_t enumerate(void **nics, uint32_t *nicCount, void **teams, uint32_t *teamCount, void **vlans,
                       uint32_t *vlanCount);
    uint32_t read(Handle h, unsigned object, uint32_t property, std::string &raw);
    uint32_t write(Handle h, unsigned object, uint32_t property, const std::string &raw);
    uint32_t adapterStatus(Handle h, uint32_t &status);
    uint32_t teamStatus(Handle h, uint32_t &status);
    uint32_t teamOf(Handle adapter, uint64_t &team);

    uint32_t createTeam(const std::vector<std::pair<uint32_t, std::string>> &records,
                        const std::vector<Handle> &members, Handle &team);
    uint32_t addMember(Handle nic, Handle team);
    uint32_t removeMember(Handle nic, Handle team);
    uint32_t dissolve(Handle team);
    uint32_t createVlan(const std::vector<std::pair<uint32_t, std::string>> &records, Handle parent,
                        bool parentIsTeam, Handle &vlan);
    uint32_t deleteVlan(Handle vlan);

    // Checks (dryRun) or carries out every staged change.
    uint32_t commit(bool dryRun);
    // NicIfApplyPass1 (dryRun) and NicIfApplyPass2: a commit, or inside a
    // transaction only whether the handle is known.
    uint32_t commitPass(Handle h, bool dryRun);
    // NicIfApplyConfigChanges: bit 0 of flags checks only; bit 1 opens a
    // transaction, which the next call with handle 0 and no flags commits
    // (or a call with handle 0 and bit 0 checks); other bits answer 4.
    uint32_t applyConfigChanges(Handle h, uint32_t flags);
    // Drops the staged changes, an open transaction and the kernel
    // connection.
    void close();

    // Writes systemd-networkd files for what the kernel holds now.
    uint32_t persist(const std::string &folder);

private:
    // The interface index of a handle: committed objects and objects created
    // by an earlier commit of this process; 0 when there is none.
    int indexOf(Handle h) const;
    uint32_t stage(Change change);
    // A team's value of a setting its members hold: theirs when they all
    // agree, 1 (no value) when they differ or there are none.
    uint32_t readMembers(int team, const PropertyRow &row, std::string &raw);
    // Whether a creation staged now gave out this handle.
    bool staged(Handle h) const;
    // The handle for a new object: the interface index it will be created
    // with (a provisional handle from 2^32 on when none can be chosen).
    Handle reserveHandle();
    // A handle of an interface that exists, or of an object staged to be
    // created.
    bool known(Handle h);
    uint32_t buildPlan(const std::vector<Change> &changes, Plan &plan);
    Netlink &nl();

    std::unique_ptr<Netlink> nl_;
    std::vector<Change> staged_;
    Handle nextProvisional_ = kFirstProvisional;
    Handle lastReserved_ = 0;  // the highest interface index handed out for a new object
    std::map<Handle, int> created_;  // handle of a new object -> its interface index once committed
    bool transaction_ = false;
};

Server &TheServer();
std::mutex &ServerLock();

// Prints a message for the user on standard error ("lxnicif: ...").
void Report(const std::string &text);

}  // namespace lxniclinux
