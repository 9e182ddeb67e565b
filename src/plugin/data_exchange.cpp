#include "plugin/data_exchange.h"

#include "common/errors.h"

namespace kvr {

namespace {

constexpr const char* kUnitPath = "kvrShared\\Private\\Plugins\\kvrPluginModule";

bool concerns(PPluginCallRec rec, TModuleType type) {
    return (rec->ModuleTypes & module_type_bit(type)) != 0;
}

TkvrParamsList* data_list(PPluginCallRec rec) {
    return rec->DataKind == KVR_DATAKIND_PARAMS_LIST
               ? TkvrParamsList::from(static_cast<kvr_params_list*>(rec->Data))
               : nullptr;
}

void send_message(TkvrPlugin& plugin, int type, const std::string& text) {
    if (!text.empty()) plugin.SendLog(type, text);
}

// The calling thread's rows list when the handler put something into it.
TkvrParamsList* rows_to_hand_on(TkvrPlugin& plugin) {
    TkvrParamsList* rows = plugin.OutputRows.ForThisThread();
    return rows && rows->GetCount() > 0 ? rows : nullptr;
}

} // namespace

void CheckCallParams(PPluginCallRec pCallRec) {
    const bool tagged = pCallRec->Params && kvr_list_is_alive(pCallRec->Params);
    kvr_assert(tagged, kUnitPath, __LINE__, "Invalid call parameters");
}

int32_t RunProcessData(TkvrPlugin& plugin, PPluginCallRec rec) {
    int32_t result = 0;
    try {
        rec->ResultValue = 0;
        rec->ResultKind = KVR_RESULTKIND_NONE;
        CheckCallParams(rec);
        void* const saved = rec->Data;
        if (rec->ModuleTypes != 0) {
            if (rec->DataKind == KVR_DATAKIND_PARAMS_LIST && !concerns(rec, mttDataQuery)) {
                const TkvrParamsList* list = data_list(rec);
                if (!list || list->GetCount() == 0) rec->Data = nullptr;
            }
            bool run_handler = true;
            if (concerns(rec, mttDataExport)) {
                if (!rec->Data) {
                    send_message(plugin, lmtError, plugin.MsgNoData);
                    run_handler = false;
                } else if (TkvrParamsList* list = data_list(rec);
                           list && list->IsRowsList() && list->GetCount() > 0 &&
                           !is_row_separator(list->GetItem(list->GetCount() - 1))) {
                    list->AddRowSeparator();
                }
            }
            if (run_handler && plugin.OnProcessData) {
                try {
                    plugin.OnProcessData(plugin, rec, result);
                    if (rec->ResultKind == KVR_RESULTKIND_NONE) {
                        if (TkvrParamsList* rows = rows_to_hand_on(plugin)) {
                            rec->ResultKind = KVR_RESULTKIND_ROWS_LIST;
                            rec->ResultValue = reinterpret_cast<intptr_t>(rows);
                        }
                    }
                    if (result > 0 && !rec->Data) result = 0;
                    if (concerns(rec, mttDataExport) || concerns(rec, mttEventsHandling))
                        send_message(plugin, result < 0 ? lmtError : lmtSuccess,
                                     result < 0 ? plugin.MsgWriteCompleteError
                                                : plugin.MsgWriteComplete);
                } catch (...) {
                    result = -3;
                    send_message(plugin, lmtError, plugin.MsgWriteCompleteError);
                }
            }
        }
        // A module that wants the host to keep a data object puts a different one into Data.
        if (rec->Data == saved) rec->Data = nullptr;
    } catch (...) {
        result = -3;
    }
    return result;
}

int32_t RunGetData(TkvrPlugin& plugin, PPluginCallRec rec) {
    int32_t result = 0;
    if (rec->ModuleTypes == 0) return 0;
    rec->Data = nullptr;
    if (!plugin.OnGetData) return 0;
    try {
        plugin.OnGetData(plugin, rec, result);
        if (TkvrParamsList* rows = rows_to_hand_on(plugin)) {
            rec->ResultKind = KVR_RESULTKIND_ROWS_LIST;
            rec->ResultValue = reinterpret_cast<intptr_t>(rows);
        }
        if (result > 0 && !rec->Data) result = 0;
    } catch (...) {
        result = -3;
        send_message(plugin, lmtError, plugin.MsgWriteCompleteError);
    }
    return result;
}

int32_t RunGetEvents(TkvrPlugin& plugin, PPluginCallRec rec) {
    try {
        const intptr_t acknowledged = rec->ResultValue;
        SharedRowsList events = plugin.EventRows.Hold();
        const auto pointer = reinterpret_cast<intptr_t>(events.get());
        if (events && pointer == acknowledged) {
            events->Clear(); // the host has read the list it was given
        } else if (!events && acknowledged == 0) {
            return -3; // outside LOAD..UNLOAD there is nothing to clear
        } else {
            rec->ResultKind = KVR_RESULTKIND_ROWS_LIST;
            rec->ResultValue = pointer;
        }
        // A list that UNLOAD released meanwhile goes with this call: it is not handed on.
        if (!plugin.EventRows.LetGo(events) && pointer != 0 && rec->ResultValue == pointer &&
            rec->ResultKind == KVR_RESULTKIND_ROWS_LIST)
            rec->ResultValue = 0;
        return 0;
    } catch (...) {
        return -3;
    }
}

} // namespace kvr
