/*
 * The binary contract between a data-logging host and its plug-in modules.
 *
 * A host in any language can be written from this header alone: it fixes the call record,
 * the module roles, the result codes, the layout of the parameter lists both sides share,
 * the 8-bit string and VARIANT conventions, and the exported entry points. The inline
 * helpers at the end build, read and free parameter lists exactly as a module does, so a
 * list made by one side is freed by the other.
 *
 * The contract is 32-bit Windows (i686), the layout hosts of this interface use; the same
 * records in a 64-bit layout serve 64-bit hosts (x86_64), where every field that carries a
 * pointer is 8 bytes wide and all other fields keep their width. All memory of lists, items,
 * item arrays and 8-bit strings comes from the process heap (HeapAlloc(GetProcessHeap(),
 * ...)); strings inside VARIANTs are BSTRs from the OLE allocator. Link the host with ole32
 * and oleaut32.
 */
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <windows.h>
#include <oleauto.h>

#ifdef __cplusplus
extern "C" {
#define KVR_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define KVR_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Calling convention of every entry point. */
#define KVR_CALL __stdcall

/* The contract has a 32-bit layout (the one hosts of this interface use) and a 64-bit one
 * with the same fields in the same order. */
#if defined(_WIN64)
#define KVR_POINTER_BITS 64
#else
#define KVR_POINTER_BITS 32
#endif
KVR_STATIC_ASSERT(sizeof(void*) * 8 == KVR_POINTER_BITS, "pointer width matches the layout");

/* ---- Call record ------------------------------------------------------------------------ */

#define KVR_CALL_SIGNATURE 102u

/* CallMode values; any other value is an ordinary call. */
#define KVR_CALLMODE_ORDINARY 0x00u
#define KVR_CALLMODE_LIBRARY_UNLOAD 0xFEu /* the host is about to unload the library */
#define KVR_CALLMODE_RELEASE 0xFFu        /* release the instance named by InstanceKey */

/* DataKind values. */
#define KVR_DATAKIND_PARAMS_LIST 1u /* Data points to a parameter list */

/* ResultKind values. */
#define KVR_RESULTKIND_NONE 0u
#define KVR_RESULTKIND_ROWS_LIST 1u /* ResultValue holds a module-owned rows list */
#define KVR_RESULTKIND_VALUE 5u     /* ResultValue holds a byte count or a status */

/* ResultType written by ShowOptionsDialog. */
#define KVR_RESULTTYPE_DIALOG 4

#pragma pack(push, 1)
/* One call. The host owns it; the module keeps no pointer to it after the call returns and
 * never touches bytes beyond KVR_CALL_RECORD_SIZE or the reserved fields. The record is
 * packed; the fields that carry a pointer take the pointer's width, all others keep theirs. */
typedef struct TPluginCallRec {
    uint32_t Signature;   /* must be KVR_CALL_SIGNATURE */
    uint8_t CallMode;     /* KVR_CALLMODE_* */
    uint32_t InstanceKey; /* the host's key for one module instance; 0 is never valid */
    uint32_t ModuleId;    /* the host's number for the instance, echoed in notifications */
    uint32_t Reserved1;
    uint32_t Reserved2;
    uint8_t ModuleTypes;            /* set of roles (KVR_MTT_*) the call concerns */
    struct kvr_params_list* Params; /* the call's parameter list, made by the host */
    uint32_t Reserved3;
    int32_t BufferSize; /* capacity in bytes of the buffer at Data */
    uint8_t DataKind;   /* KVR_DATAKIND_* */
    void* Data;         /* host buffer, or the data list of a data call */
    uint32_t Reserved4;
    int32_t ResultType;
    uint8_t ResultKind;   /* KVR_RESULTKIND_* */
    intptr_t ResultValue; /* byte count or status (signed 32-bit), or a rows-list pointer */
} TPluginCallRec, *PPluginCallRec;
#pragma pack(pop)

#if KVR_POINTER_BITS == 32
#define KVR_CALL_RECORD_SIZE 52
KVR_STATIC_ASSERT(sizeof(TPluginCallRec) == 52, "call record is 52 bytes");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Signature) == 0, "Signature at 0");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, CallMode) == 4, "CallMode at 4");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, InstanceKey) == 5, "InstanceKey at 5");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, ModuleId) == 9, "ModuleId at 9");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Reserved1) == 13, "reserved at 13");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Reserved2) == 17, "reserved at 17");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, ModuleTypes) == 21, "ModuleTypes at 21");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Params) == 22, "Params at 22");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Reserved3) == 26, "reserved at 26");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, BufferSize) == 30, "BufferSize at 30");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, DataKind) == 34, "DataKind at 34");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Data) == 35, "Data at 35");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Reserved4) == 39, "reserved at 39");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, ResultType) == 43, "ResultType at 43");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, ResultKind) == 47, "ResultKind at 47");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, ResultValue) == 48, "ResultValue at 48");
#else
#define KVR_CALL_RECORD_SIZE 64
KVR_STATIC_ASSERT(sizeof(TPluginCallRec) == 64, "call record is 64 bytes");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Signature) == 0, "Signature at 0");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, CallMode) == 4, "CallMode at 4");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, InstanceKey) == 5, "InstanceKey at 5");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, ModuleId) == 9, "ModuleId at 9");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Reserved1) == 13, "reserved at 13");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Reserved2) == 17, "reserved at 17");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, ModuleTypes) == 21, "ModuleTypes at 21");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Params) == 22, "Params at 22");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Reserved3) == 30, "reserved at 30");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, BufferSize) == 34, "BufferSize at 34");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, DataKind) == 38, "DataKind at 38");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Data) == 39, "Data at 39");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, Reserved4) == 47, "reserved at 47");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, ResultType) == 51, "ResultType at 51");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, ResultKind) == 55, "ResultKind at 55");
KVR_STATIC_ASSERT(offsetof(TPluginCallRec, ResultValue) == 56, "ResultValue at 56");
#endif

/* ---- Module roles (TModuleType bits) and options ------------------------------------------ */

#define KVR_MTT_DATA_QUERY 0x01u
#define KVR_MTT_DATA_PARSER 0x02u
#define KVR_MTT_DATA_EXPORT 0x04u
#define KVR_MTT_EVENTS_HANDLING 0x08u
#define KVR_MTT_LOGGING 0x10u
#define KVR_MTT_FILTER 0x20u
#define KVR_MTT_DEVICE_LAYER 0x40u
#define KVR_MTT_MENU_EXT 0x80u
/* Option bits in the high half of GetModuleType's answer. */
#define KVR_MO_NO_CONFIG 0x10000u
#define KVR_MO_XML_OPTIONS 0x20000u

/* ---- Result codes ------------------------------------------------------------------------ */

#define KVR_RESULT_INVALID (-1)     /* invalid record, no instance, no COMMAND, wait failed */
#define KVR_RESULT_NOT_HANDLED (-2) /* command not handled */
#define KVR_RESULT_EXCEPTION (-3)   /* the module failed while serving the call */

/* ---- Messages to the host window ---------------------------------------------------------- */

#define KVR_MSG_LOG_NOTIFY 1809u      /* wParam = ModuleId: log lines wait, fetch with GetLogEx */
#define KVR_MSG_RELOAD_SETTINGS 1812u /* wParam = ModuleId: send LOAD-SETTINGS-NOW */
#define KVR_COPYDATA_LOG_LINES 1u     /* WM_COPYDATA dwData: queued log lines */
#define KVR_COPYDATA_LOG_LINE 2u      /* WM_COPYDATA dwData: one log line */

/* Log line type codes lead every log line. */

/* ---- 8-bit strings ------------------------------------------------------------------------ */
/*
 * An 8-bit string value is a pointer to its first byte inside one heap block laid out as
 * [int32 refcount][int32 length][bytes][0]. The empty string is a null pointer. A refcount
 * of -1 marks a constant that is never freed.
 */
typedef char* kvr_ansi_string;

#define KVR_ANSI_HEADER 8
#define KVR_ANSI_CONSTANT_REFCOUNT (-1)

/* ---- VARIANT values ----------------------------------------------------------------------- */
/*
 * Values are OLE Automation VARIANTs. A value is empty or null when its whole type code is
 * VT_EMPTY or VT_NULL; an empty string is a value. Type KVR_VT_ANSI_STRING carries an 8-bit
 * string (above) in its payload; VariantClear does not know it, so use kvr_variant_clear.
 */
#define KVR_VT_ANSI_STRING 0x0100

/* ---- Parameter lists ---------------------------------------------------------------------- */

#define KVR_PARAMS_MAGIC 0x0FDE2E4Bu
#define KVR_ROW_SEPARATOR "$NEW_ROW$"
#define KVR_CLASS_PARAMS_LIST "TkvrParamsList"
#define KVR_CLASS_ROWS_PARAMS_LIST "TkvrRowsParamsList"
#define KVR_CLASS_PARAMS_LIST_ITEM "TkvrParamsListItem"

/* Offset 0 of every list and item points to a record whose first field is the class name.
 * Nothing is dispatched through it; a rows list is recognised by its name (any case). */
typedef struct kvr_class_descriptor {
    const char* ClassName;
} kvr_class_descriptor;

/* Lists and items take natural alignment; pointer fields take the pointer's width. */

/* One named value; 40 bytes (32-bit), 56 bytes (64-bit). */
typedef struct kvr_params_list_item {
    const kvr_class_descriptor* Class;
    kvr_ansi_string Name;      /* as given at creation, never changed */
    kvr_ansi_string LowerName; /* Name lower-cased once by the ANSI code page's rules */
    uint32_t Reserved;
    uint8_t State; /* 0 for an empty or null value at creation, else 2; never read */
    VARIANT Value; /* 8-byte aligned */
} kvr_params_list_item;

/* An ordered list of named values; 28 bytes (32-bit), 48 bytes (64-bit). The list owns its
 * items. */
typedef struct kvr_params_list {
    const kvr_class_descriptor* Class;
    kvr_params_list_item** Items; /* array of Capacity item pointers */
    int32_t Count;
    int32_t Capacity;
    uint32_t Magic;         /* KVR_PARAMS_MAGIC while alive, 0 once destruction begins */
    kvr_ansi_string ListId; /* text form of a GUID made with the list */
    uint32_t Reserved;
} kvr_params_list;

/* A list meant to carry rows; 32 bytes (32-bit), 56 bytes (64-bit); otherwise a plain list. */
typedef struct kvr_rows_params_list {
    kvr_params_list List;
    uint32_t Reserved;
} kvr_rows_params_list;

#if KVR_POINTER_BITS == 32
KVR_STATIC_ASSERT(sizeof(VARIANT) == 16, "VARIANT is 16 bytes");
KVR_STATIC_ASSERT(sizeof(kvr_params_list_item) == 40, "item is 40 bytes");
KVR_STATIC_ASSERT(offsetof(kvr_params_list_item, Name) == 4, "Name at 4");
KVR_STATIC_ASSERT(offsetof(kvr_params_list_item, LowerName) == 8, "LowerName at 8");
KVR_STATIC_ASSERT(offsetof(kvr_params_list_item, Reserved) == 12, "reserved at 12");
KVR_STATIC_ASSERT(offsetof(kvr_params_list_item, State) == 16, "State at 16");
KVR_STATIC_ASSERT(offsetof(kvr_params_list_item, Value) == 24, "Value at 24");
KVR_STATIC_ASSERT(sizeof(kvr_params_list) == 28, "list is 28 bytes");
KVR_STATIC_ASSERT(offsetof(kvr_params_list, Items) == 4, "item array at 4");
KVR_STATIC_ASSERT(offsetof(kvr_params_list, Count) == 8, "Count at 8");
KVR_STATIC_ASSERT(offsetof(kvr_params_list, Capacity) == 12, "Capacity at 12");
KVR_STATIC_ASSERT(offsetof(kvr_params_list, Magic) == 16, "Magic at 16");
KVR_STATIC_ASSERT(offsetof(kvr_params_list, ListId) == 20, "ListId at 20");
KVR_STATIC_ASSERT(offsetof(kvr_params_list, Reserved) == 24, "reserved at 24");
KVR_STATIC_ASSERT(sizeof(kvr_rows_params_list) == 32, "rows list is 32 bytes");
KVR_STATIC_ASSERT(offsetof(kvr_rows_params_list, Reserved) == 28, "reserved at 28");
#else
KVR_STATIC_ASSERT(sizeof(VARIANT) == 24, "VARIANT is 24 bytes");
KVR_STATIC_ASSERT(sizeof(kvr_params_list_item) == 56, "item is 56 bytes");
KVR_STATIC_ASSERT(offsetof(kvr_params_list_item, Name) == 8, "Name at 8");
KVR_STATIC_ASSERT(offsetof(kvr_params_list_item, LowerName) == 16, "LowerName at 16");
KVR_STATIC_ASSERT(offsetof(kvr_params_list_item, Reserved) == 24, "reserved at 24");
KVR_STATIC_ASSERT(offsetof(kvr_params_list_item, State) == 28, "State at 28");
KVR_STATIC_ASSERT(offsetof(kvr_params_list_item, Value) == 32, "Value at 32");
KVR_STATIC_ASSERT(sizeof(kvr_params_list) == 48, "list is 48 bytes");
KVR_STATIC_ASSERT(offsetof(kvr_params_list, Items) == 8, "item array at 8");
KVR_STATIC_ASSERT(offsetof(kvr_params_list, Count) == 16, "Count at 16");
KVR_STATIC_ASSERT(offsetof(kvr_params_list, Capacity) == 20, "Capacity at 20");
KVR_STATIC_ASSERT(offsetof(kvr_params_list, Magic) == 24, "Magic at 24");
KVR_STATIC_ASSERT(offsetof(kvr_params_list, ListId) == 32, "ListId at 32");
KVR_STATIC_ASSERT(offsetof(kvr_params_list, Reserved) == 40, "reserved at 40");
KVR_STATIC_ASSERT(sizeof(kvr_rows_params_list) == 56, "rows list is 56 bytes");
KVR_STATIC_ASSERT(offsetof(kvr_rows_params_list, Reserved) == 48, "reserved at 48");
#endif

/* ---- Exported entry points ---------------------------------------------------------------- */
/*
 * Every entry point may be called from any thread when MultiThreadSupport answers true.
 * No entry point lets an exception escape; failures become the result given below.
 * The first call with a new InstanceKey creates the instance, whatever the entry point.
 *
 * Ordinal  Name                  Result
 *   9      GetPluginIntfVersion  interface version: 4 (major in the low 16 bits)
 *  10      GetAppMinVersion      lowest host version the module needs; -1.0 without instance
 *  12      GetModuleDescription  the module's name; belongs to the instance; null without one
 *  11      GetModuleType         KVR_MTT_* bits | KVR_MO_* bits; 0 without instance
 *   7      MultiThreadSupport    nonzero when calls may come from several threads
 *   8      GetCustomCommands     byte count of the command text copied into Data
 *   2      GetLogEx              byte count of the log text copied into Data
 *   6      ShowOptionsDialog     status in ResultValue (ResultKind 5, ResultType 4)
 *  13      ExecutePluginCommand  result code of the command in Params' "COMMAND"
 *   4      GetData               result code; rows come back as a module-owned rows list
 *   3      GetEvents             result code; event rows as a module-owned rows list
 *   5      ProcessData           result code; filtered rows as a module-owned rows list
 *
 * A rows list returned in ResultValue belongs to the module: it stays valid until the next
 * data call on the same instance or until UNLOAD; the host reads it in place.
 */
typedef uint32_t(KVR_CALL* kvr_GetPluginIntfVersion)(void);
typedef float(KVR_CALL* kvr_GetAppMinVersion)(PPluginCallRec);
typedef const char*(KVR_CALL* kvr_GetModuleDescription)(PPluginCallRec);
typedef uint32_t(KVR_CALL* kvr_GetModuleType)(PPluginCallRec);
typedef uint8_t(KVR_CALL* kvr_MultiThreadSupport)(PPluginCallRec);
typedef int32_t(KVR_CALL* kvr_GetCustomCommands)(PPluginCallRec);
typedef int32_t(KVR_CALL* kvr_GetLogEx)(PPluginCallRec);
typedef void(KVR_CALL* kvr_ShowOptionsDialog)(PPluginCallRec);
typedef int32_t(KVR_CALL* kvr_ExecutePluginCommand)(PPluginCallRec);
typedef int32_t(KVR_CALL* kvr_GetData)(PPluginCallRec);
typedef int32_t(KVR_CALL* kvr_GetEvents)(PPluginCallRec);
typedef int32_t(KVR_CALL* kvr_ProcessData)(PPluginCallRec);

/* ---- Helpers: 8-bit strings --------------------------------------------------------------- */

static inline void* kvr_heap_alloc(size_t size) {
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

static inline void kvr_heap_free(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

/* Makes a freeable 8-bit string of `length` bytes; null for length 0 or no memory. */
static inline kvr_ansi_string kvr_ansi_new(const char* text, int32_t length) {
    char* block;
    if (length <= 0) return NULL;
    block = (char*)HeapAlloc(GetProcessHeap(), 0, (size_t)length + KVR_ANSI_HEADER + 1);
    if (!block) return NULL;
    ((int32_t*)block)[0] = 1;
    ((int32_t*)block)[1] = length;
    memcpy(block + KVR_ANSI_HEADER, text, (size_t)length);
    block[KVR_ANSI_HEADER + length] = 0;
    return block + KVR_ANSI_HEADER;
}

static inline kvr_ansi_string kvr_ansi_from_cstr(const char* text) {
    return text ? kvr_ansi_new(text, (int32_t)strlen(text)) : NULL;
}

/* Length in bytes; 0 for the empty (null) string. */
static inline int32_t kvr_ansi_length(const char* s) {
    return s ? ((const int32_t*)(s - KVR_ANSI_HEADER))[1] : 0;
}

/* Drops one reference; frees the block at the last one; constants are never freed. */
static inline void kvr_ansi_release(kvr_ansi_string s) {
    int32_t* header;
    if (!s) return;
    header = (int32_t*)(s - KVR_ANSI_HEADER);
    if (header[0] == KVR_ANSI_CONSTANT_REFCOUNT) return;
    if (InterlockedDecrement((LONG*)&header[0]) == 0) HeapFree(GetProcessHeap(), 0, header);
}

/* ---- Helpers: VARIANTs -------------------------------------------------------------------- */

static inline int kvr_variant_is_empty_or_null(const VARIANT* v) {
    return v->vt == VT_EMPTY || v->vt == VT_NULL;
}

/* The 8-bit string held by a KVR_VT_ANSI_STRING value. */
static inline kvr_ansi_string kvr_variant_ansi(const VARIANT* v) {
    return (kvr_ansi_string)v->byref;
}

/* Clears any value, 8-bit strings included; leaves VT_EMPTY. */
static inline void kvr_variant_clear(VARIANT* v) {
    if (v->vt == KVR_VT_ANSI_STRING) {
        kvr_ansi_release(kvr_variant_ansi(v));
        v->byref = NULL;
        v->vt = VT_EMPTY;
    } else {
        VariantClear(v);
    }
}

/* Copies a value; an 8-bit string is duplicated. dst must be cleared or fresh. */
static inline HRESULT kvr_variant_copy(VARIANT* dst, const VARIANT* src) {
    if (src->vt == KVR_VT_ANSI_STRING) {
        kvr_ansi_string s = kvr_variant_ansi(src);
        VariantInit(dst);
        dst->vt = KVR_VT_ANSI_STRING;
        dst->byref = kvr_ansi_new(s, kvr_ansi_length(s));
        return S_OK;
    }
    VariantInit(dst);
    return VariantCopy(dst, (VARIANTARG*)src);
}

/* Converts 8-bit text in the ANSI code page to a BSTR; an empty text gives an empty BSTR. */
static inline BSTR kvr_bstr_from_ansi(const char* text, int32_t length) {
    int wide;
    BSTR result;
    if (length <= 0) return SysAllocStringLen(NULL, 0);
    wide = MultiByteToWideChar(CP_ACP, 0, text, length, NULL, 0);
    result = SysAllocStringLen(NULL, (UINT)wide);
    if (result) MultiByteToWideChar(CP_ACP, 0, text, length, result, wide);
    return result;
}

/* Replaces a KVR_VT_ANSI_STRING value by an OLE string of the same text. */
static inline void kvr_variant_ansi_to_ole(VARIANT* v) {
    if (v->vt == KVR_VT_ANSI_STRING) {
        kvr_ansi_string s = kvr_variant_ansi(v);
        BSTR b = kvr_bstr_from_ansi(s, kvr_ansi_length(s));
        kvr_ansi_release(s);
        v->vt = VT_BSTR;
        v->bstrVal = b;
    }
}

/* ---- Helpers: parameter lists ------------------------------------------------------------- */

static const kvr_class_descriptor kvr_params_list_class = {KVR_CLASS_PARAMS_LIST};
static const kvr_class_descriptor kvr_rows_params_list_class = {KVR_CLASS_ROWS_PARAMS_LIST};
static const kvr_class_descriptor kvr_params_list_item_class = {KVR_CLASS_PARAMS_LIST_ITEM};

/* True when the list carries the live tag. */
static inline int kvr_list_is_alive(const kvr_params_list* list) {
    return list && list->Magic == KVR_PARAMS_MAGIC;
}

/* True when the list's class is the rows list (class name compared without case). */
static inline int kvr_list_is_rows(const kvr_params_list* list) {
    return list && list->Class && list->Class->ClassName &&
           lstrcmpiA(list->Class->ClassName, KVR_CLASS_ROWS_PARAMS_LIST) == 0;
}

/* A GUID as 38 characters: braces, 32 upper-case hexadecimal digits, four hyphens. */
static inline kvr_ansi_string kvr_new_list_id(void) {
    static const char hex[] = "0123456789ABCDEF";
    GUID g;
    unsigned char bytes[16];
    char text[38];
    int i, pos = 0;
    if (FAILED(CoCreateGuid(&g))) memset(&g, 0, sizeof g);
    bytes[0] = (unsigned char)(g.Data1 >> 24);
    bytes[1] = (unsigned char)(g.Data1 >> 16);
    bytes[2] = (unsigned char)(g.Data1 >> 8);
    bytes[3] = (unsigned char)g.Data1;
    bytes[4] = (unsigned char)(g.Data2 >> 8);
    bytes[5] = (unsigned char)g.Data2;
    bytes[6] = (unsigned char)(g.Data3 >> 8);
    bytes[7] = (unsigned char)g.Data3;
    memcpy(bytes + 8, g.Data4, 8);
    text[pos++] = '{';
    for (i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text[pos++] = '-';
        text[pos++] = hex[bytes[i] >> 4];
        text[pos++] = hex[bytes[i] & 15];
    }
    text[pos++] = '}';
    return kvr_ansi_new(text, pos);
}

/* Makes an empty list (a rows list when `rows` is nonzero); null when out of memory. */
static inline kvr_params_list* kvr_list_new(int rows) {
    kvr_params_list* list = (kvr_params_list*)kvr_heap_alloc(rows ? sizeof(kvr_rows_params_list)
                                                                  : sizeof(kvr_params_list));
    if (!list) return NULL;
    list->Class = rows ? &kvr_rows_params_list_class : &kvr_params_list_class;
    list->Magic = KVR_PARAMS_MAGIC;
    list->ListId = kvr_new_list_id();
    return list;
}

/* Frees one item with its name and value. */
static inline void kvr_item_free(kvr_params_list_item* item) {
    if (!item) return;
    kvr_variant_clear(&item->Value);
    kvr_ansi_release(item->Name);
    kvr_ansi_release(item->LowerName);
    kvr_heap_free(item);
}

/* Makes an item: the name as given, its ANSI lower-case copy, a copy of the value.
 * State is 0 for an empty or null value and 2 otherwise. Null when out of memory. */
static inline kvr_params_list_item* kvr_item_new(const char* name, int32_t name_length,
                                                 const VARIANT* value) {
    kvr_params_list_item* item = (kvr_params_list_item*)kvr_heap_alloc(sizeof *item);
    if (!item) return NULL;
    item->Class = &kvr_params_list_item_class;
    item->Name = kvr_ansi_new(name, name_length);
    item->LowerName = kvr_ansi_new(name, name_length);
    if (item->LowerName) CharLowerBuffA(item->LowerName, (DWORD)name_length);
    VariantInit(&item->Value);
    if (value) kvr_variant_copy(&item->Value, value);
    item->State = kvr_variant_is_empty_or_null(&item->Value) ? 0 : 2;
    return item;
}

/* Appends an item, growing the array; the list takes ownership. Returns 0 when out of memory
 * (the item is then not owned by the list). */
static inline int kvr_list_append_item(kvr_params_list* list, kvr_params_list_item* item) {
    if (list->Count == list->Capacity) {
        int32_t grow = list->Capacity > 64 ? list->Capacity / 4 : (list->Capacity > 8 ? 16 : 4);
        int32_t capacity = list->Capacity + grow;
        size_t bytes = (size_t)capacity * sizeof(kvr_params_list_item*);
        void* items = list->Items
                          ? HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, list->Items, bytes)
                          : kvr_heap_alloc(bytes);
        if (!items) return 0;
        list->Items = (kvr_params_list_item**)items;
        list->Capacity = capacity;
    }
    list->Items[list->Count++] = item;
    return 1;
}

/* True when the name has something left after trimming codes 0 to 32 at both ends. */
static inline int kvr_name_is_blank(const char* name, int32_t length) {
    int32_t i;
    for (i = 0; i < length; ++i)
        if ((unsigned char)name[i] > 32) return 0;
    return 1;
}

/* Appends a named value as a module does: nothing for a blank name; an 8-bit string value is
 * stored as an OLE string; State is 2. Returns the new item, or null. */
static inline kvr_params_list_item* kvr_list_add(kvr_params_list* list, const char* name,
                                                 const VARIANT* value) {
    int32_t length = name ? (int32_t)strlen(name) : 0;
    kvr_params_list_item* item;
    if (kvr_name_is_blank(name, length)) return NULL;
    item = kvr_item_new(name, length, value);
    if (!item) return NULL;
    kvr_variant_ansi_to_ole(&item->Value);
    item->State = 2;
    if (!kvr_list_append_item(list, item)) {
        kvr_item_free(item);
        return NULL;
    }
    return item;
}

static inline kvr_params_list_item* kvr_list_add_int(kvr_params_list* list, const char* name,
                                                     int32_t number) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = number;
    return kvr_list_add(list, name, &v);
}

static inline kvr_params_list_item* kvr_list_add_double(kvr_params_list* list, const char* name,
                                                        double number) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = number;
    return kvr_list_add(list, name, &v);
}

static inline kvr_params_list_item* kvr_list_add_bool(kvr_params_list* list, const char* name,
                                                      int flag) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return kvr_list_add(list, name, &v);
}

/* Adds a handle ("HANDLE", "MessagesProcessorHandle", "OWNERFORM") as an integer of the
 * pointer's width: VT_I4 in the 32-bit layout, VT_I8 in the 64-bit one. A 64-bit module also
 * takes a window handle as VT_I4, since window handles fit in 32 bits. */
static inline kvr_params_list_item* kvr_list_add_handle(kvr_params_list* list, const char* name,
                                                        const void* handle) {
    VARIANT v;
    VariantInit(&v);
#if KVR_POINTER_BITS == 64
    v.vt = VT_I8;
    v.llVal = (LONGLONG)(intptr_t)handle;
#else
    v.vt = VT_I4;
    v.lVal = (LONG)(intptr_t)handle;
#endif
    return kvr_list_add(list, name, &v);
}

/* Adds an OLE string made from 8-bit ANSI text. */
static inline kvr_params_list_item* kvr_list_add_text(kvr_params_list* list, const char* name,
                                                      const char* text) {
    kvr_params_list_item* item;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = kvr_bstr_from_ansi(text, text ? (int32_t)strlen(text) : 0);
    item = kvr_list_add(list, name, &v);
    VariantClear(&v);
    return item;
}

static inline kvr_params_list_item* kvr_list_add_null(kvr_params_list* list, const char* name) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_NULL;
    return kvr_list_add(list, name, &v);
}

/* Index of the first item whose lower-case name equals `name` with A-Z lowered; -1 if none. */
static inline int32_t kvr_list_index_of(const kvr_params_list* list, const char* name) {
    int32_t i, length = name ? (int32_t)strlen(name) : 0;
    for (i = 0; i < list->Count; ++i) {
        const char* lower = list->Items[i]->LowerName;
        int32_t j;
        if (kvr_ansi_length(lower) != length) continue;
        for (j = 0; j < length; ++j) {
            char c = name[j];
            if (c >= 'A' && c <= 'Z') c = (char)(c + ('a' - 'A'));
            if (lower[j] != c) break;
        }
        if (j == length) return i;
    }
    return -1;
}

/* The first item of that name, or null. */
static inline kvr_params_list_item* kvr_list_find(const kvr_params_list* list, const char* name) {
    int32_t i = kvr_list_index_of(list, name);
    return i < 0 ? NULL : list->Items[i];
}

/* Frees every item and empties the list; the list stays alive. */
static inline void kvr_list_clear(kvr_params_list* list) {
    int32_t i;
    for (i = 0; i < list->Count; ++i) {
        kvr_params_list_item* item = list->Items[i];
        list->Items[i] = NULL;
        kvr_item_free(item);
    }
    kvr_heap_free(list->Items);
    list->Items = NULL;
    list->Count = 0;
    list->Capacity = 0;
}

/* Frees a list made by either side: the tag is cleared first, then items, array and id. */
static inline void kvr_list_free(kvr_params_list* list) {
    if (!list) return;
    list->Magic = 0;
    kvr_list_clear(list);
    kvr_ansi_release(list->ListId);
    list->ListId = NULL;
    kvr_heap_free(list);
}

#ifdef __cplusplus
}
#endif
