// The driver's identity through the ethtool ioctl (ETHTOOL_GDRVINFO): its
// own translation unit, since <net/if.h> and the netlink headers clash.
#include <cstring>

#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "kernel.h"

namespace lxniclinux {

bool GetDriverInfo(const std::string &name, DriverInfo &info) {
    if (name.empty() || name.size() >= IFNAMSIZ) return false;
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ethtool_drvinfo drv{};
    drv.cmd = ETHTOOL_GDRVINFO;
    ifreq ifr{};
    std::memcpy(ifr.ifr_name, name.c_str(), name.size());
    ifr.ifr_data = reinterpret_cast<char *>(&drv);
    bool ok = ioctl(fd, SIOCETHTOOL, &ifr) == 0;
    close(fd);
    if (!ok) return false;
    auto text = [](const char *field, std::size_t size) { return std::string(field, strnlen(field, size)); };
    info.driver = text(drv.driver, sizeof drv.driver);
    info.version = text(drv.version, sizeof drv.version);
    info.firmware = text(drv.fw_version, sizeof drv.fw_version);
    info.bus = text(drv.bus_info, sizeof drv.bus_info);
    return true;
}

}  // namespace lxniclinux
