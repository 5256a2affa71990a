/* A program as a user of the installed library writes it: it includes the
 * public header, calls an export and prints what it answered. Built against
 * the installed tree with pkg-config and with find_package(lxniccfg). */
#include <stdio.h>
#include <stdlib.h>

#include <lxniccfg.h>

int main(void) {
    TeamEntry *teams = NULL;
    AdapterEntry *adapters = NULL;
    uint32_t result = GetNicList(0, &teams, &adapters);
    int count = 0;
    for (AdapterEntry *a = adapters; a != NULL; a = a->next) ++count;
    printf("GetNicList %u, %d adapters\n", (unsigned)result, count);
    return result == 0 && count > 0 ? 0 : 1;
}
