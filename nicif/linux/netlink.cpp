#include "netlink.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <linux/netlink.h>
#include <netlink/genl/ctrl.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>
#include <netlink/netlink.h>
#include <netlink/socket.h>
#include <sys/socket.h>
#include <sys/time.h>

#ifndef SOL_NETLINK
#define SOL_NETLINK 270
#endif

namespace lxniclinux {

std::string KernelError::describe() const {
    std::string reason = std::strerror(-error);
    if (text.empty()) return reason;
    return text + " (" + reason + ")";
}

void MsgDeleter::operator()(nl_msg *msg) const { nlmsg_free(msg); }

namespace {

void FreeSocket(nl_sock *sock) { nl_socket_free(sock); }

// State of one request while its replies are read.
struct Exchange {
    const ReplyHandler *handler = nullptr;
    unsigned sequence = 0;  // the request's: answers to anything else are skipped
    KernelError result;
    bool done = false;
};

// Only answers to this request count: a late answer to an earlier one that
// was given up on must not end this one.
int OnSequence(nl_msg *msg, void *arg) {
    return nlmsg_hdr(msg)->nlmsg_seq == static_cast<Exchange *>(arg)->sequence ? NL_OK : NL_SKIP;
}

int OnValid(nl_msg *msg, void *arg) {
    auto *ex = static_cast<Exchange *>(arg);
    if (ex->handler && *ex->handler) (*ex->handler)(nlmsg_hdr(msg));
    return NL_OK;
}

int OnFinish(nl_msg *, void *arg) {
    static_cast<Exchange *>(arg)->done = true;
    return NL_STOP;
}

int OnAck(nl_msg *, void *arg) {
    static_cast<Exchange *>(arg)->done = true;
    return NL_STOP;
}

// The kernel's error, with the text of its extended acknowledgement: the
// attributes follow the echoed request (or only its header when capped).
int OnError(sockaddr_nl *, nlmsgerr *err, void *arg) {
    auto *ex = static_cast<Exchange *>(arg);
    ex->done = true;
    ex->result.error = err->error;
    const auto *hdr = reinterpret_cast<const nlmsghdr *>(reinterpret_cast<const char *>(err) - NLMSG_HDRLEN);
    if (err->error != 0 && (hdr->nlmsg_flags & NLM_F_ACK_TLVS)) {
        std::size_t offset = sizeof(nlmsgerr);
        if (!(hdr->nlmsg_flags & NLM_F_CAPPED)) offset += err->msg.nlmsg_len - NLMSG_HDRLEN;
        std::size_t payload = hdr->nlmsg_len - NLMSG_HDRLEN;
        if (offset < payload) {
            nlattr *tb[NLMSGERR_ATTR_MAX + 1] = {};
            auto *attrs = reinterpret_cast<nlattr *>(reinterpret_cast<char *>(err) + offset);
            if (nla_parse(tb, NLMSGERR_ATTR_MAX, attrs, static_cast<int>(payload - offset), nullptr) == 0 &&
                tb[NLMSGERR_ATTR_MSG]) {
                const char *text = static_cast<const char *>(nla_data(tb[NLMSGERR_ATTR_MSG]));
                ex->result.text.assign(text, strnlen(text, nla_len(tb[NLMSGERR_ATTR_MSG])));
            }
        }
    }
    return NL_STOP;
}

}  // namespace

Netlink::Netlink() : route_(nullptr, FreeSocket), genl_(nullptr, FreeSocket) {}
Netlink::~Netlink() = default;

namespace {

void SetAnswerTimeout(nl_sock *sock, int milliseconds) {
    timeval tv{};
    tv.tv_sec = milliseconds / 1000;
    tv.tv_usec = (milliseconds % 1000) * 1000;
    setsockopt(nl_socket_get_fd(sock), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

}  // namespace

KernelError Netlink::open(Socket &sock, int protocol) {
    if (sock) return {};
    Socket fresh(nl_socket_alloc(), FreeSocket);
    if (!fresh) return {-ENOMEM, "no memory for a netlink socket"};
    if (int err = nl_connect(fresh.get(), protocol); err < 0) {
        return {-ECONNREFUSED, std::string("netlink socket: ") + nl_geterror(err)};
    }
    int one = 1;
    // Without these the kernel's reasons are lost and large replies cut.
    setsockopt(nl_socket_get_fd(fresh.get()), SOL_NETLINK, NETLINK_EXT_ACK, &one, sizeof one);
    setsockopt(nl_socket_get_fd(fresh.get()), SOL_NETLINK, NETLINK_CAP_ACK, &one, sizeof one);
    nl_socket_enable_msg_peek(fresh.get());
    nl_socket_disable_auto_ack(fresh.get());
    // Also bounds the family lookup genl_ctrl_resolve makes.
    SetAnswerTimeout(fresh.get(), answerTimeoutMs_);
    sock = std::move(fresh);
    return {};
}

Message Netlink::routeMessage(int type, int flags) {
    return Message(nlmsg_alloc_simple(type, flags | NLM_F_REQUEST));
}

Message Netlink::ethtoolMessage(uint8_t cmd, int flags, KernelError &error) {
    error = open(genl_, NETLINK_GENERIC);
    if (error) return nullptr;
    if (ethtoolFamily_ < 0) {
        int family = genl_ctrl_resolve(genl_.get(), "ethtool");
        if (family < 0) {
            error = {-EOPNOTSUPP, "the kernel has no ethtool netlink interface"};
            return nullptr;
        }
        ethtoolFamily_ = family;
    }
    Message msg(nlmsg_alloc());
    if (!msg || !genlmsg_put(msg.get(), NL_AUTO_PORT, NL_AUTO_SEQ, ethtoolFamily_, 0, flags | NLM_F_REQUEST, cmd, 1)) {
        error = {-ENOMEM, "no memory for a netlink message"};
        return nullptr;
    }
    return msg;
}

KernelError Netlink::transact(Socket &sock, nl_msg *msg, bool dump, const ReplyHandler &handler) {
    nlmsghdr *hdr = nlmsg_hdr(msg);
    // A dump ends with NLMSG_DONE; anything else is answered only with an
    // acknowledgement when it asks for one. (NLM_F_DUMP shares its bits with
    // NLM_F_EXCL and NLM_F_REPLACE of a new link, so it cannot be told from
    // the flags.)
    if (dump) {
        hdr->nlmsg_flags |= NLM_F_DUMP;
    } else {
        hdr->nlmsg_flags |= NLM_F_ACK;
    }
    SetAnswerTimeout(sock.get(), answerTimeoutMs_);
    if (int err = nl_send_auto(sock.get(), msg); err < 0) {
        return {-EIO, std::string("sending to the kernel failed: ") + nl_geterror(err)};
    }
    Exchange ex;
    ex.handler = &handler;
    ex.sequence = hdr->nlmsg_seq;
    std::unique_ptr<nl_cb, void (*)(nl_cb *)> cb(nl_cb_alloc(NL_CB_DEFAULT), nl_cb_put);
    if (!cb) return {-ENOMEM, "no memory for netlink callbacks"};
    nl_cb_set(cb.get(), NL_CB_SEQ_CHECK, NL_CB_CUSTOM, OnSequence, &ex);
    nl_cb_set(cb.get(), NL_CB_VALID, NL_CB_CUSTOM, OnValid, &ex);
    nl_cb_set(cb.get(), NL_CB_FINISH, NL_CB_CUSTOM, OnFinish, &ex);
    nl_cb_set(cb.get(), NL_CB_ACK, NL_CB_CUSTOM, OnAck, &ex);
    nl_cb_err(cb.get(), NL_CB_CUSTOM, OnError, &ex);
    while (!ex.done) {
        int err = nl_recvmsgs(sock.get(), cb.get());
        if (err == -NLE_DUMP_INTR) return {-EAGAIN, "the interfaces changed while they were read"};
        if (err < 0 && !ex.done) {
            // The socket may still get the answer later: a fresh one is
            // opened for the next request.
            sock.reset();
            if (err == -NLE_AGAIN) {
                return {-ETIMEDOUT, "the kernel did not answer within " + std::to_string(answerTimeoutMs_) + " ms"};
            }
            return {-EIO, std::string("reading the kernel's answer failed: ") + nl_geterror(err)};
        }
    }
    return ex.result;
}

KernelError Netlink::route(Message msg, const ReplyHandler &handler) {
    if (!msg) return {-ENOMEM, "no memory for a netlink message"};
    if (KernelError e = open(route_, NETLINK_ROUTE)) return e;
    return transact(route_, msg.get(), false, handler);
}

KernelError Netlink::routeDump(Message msg, const ReplyHandler &handler) {
    if (!msg) return {-ENOMEM, "no memory for a netlink message"};
    if (KernelError e = open(route_, NETLINK_ROUTE)) return e;
    return transact(route_, msg.get(), true, handler);
}

KernelError Netlink::ethtool(Message msg, const ReplyHandler &handler) {
    if (!msg) return {-ENOMEM, "no memory for a netlink message"};
    if (KernelError e = open(genl_, NETLINK_GENERIC)) return e;
    return transact(genl_, msg.get(), false, handler);
}

}  // namespace lxniclinux
