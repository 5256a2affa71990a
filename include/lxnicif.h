/*
 * lxnicif.h - the contract between the configuration library and the NIC
 * interface library (liblxnicif.so.1 on Linux, lxnicif.dll on Windows, where
 * it is imported by ordinal: the number before each function): the functions
 * it exports and the wire records it exchanges.
 *
 * Every function returns a 32-bit result code; 0 means success. Arrays and
 * texts handed out by the NIC interface library are allocated with malloc and
 * released by the receiver with free.
 */
#ifndef LXNICIF_H
#define LXNICIF_H

#include <stddef.h>
#include <stdint.h>

/*
 * lx_wchar: one 16-bit unit of NUL-terminated UTF-16 text. On Windows it is
 * the platform's wchar_t; elsewhere char16_t. A C++ program on Windows that
 * keeps its texts as char16_t (which has the same size and representation)
 * may define LX_WCHAR_CHAR16 before including the headers.
 */
#ifndef LX_WCHAR_DEFINED
#define LX_WCHAR_DEFINED
#if defined(_WIN32) && !defined(LX_WCHAR_CHAR16)
typedef wchar_t lx_wchar;
#elif defined(__cplusplus)
typedef char16_t lx_wchar;
#else
#include <uchar.h>
typedef char16_t lx_wchar;
#endif
#endif

#ifndef LX_STATIC_ASSERT
#ifdef __cplusplus
#define LX_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define LX_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
#endif

#ifndef LXNICIF_API
#ifdef _WIN32
#define LXNICIF_API /* exported by the module definition, by ordinal and name */
#else
#define LXNICIF_API __attribute__((visibility("default")))
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One adapter as NicIfEnumerate reports it (128 bytes). */
typedef struct NicIfAdapterElement {
    uint64_t handle;          /*  0 */
    lx_wchar *definitionType; /*  8: taken over by the receiver */
    lx_wchar *name;           /* 16: taken over by the receiver */
    uint32_t status;          /* 24 */
    uint32_t info1;           /* 28 */
    uint64_t teamHandle;      /* 32: 0 when the adapter is in no team */
    uint32_t info2;           /* 40 */
    uint8_t activeInTeam;     /* 44 */
    uint8_t unused45;         /* 45 */
    lx_wchar label[41];       /* 46: inline NUL-terminated text */
} NicIfAdapterElement;

/* One team as NicIfEnumerate reports it (32 bytes). */
typedef struct NicIfTeamElement {
    uint64_t handle;    /*  0 */
    uint32_t teamInfo1; /*  8 */
    uint32_t unused12;  /* 12 */
    lx_wchar *teamText; /* 16: malloc'ed, taken over by the receiver */
    uint32_t teamInfo2; /* 24 */
    uint8_t kind;       /* 28: only kind 1 is an adapter team */
    uint8_t unused29[3];
} NicIfTeamElement;

/* One VLAN as NicIfEnumerate reports it (96 bytes). */
typedef struct NicIfVlanElement {
    uint64_t handle;       /* 0 */
    uint64_t parentHandle; /* 8: an adapter or a team */
    uint8_t unused16[80];
} NicIfVlanElement;

/* An initial setting of a team or VLAN to be created (24 bytes). */
typedef struct PropertyRecord {
    uint32_t propertyNumber; /*  0 */
    uint32_t unused4;
    lx_wchar *value;         /*  8: NUL-terminated UTF-16 */
    uint32_t size;           /* 16: bytes, terminator included */
    uint32_t unused20;
} PropertyRecord;

LX_STATIC_ASSERT(sizeof(lx_wchar) == 2, "lx_wchar is a 16-bit unit");
LX_STATIC_ASSERT(sizeof(NicIfAdapterElement) == 128, "adapter element size");
LX_STATIC_ASSERT(offsetof(NicIfAdapterElement, definitionType) == 8, "adapter element");
LX_STATIC_ASSERT(offsetof(NicIfAdapterElement, name) == 16, "adapter element");
LX_STATIC_ASSERT(offsetof(NicIfAdapterElement, status) == 24, "adapter element");
LX_STATIC_ASSERT(offsetof(NicIfAdapterElement, info1) == 28, "adapter element");
LX_STATIC_ASSERT(offsetof(NicIfAdapterElement, teamHandle) == 32, "adapter element");
LX_STATIC_ASSERT(offsetof(NicIfAdapterElement, info2) == 40, "adapter element");
LX_STATIC_ASSERT(offsetof(NicIfAdapterElement, activeInTeam) == 44, "adapter element");
LX_STATIC_ASSERT(offsetof(NicIfAdapterElement, label) == 46, "adapter element");
LX_STATIC_ASSERT(sizeof(NicIfTeamElement) == 32, "team element size");
LX_STATIC_ASSERT(offsetof(NicIfTeamElement, teamInfo1) == 8, "team element");
LX_STATIC_ASSERT(offsetof(NicIfTeamElement, teamText) == 16, "team element");
LX_STATIC_ASSERT(offsetof(NicIfTeamElement, teamInfo2) == 24, "team element");
LX_STATIC_ASSERT(offsetof(NicIfTeamElement, kind) == 28, "team element");
LX_STATIC_ASSERT(sizeof(NicIfVlanElement) == 96, "vlan element size");
LX_STATIC_ASSERT(offsetof(NicIfVlanElement, parentHandle) == 8, "vlan element");
LX_STATIC_ASSERT(sizeof(PropertyRecord) == 24, "property record size");
LX_STATIC_ASSERT(offsetof(PropertyRecord, value) == 8, "property record");
LX_STATIC_ASSERT(offsetof(PropertyRecord, size) == 16, "property record");

/*
 * Flags of NicIfApplyConfigChanges (front ends pass them through the
 * configuration library's ApplyConfigChanges). A library that does not offer
 * one answers 4 (a malformed request) and changes nothing.
 *
 * NICIF_APPLY_CHECK_ONLY: check that what would be committed can be, commit
 * nothing.
 * NICIF_APPLY_BEGIN_TRANSACTION (the handle is not looked at): from now on
 * NicIfApplyPass1, NicIfApplyPass2 and NicIfApplyConfigChanges with a handle
 * commit nothing and answer 0 for a known handle; the next
 * NicIfApplyConfigChanges(0, 0) commits every staged change so that either
 * all of them take effect or none does, and ends the transaction;
 * NicIfApplyConfigChanges(0, NICIF_APPLY_CHECK_ONLY) checks them all;
 * NicIfClose drops them.
 */
#define NICIF_APPLY_CHECK_ONLY 1u
#define NICIF_APPLY_BEGIN_TRANSACTION 2u

/* 1 */ LXNICIF_API uint32_t NicIfEnumerate(void **nics, uint32_t *nicCount, void **teams,
                                             uint32_t *teamCount, void **vlans,
                                             uint32_t *vlanCount, uint64_t listOption);
/* 2 */ LXNICIF_API uint32_t NicIfGetAdapterProperty(uint64_t handle, uint32_t property,
                                                      lx_wchar **value, uint8_t *mustFree);
/* 8 */ LXNICIF_API uint32_t NicIfGetTeamProperty(uint64_t handle, uint32_t property,
                                                   lx_wchar **value, uint8_t *mustFree);
/* 19 */ LXNICIF_API uint32_t NicIfGetVlanProperty(uint64_t handle, uint32_t property,
                                                    lx_wchar **value, uint8_t *mustFree);
/* 3 */ LXNICIF_API uint32_t NicIfSetAdapterProperty(uint64_t handle, uint32_t property,
                                                      const void *value, uint32_t sizeInBytes);
/* 9 */ LXNICIF_API uint32_t NicIfSetTeamProperty(uint64_t handle, uint32_t property,
                                                   const void *value, uint32_t sizeInBytes);
/* 22 */ LXNICIF_API uint32_t NicIfSetVlanProperty(uint64_t handle, uint32_t property,
                                                    const void *value, uint32_t sizeInBytes);
/* 6 */ LXNICIF_API uint32_t NicIfGetAdapterStatus(uint64_t id, uint32_t *status);
/* 18 */ LXNICIF_API uint32_t NicIfGetTeamStatus(uint64_t id, uint32_t *status);
/* 7 */ LXNICIF_API uint32_t NicIfCreateTeam(const PropertyRecord *records, uint32_t recordCount,
                                              const uint64_t *members, uint32_t memberCount,
                                              uint64_t *team);
/* 10 */ LXNICIF_API uint32_t NicIfAddTeamMember(uint64_t nic, uint64_t team);
/* 11 */ LXNICIF_API uint32_t NicIfRemoveTeamMember(uint64_t nic, uint32_t zero, uint64_t team);
/* 12 */ LXNICIF_API uint32_t NicIfDissolveTeam(uint64_t team, uint8_t one);
/* 20 */ LXNICIF_API uint32_t NicIfCreateVlan(const PropertyRecord *records, uint32_t recordCount,
                                               uint64_t parent, uint32_t vlanParameter,
                                               uint8_t parentIsTeam, uint64_t *vlan);
/* 21 */ LXNICIF_API uint32_t NicIfDeleteVlan(uint64_t vlan);
/* 26 */ LXNICIF_API uint32_t NicIfSetObjectFlags(uint64_t handle, uint32_t flagA, uint32_t flagB);
/* 16 */ LXNICIF_API uint32_t NicIfApplyPass1(uint64_t handle);
/* 15 */ LXNICIF_API uint32_t NicIfApplyPass2(uint64_t handle);
/* 4 */ LXNICIF_API uint32_t NicIfClose(uint8_t flag);
/* 13 */ LXNICIF_API uint32_t NicIfGetNicTeam(uint64_t adapter, uint64_t *team);
/* 17 */ LXNICIF_API uint32_t NicIfTcpIpInstalled(uint32_t *installed);
/* 25 */ LXNICIF_API uint32_t NicIfApplyConfigChanges(uint64_t handle, uint32_t flags);

/* Not an ordinal of the contract: writes systemd-networkd files for the
 * configuration the server holds into the folder (UTF-16 path), so that it
 * comes back at boot. 0 done; 1 this library cannot (the simulated server);
 * 4 a NULL or empty folder; 6 not permitted; 8 writing failed. Only the
 * Linux library implements it; liblxnicif.so.1 answers 1 for the others. */
LXNICIF_API uint32_t NicIfPersist(const lx_wchar *folder);

#ifdef __cplusplus
}
#endif

#endif /* LXNICIF_H */
