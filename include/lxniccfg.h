/*
 * lxniccfg.h - the configuration library's exported functions and the records
 * it shares with front ends by layout.
 *
 * Records and texts that the library hands out are allocated with malloc and
 * released by the caller with free. Texts are NUL-terminated UTF-16
 * (lx_wchar), except the script reader's message, which is UTF-8 on Linux
 * and text in the ANSI code page on Windows. On Windows the library is
 * lxniccfg.dll, whose exports can be reached by the ordinals given below.
 * Fields named reservedN are part of the layout (word N of the record,
 * counting eight-byte words from 1); they are zero unless a front end hangs a
 * list of its own there.
 */
#ifndef LXNICCFG_H
#define LXNICCFG_H

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

#ifndef LXNICCFG_API
#ifdef _WIN32
#define LXNICCFG_API /* exported by the module definition, by ordinal and name */
#else
#define LXNICCFG_API __attribute__((visibility("default")))
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PanelEntry PanelEntry;
typedef struct AdapterEntry AdapterEntry;
typedef struct TeamEntry TeamEntry;
typedef struct VlanEntry VlanEntry;
typedef struct TeamMemberLink TeamMemberLink;
typedef struct DependencyChange DependencyChange;

/* One property of a panel as the front end sees it (152 bytes). */
struct PanelEntry {
    PanelEntry *next;          /*   0 */
    lx_wchar *linkId;          /*   8 */
    lx_wchar *id;              /*  16 */
    lx_wchar *range;           /*  24 */
    lx_wchar *step;            /*  32 */
    lx_wchar *lowest;          /*  40 */
    lx_wchar *defaultValue;    /*  48 */
    lx_wchar *displayName;     /*  56 */
    lx_wchar *hint;            /*  64 */
    lx_wchar *controlType;     /*  72 */
    lx_wchar *derivedValue;    /*  80 */
    lx_wchar *value;           /*  88 */
    lx_wchar *newValue;        /*  96 */
    uint8_t changed;           /* 104 */
    lx_wchar *selectedValue;   /* 112 */
    int32_t dependencyFlags;   /* 120 */
    uint8_t isTeamProperty;    /* 124 */
    uint8_t derivationBlocked; /* 125 */
    uint8_t noMemberValue;     /* 126 */
    lx_wchar *rangeType;       /* 128 */
    uint8_t hide;              /* 136 */
    uint8_t compound;          /* 137 */
    int32_t spLevel;           /* 140 */
    uint8_t vbdRestart;        /* 144 */
};

/* One adapter (360 bytes). */
struct AdapterEntry {
    AdapterEntry *next;                /*   0, word 1 */
    uint64_t handle;                   /*   8 */
    lx_wchar *name;                    /*  16 */
    lx_wchar *definitionType;          /*  24 */
    lx_wchar *label;                   /*  32 */
    uint32_t status;                   /*  40, word 6 */
    uint32_t info1;                    /*  44 */
    uint32_t info2;                    /*  48, word 7 */
    uint32_t reserved7;                /*  52 */
    uint64_t reserved8;                /*  56 */
    uint32_t registerOnVlanIdChange;   /*  64, word 9 */
    uint32_t reserved9;                /*  68 */
    uint64_t reserved10;               /*  72 */
    uint32_t capabilities;             /*  80, word 11 */
    uint32_t reserved11;               /*  84 */
    uint64_t teamHandle;               /*  88, word 12 */
    uint8_t activeInTeam;              /*  96, word 13 */
    uint8_t reserved13[3];             /*  97 */
    uint32_t number;                   /* 100 */
    PanelEntry *settingsList;          /* 104, word 14 */
    PanelEntry *advancedList;          /* 112, word 15 */
    PanelEntry *statisticsList1;       /* 120, word 16 */
    PanelEntry *reserved17;            /* 128 */
    PanelEntry *statisticsList2;       /* 136, word 18 */
    PanelEntry *statisticsList3;       /* 144, word 19 */
    PanelEntry *informationList;       /* 152, word 20 */
    PanelEntry *reserved21;            /* 160 */
    PanelEntry *connectionInfoList;    /* 168, word 22 */
    PanelEntry *connectionStatsList;   /* 176, word 23 */
    PanelEntry *teamSettingsList;      /* 184, word 24 */
    PanelEntry *reserved25;            /* 192 */
    PanelEntry *iscsiSettingsList;     /* 200, word 26 */
    PanelEntry *iscsiAddressList;      /* 208, word 27 */
    PanelEntry *iscsiReportList1;      /* 216, word 28 */
    PanelEntry *iscsiReportList2;      /* 224, word 29 */
    PanelEntry *iscsiReportList3;      /* 232, word 30 */
    VlanEntry *vlans;                  /* 240, word 31 */
    PanelEntry *reserved32;            /* 248 */
    PanelEntry *reserved33;            /* 256 */
    PanelEntry *reserved34;            /* 264 */
    PanelEntry *reserved35;            /* 272 */
    PanelEntry *iscsiSettingsList2;    /* 280, word 36 */
    PanelEntry *reserved37;            /* 288 */
    PanelEntry *reserved38;            /* 296 */
    PanelEntry *reserved39;            /* 304 */
    PanelEntry *wsdList1;              /* 312, word 40 */
    PanelEntry *wsdList2;              /* 320, word 41 */
    PanelEntry *wsdList3;              /* 328, word 42 */
    PanelEntry *wsdList4;              /* 336, word 43 */
    PanelEntry *reserved44;            /* 344 */
    PanelEntry *toeStatisticsList;     /* 352, word 45 */
};

/* One adapter team (216 bytes). */
struct TeamEntry {
    TeamEntry *next;                   /*   0, word 1 */
    uint64_t handle;                   /*   8 */
    lx_wchar *teamText;                /*  16 */
    lx_wchar *definitionType;          /*  24 */
    uint32_t teamInfo1;                /*  32, word 5: status; 5 = creation failed */
    uint32_t teamInfo2;                /*  36 */
    uint8_t isNew;                     /*  40, word 6 */
    uint8_t isDeleted;                 /*  41 */
    uint8_t flag3;                     /*  42 */
    uint8_t reserved6[5];              /*  43 */
    TeamMemberLink *members;           /*  48, word 7 */
    PanelEntry *controlsList;          /*  56, word 8 */
    PanelEntry *settingsList;          /*  64, word 9 */
    PanelEntry *advancedList;          /*  72, word 10 */
    PanelEntry *reserved11;            /*  80 */
    PanelEntry *connectionInfoList;    /*  88, word 12 */
    PanelEntry *connectionStatsList;   /*  96, word 13 */
    PanelEntry *informationList1;      /* 104, word 14 */
    PanelEntry *informationList2;      /* 112, word 15 */
    PanelEntry *reserved16;            /* 120 */
    PanelEntry *reserved17;            /* 128 */
    PanelEntry *reserved18;            /* 136 */
    PanelEntry *statisticsList1;       /* 144, word 19 */
    PanelEntry *statisticsList2;       /* 152, word 20 */
    PanelEntry *reserved21;            /* 160 */
    PanelEntry *redundancyList;        /* 168, word 22 */
    VlanEntry *vlans;                  /* 176, word 23 */
    PanelEntry *reserved24;            /* 184 */
    PanelEntry *reserved25;            /* 192 */
    PanelEntry *discProtocolList;      /* 200, word 26 */
    PanelEntry *toeStatisticsList;     /* 208, word 27 */
};

/* One VLAN of an adapter or a team (216 bytes, the size of a TeamEntry). */
struct VlanEntry {
    VlanEntry *next;                   /*   0, word 1 */
    uint64_t handle;                   /*   8 */
    void *reserved3;                   /*  16 */
    lx_wchar *definitionType;          /*  24: stays NULL ("TEAM" is used) */
    uint64_t reserved5;                /*  32 */
    uint8_t isNew;                     /*  40, word 6 */
    uint8_t isDeleted;                 /*  41 */
    uint8_t reserved6[6];              /*  42 */
    PanelEntry *reserved7;             /*  48 */
    PanelEntry *reserved8;             /*  56 */
    PanelEntry *reserved9;             /*  64 */
    PanelEntry *reserved10;            /*  72 */
    PanelEntry *reserved11;            /*  80 */
    PanelEntry *connectionInfoList;    /*  88, word 12 */
    PanelEntry *connectionStatsList;   /*  96, word 13 */
    PanelEntry *reserved14;            /* 104 */
    PanelEntry *reserved15;            /* 112 */
    PanelEntry *reserved16;            /* 120 */
    PanelEntry *reserved17;            /* 128 */
    PanelEntry *reserved18;            /* 136 */
    PanelEntry *reserved19;            /* 144 */
    PanelEntry *reserved20;            /* 152 */
    PanelEntry *identificationList;    /* 160, word 21 */
    PanelEntry *reserved22;            /* 168 */
    PanelEntry *reserved23;            /* 176 */
    uint32_t vlanParameter;            /* 184, word 24 */
    uint32_t reserved24;               /* 188 */
    PanelEntry *reserved25;            /* 192 */
    PanelEntry *reserved26;            /* 200 */
    PanelEntry *reserved27;            /* 208 */
};

/* One member of a team (32 bytes). */
struct TeamMemberLink {
    TeamMemberLink *next;   /*  0 */
    AdapterEntry *adapter;  /*  8 */
    uint64_t adapterHandle; /* 16 */
    uint8_t isAdded;        /* 24 */
    uint8_t isRemoved;      /* 25 */
};

/* An entry that a dependency rule forces to a new value (24 bytes). */
struct DependencyChange {
    DependencyChange *next; /*  0 */
    PanelEntry *entry;      /*  8: the front end's own entry, not a copy */
    lx_wchar *text;         /* 16 */
};

/* Records of a script file read back by ReadXmlScriptFile. */
typedef struct ScriptProperty {
    struct ScriptProperty *next; /*  0 */
    lx_wchar *id;                /*  8 */
    lx_wchar *value;             /* 16 */
} ScriptProperty;

typedef struct ScriptVlan {
    struct ScriptVlan *next;    /*  0 */
    ScriptProperty *properties; /*  8 */
} ScriptVlan;

typedef struct ScriptNic {
    struct ScriptNic *next;     /*  0 */
    ScriptProperty *properties; /*  8 */
    ScriptVlan *vlans;          /* 16 */
} ScriptNic;

typedef struct ScriptTeam {
    struct ScriptTeam *next;    /*  0 */
    ScriptProperty *properties; /*  8 */
    lx_wchar *relnics;          /* 16 */
    ScriptVlan *vlans;          /* 24 */
} ScriptTeam;

typedef struct ScriptVersionInfo {
    lx_wchar *utilityVersion; /* 0 */
    lx_wchar *scriptVersion;  /* 8 */
} ScriptVersionInfo;

typedef struct ScriptConfig {
    ScriptTeam *teams;          /*  0 */
    ScriptNic *nics;            /*  8 */
    ScriptVersionInfo *version; /* 16 */
} ScriptConfig;

#define LX_CHECK_OFFSET(type, field, off) \
    LX_STATIC_ASSERT(offsetof(type, field) == (off), #type "." #field " at " #off)

LX_STATIC_ASSERT(sizeof(lx_wchar) == 2, "lx_wchar is a 16-bit unit");
LX_STATIC_ASSERT(sizeof(PanelEntry) == 152, "PanelEntry size");
LX_CHECK_OFFSET(PanelEntry, linkId, 8);
LX_CHECK_OFFSET(PanelEntry, id, 16);
LX_CHECK_OFFSET(PanelEntry, range, 24);
LX_CHECK_OFFSET(PanelEntry, step, 32);
LX_CHECK_OFFSET(PanelEntry, lowest, 40);
LX_CHECK_OFFSET(PanelEntry, defaultValue, 48);
LX_CHECK_OFFSET(PanelEntry, displayName, 56);
LX_CHECK_OFFSET(PanelEntry, hint, 64);
LX_CHECK_OFFSET(PanelEntry, controlType, 72);
LX_CHECK_OFFSET(PanelEntry, derivedValue, 80);
LX_CHECK_OFFSET(PanelEntry, value, 88);
LX_CHECK_OFFSET(PanelEntry, newValue, 96);
LX_CHECK_OFFSET(PanelEntry, changed, 104);
LX_CHECK_OFFSET(PanelEntry, selectedValue, 112);
LX_CHECK_OFFSET(PanelEntry, dependencyFlags, 120);
LX_CHECK_OFFSET(PanelEntry, isTeamProperty, 124);
LX_CHECK_OFFSET(PanelEntry, derivationBlocked, 125);
LX_CHECK_OFFSET(PanelEntry, noMemberValue, 126);
LX_CHECK_OFFSET(PanelEntry, rangeType, 128);
LX_CHECK_OFFSET(PanelEntry, hide, 136);
LX_CHECK_OFFSET(PanelEntry, compound, 137);
LX_CHECK_OFFSET(PanelEntry, spLevel, 140);
LX_CHECK_OFFSET(PanelEntry, vbdRestart, 144);

LX_STATIC_ASSERT(sizeof(AdapterEntry) == 360, "AdapterEntry size");
LX_CHECK_OFFSET(AdapterEntry, handle, 8);
LX_CHECK_OFFSET(AdapterEntry, name, 16);
LX_CHECK_OFFSET(AdapterEntry, definitionType, 24);
LX_CHECK_OFFSET(AdapterEntry, label, 32);
LX_CHECK_OFFSET(AdapterEntry, status, 40);
LX_CHECK_OFFSET(AdapterEntry, info1, 44);
LX_CHECK_OFFSET(AdapterEntry, info2, 48);
LX_CHECK_OFFSET(AdapterEntry, registerOnVlanIdChange, 64);
LX_CHECK_OFFSET(AdapterEntry, capabilities, 80);
LX_CHECK_OFFSET(AdapterEntry, teamHandle, 88);
LX_CHECK_OFFSET(AdapterEntry, activeInTeam, 96);
LX_CHECK_OFFSET(AdapterEntry, number, 100);
LX_CHECK_OFFSET(AdapterEntry, settingsList, 104);
LX_CHECK_OFFSET(AdapterEntry, advancedList, 112);
LX_CHECK_OFFSET(AdapterEntry, statisticsList1, 120);
LX_CHECK_OFFSET(AdapterEntry, statisticsList2, 136);
LX_CHECK_OFFSET(AdapterEntry, statisticsList3, 144);
LX_CHECK_OFFSET(AdapterEntry, informationList, 152);
LX_CHECK_OFFSET(AdapterEntry, connectionInfoList, 168);
LX_CHECK_OFFSET(AdapterEntry, connectionStatsList, 176);
LX_CHECK_OFFSET(AdapterEntry, teamSettingsList, 184);
LX_CHECK_OFFSET(AdapterEntry, iscsiSettingsList, 200);
LX_CHECK_OFFSET(AdapterEntry, iscsiAddressList, 208);
LX_CHECK_OFFSET(AdapterEntry, iscsiReportList1, 216);
LX_CHECK_OFFSET(AdapterEntry, iscsiReportList2, 224);
LX_CHECK_OFFSET(AdapterEntry, iscsiReportList3, 232);
LX_CHECK_OFFSET(AdapterEntry, vlans, 240);
LX_CHECK_OFFSET(AdapterEntry, iscsiSettingsList2, 280);
LX_CHECK_OFFSET(AdapterEntry, wsdList1, 312);
LX_CHECK_OFFSET(AdapterEntry, wsdList2, 320);
LX_CHECK_OFFSET(AdapterEntry, wsdList3, 328);
LX_CHECK_OFFSET(AdapterEntry, wsdList4, 336);
LX_CHECK_OFFSET(AdapterEntry, toeStatisticsList, 352);

LX_STATIC_ASSERT(sizeof(TeamEntry) == 216, "TeamEntry size");
LX_CHECK_OFFSET(TeamEntry, handle, 8);
LX_CHECK_OFFSET(TeamEntry, teamText, 16);
LX_CHECK_OFFSET(TeamEntry, definitionType, 24);
LX_CHECK_OFFSET(TeamEntry, teamInfo1, 32);
LX_CHECK_OFFSET(TeamEntry, teamInfo2, 36);
LX_CHECK_OFFSET(TeamEntry, isNew, 40);
LX_CHECK_OFFSET(TeamEntry, isDeleted, 41);
LX_CHECK_OFFSET(TeamEntry, flag3, 42);
LX_CHECK_OFFSET(TeamEntry, members, 48);
LX_CHECK_OFFSET(TeamEntry, controlsList, 56);
LX_CHECK_OFFSET(TeamEntry, settingsList, 64);
LX_CHECK_OFFSET(TeamEntry, advancedList, 72);
LX_CHECK_OFFSET(TeamEntry, connectionInfoList, 88);
LX_CHECK_OFFSET(TeamEntry, connectionStatsList, 96);
LX_CHECK_OFFSET(TeamEntry, informationList1, 104);
LX_CHECK_OFFSET(TeamEntry, informationList2, 112);
LX_CHECK_OFFSET(TeamEntry, statisticsList1, 144);
LX_CHECK_OFFSET(TeamEntry, statisticsList2, 152);
LX_CHECK_OFFSET(TeamEntry, redundancyList, 168);
LX_CHECK_OFFSET(TeamEntry, vlans, 176);
LX_CHECK_OFFSET(TeamEntry, discProtocolList, 200);
LX_CHECK_OFFSET(TeamEntry, toeStatisticsList, 208);

LX_STATIC_ASSERT(sizeof(VlanEntry) == 216, "VlanEntry size");
LX_CHECK_OFFSET(VlanEntry, handle, 8);
LX_CHECK_OFFSET(VlanEntry, definitionType, 24);
LX_CHECK_OFFSET(VlanEntry, isNew, 40);
LX_CHECK_OFFSET(VlanEntry, isDeleted, 41);
LX_CHECK_OFFSET(VlanEntry, connectionInfoList, 88);
LX_CHECK_OFFSET(VlanEntry, connectionStatsList, 96);
LX_CHECK_OFFSET(VlanEntry, identificationList, 160);
LX_CHECK_OFFSET(VlanEntry, vlanParameter, 184);

LX_STATIC_ASSERT(sizeof(TeamMemberLink) == 32, "TeamMemberLink size");
LX_CHECK_OFFSET(TeamMemberLink, adapter, 8);
LX_CHECK_OFFSET(TeamMemberLink, adapterHandle, 16);
LX_CHECK_OFFSET(TeamMemberLink, isAdded, 24);
LX_CHECK_OFFSET(TeamMemberLink, isRemoved, 25);

LX_STATIC_ASSERT(sizeof(DependencyChange) == 24, "DependencyChange size");
LX_CHECK_OFFSET(DependencyChange, entry, 8);
LX_CHECK_OFFSET(DependencyChange, text, 16);

LX_CHECK_OFFSET(ScriptConfig, nics, 8);
LX_CHECK_OFFSET(ScriptConfig, version, 16);
LX_CHECK_OFFSET(ScriptVersionInfo, scriptVersion, 8);
LX_CHECK_OFFSET(ScriptTeam, properties, 8);
LX_CHECK_OFFSET(ScriptTeam, relnics, 16);
LX_CHECK_OFFSET(ScriptTeam, vlans, 24);
LX_CHECK_OFFSET(ScriptNic, properties, 8);
LX_CHECK_OFFSET(ScriptNic, vlans, 16);
LX_CHECK_OFFSET(ScriptVlan, properties, 8);
LX_CHECK_OFFSET(ScriptProperty, id, 8);
LX_CHECK_OFFSET(ScriptProperty, value, 16);

/* Result codes. */
#define LXNICCFG_OK 0u
#define LXNICCFG_FILE_NOT_CREATED 1u
#define LXNICCFG_NOTICE 7u
#define LXNICCFG_NOTICE2 16u
#define LXNICCFG_FAILED 100u
#define LXNICCFG_BAD_CHECKSUM 101u
#define LXNICCFG_NO_FILE 102u
#define LXNICCFG_XML_INIT_FAILED 103u
#define LXNICCFG_NO_ENTRIES 104u
#define LXNICCFG_CANNOT_OPEN 106u
#define LXNICCFG_NO_MEMBER 0xFFFFFFFFu

/* The exports, by ordinal. */
/* 1 */ LXNICCFG_API uint32_t GetNicList(uint64_t listOption, TeamEntry **teams,
                                         AdapterEntry **adapters);
/* 2 */ LXNICCFG_API uint32_t GetPanelData(AdapterEntry *adapter, const lx_wchar *panel,
                                           PanelEntry **list);
/* 3 */ LXNICCFG_API uint32_t ApplyChanges(AdapterEntry **adapters);
/* 4 */ LXNICCFG_API uint32_t InitXml(const lx_wchar *path);
/* 5 */ LXNICCFG_API void CloseXml(uint8_t flag);
/* 6 */ LXNICCFG_API uint32_t UpdateProperty(AdapterEntry *adapter, PanelEntry *entry,
                                             DependencyChange **changes);
/* 7 */ LXNICCFG_API uint32_t VerifyDependency(AdapterEntry *adapter, PanelEntry *changed,
                                               DependencyChange **changes, uint8_t allRules);
/* 8 */ LXNICCFG_API uint32_t UpdateNicStatus(uint64_t adapter, uint32_t *status);
/* 9 */ LXNICCFG_API uint32_t GetTeamPanelData(void *teamOrVlan, const lx_wchar *panel,
                                               PanelEntry **list);
/* 11 */ LXNICCFG_API uint32_t ApplyTeamPropertyChanges(TeamEntry **teams,
                                                        AdapterEntry **adapters);
/* 12 */ LXNICCFG_API uint32_t ApplyTeamConfigurationChanges(TeamEntry **teams,
                                                             AdapterEntry **adapters);
/* 13 */ LXNICCFG_API uint32_t GetSingleTeamProperty(uint64_t team, const lx_wchar *id,
                                                     lx_wchar **value);
/* 14 */ LXNICCFG_API uint32_t SetSingleTeamProperty(uint64_t team, const lx_wchar *id,
                                                     const lx_wchar *value);
/* 15 */ LXNICCFG_API uint32_t UpdateTeamPanelData(void *teamOrVlan, const lx_wchar *panel,
                                                   PanelEntry *list);
/* 16 */ LXNICCFG_API uint32_t GetSingleProperty(uint64_t adapter, const lx_wchar *definitionType,
                                                 const lx_wchar *id, lx_wchar **value);
/* 17 */ LXNICCFG_API uint32_t SetSingleProperty(uint64_t adapter, const lx_wchar *definitionType,
                                                 const lx_wchar *id, const lx_wchar *value,
                                                 uint8_t registerChange);
/* 18 */ LXNICCFG_API uint32_t TcpIpInstalled(uint32_t *installed);
/* 19 */ LXNICCFG_API uint32_t GetNicTeam(uint64_t adapter, uint64_t *team);
/* 20 */ LXNICCFG_API uint32_t ReadXmlScriptFile(ScriptConfig **config, const lx_wchar *path,
                                                 char **message);
/* 21 */ LXNICCFG_API uint32_t WriteXmlScriptFile(TeamEntry *teams, AdapterEntry *adapters,
                                                  const lx_wchar *path, uint8_t fullDetail,
                                                  uint8_t addressComments);
/* 22 */ LXNICCFG_API uint32_t UpdateTeamStatus(uint64_t team, uint32_t *status);
/* 23 */ LXNICCFG_API uint32_t ApplyConfigChanges(uint64_t handle, uint32_t flags);
/* 24 */ LXNICCFG_API uint32_t SetSingleRawTeamProperty(uint64_t handle, const lx_wchar *id,
                                                        const void *raw, uint8_t isVlan);

#ifdef __cplusplus
}
#endif

#endif /* LXNICCFG_H */
