// The library's netlink connection against this machine's kernel, in a
// network namespace of the test's own: requests that create an interface
// (NLM_F_CREATE | NLM_F_EXCL) are acknowledged and answered, not waited on
// for ever, and a dump reads every interface.
#include <gtest/gtest.h>

#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <linux/veth.h>
#include <netlink/attr.h>
#include <netlink/msg.h>

#include <chrono>

#include "kernel.h"
#include "linux_support.h"
#include "netlink.h"

using namespace lxniclinux;

namespace {

// A veth pair created the way the library creates bonds and VLANs.
KernelError CreateVeth(Netlink &nl, const std::string &name, const std::string &peer) {
    Message msg = nl.routeMessage(RTM_NEWLINK, NLM_F_CREATE | NLM_F_EXCL);
    ifinfomsg ifi{};
    nl_msg *m = msg.get();
    if (nlmsg_append(m, &ifi, sizeof ifi, NLMSG_ALIGNTO) < 0 || nla_put_string(m, IFLA_IFNAME, name.c_str()) < 0)
        return {-ENOMEM, "message"};
    nlattr *info = nla_nest_start(m, IFLA_LINKINFO);
    nla_put_string(m, IFLA_INFO_KIND, "veth");
    nlattr *data = nla_nest_start(m, IFLA_INFO_DATA);
    nlattr *peerInfo = nla_nest_start(m, VETH_INFO_PEER);
    ifinfomsg peerIfi{};
    nlmsg_append(m, &peerIfi, sizeof peerIfi, NLMSG_ALIGNTO);
    nla_put_string(m, IFLA_IFNAME, peer.c_str());
    nla_nest_end(m, peerInfo);
    nla_nest_end(m, data);
    nla_nest_end(m, info);
    return nl.route(std::move(msg));
}

TEST(NetlinkTest, CreatingAnInterfaceIsAnsweredBothWhenItWorksAndWhenItIsRefused) {
    bool made = lxnictest::InOwnNetworkNamespace([] {
        Netlink nl;
        nl.setAnswerTimeout(2000);
        auto start = std::chrono::steady_clock::now();
        KernelError created = CreateVeth(nl, "va", "vb");
        EXPECT_FALSE(created) << created.describe();
        KernelError again = CreateVeth(nl, "va", "vc");
        EXPECT_EQ(again.error, -EEXIST) << again.describe();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2))
            << "the creation was not acknowledged: the wait ran into its bound";
        KernelError error;
        std::vector<Link> links = ReadLinks(nl, error);
        EXPECT_FALSE(error) << error.describe();
        std::set<std::string> names;
        for (const Link &l : links) names.insert(l.name);
        EXPECT_EQ(names, (std::set<std::string>{"lo", "va", "vb"}));
        EXPECT_FALSE(DeleteLink(nl, links.back().index));
    });
    if (!made) GTEST_SKIP() << "no network namespace can be made here (needs root)";
}

}  // namespace
