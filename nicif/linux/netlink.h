// The connection to the kernel: one rtnetlink socket and one generic netlink
// socket (for ethtool), both built with libnl-3. Every request that is not a
// dump asks for an acknowledgement with the kernel's extended text
// (NETLINK_EXT_ACK), so a refusal comes back with the kernel's own reason,
// and every wait for an answer is bounded: a kernel that does not answer in
// time gives an error, never a hang.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct nl_msg;
struct nl_sock;
struct nlmsghdr;

namespace lxniclinux {

// What the kernel answered: 0, or a negative errno with the kernel's text
// when it gave one.
struct KernelError {
    int error = 0;
    std::string text;  // the extended acknowledgement's message, may be empty
    explicit operator bool() const { return error != 0; }
    // "the kernel's text (strerror)" or just strerror.
    std::string describe() const;
};

struct MsgDeleter {
    void operator()(nl_msg *msg) const;
};
using Message = std::unique_ptr<nl_msg, MsgDeleter>;

// Called for every data message of a reply.
using ReplyHandler = std::function<void(nlmsghdr *)>;

class Netlink {
public:
    Netlink();
    ~Netlink();
    Netlink(const Netlink &) = delete;
    Netlink &operator=(const Netlink &) = delete;

    // A new rtnetlink message (RTM_*) with the given flags.
    Message routeMessage(int type, int flags);
    // A new ethtool generic netlink message for command cmd, flags as above.
    // Null (and error set) when the kernel has no ethtool netlink family.
    Message ethtoolMessage(uint8_t cmd, int flags, KernelError &error);

    // Sends a request and waits for its acknowledgement or its error. Data
    // messages of the reply go to handler.
    KernelError route(Message msg, const ReplyHandler &handler = {});
    KernelError ethtool(Message msg, const ReplyHandler &handler = {});
    // Sends a dump request (NLM_F_DUMP is added) and waits for its end.
    KernelError routeDump(Message msg, const ReplyHandler &handler);

    // How long one wait for the kernel's next answer may take.
    static constexpr int kAnswerTimeoutMs = 20000;
    // For tests: a shorter bound.
    void setAnswerTimeout(int milliseconds) { answerTimeoutMs_ = milliseconds; }

private:
    using Socket = std::unique_ptr<nl_sock, void (*)(nl_sock *)>;
    KernelError open(Socket &sock, int protocol);
    KernelError transact(Socket &sock, nl_msg *msg, bool dump, const ReplyHandler &handler);

    Socket route_, genl_;
    int ethtoolFamily_ = -1;
    int answerTimeoutMs_ = kAnswerTimeoutMs;
};

}  // namespace lxniclinux
