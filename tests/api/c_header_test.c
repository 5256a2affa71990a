/* The public headers compile as C11 and the exports link from C. */
#include "lxniccfg.h"
#include "lxnicif.h"

int lxniccfg_c_caller(void);

int lxniccfg_c_caller(void) {
    static const lx_wchar missing[] = {'/', 'n', 'o', 'n', 'e', 0};
    PanelEntry entry = {0};
    AdapterEntry adapter = {0};
    TeamEntry team = {0};
    VlanEntry vlan = {0};
    (void)entry;
    (void)adapter;
    (void)team;
    (void)vlan;
    return (int)InitXml(missing);
}
