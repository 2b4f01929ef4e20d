// The seam between the emulated SimConnect client library (libSimConnect.so,
// which the module links against) and the server inside the emulated host.
//
// The client library is a thin shim: each SimConnect_* function forwards to
// the backend attached with simconnect_emulation_attach(). With no backend
// attached, SimConnect_Open fails with E_FAIL (no simulator running) and every
// other call returns E_FAIL.
#pragma once

#include "platform/simconnect.h"

namespace host {

class SimConnectBackend {
public:
    virtual ~SimConnectBackend() = default;
    virtual HRESULT open(HANDLE* handle, const char* name, HWND window, DWORD user_event, HANDLE event,
                         DWORD config_index) = 0;
    virtual HRESULT close(HANDLE handle) = 0;
    virtual HRESULT call_dispatch(HANDLE handle, DispatchProc proc, void* context) = 0;
    virtual HRESULT subscribe_to_system_event(HANDLE handle, DWORD event_id, const char* name) = 0;
    virtual HRESULT map_client_event_to_sim_event(HANDLE handle, DWORD event_id, const char* name) = 0;
    virtual HRESULT map_input_event_to_client_event(HANDLE handle, DWORD group_id, const char* definition,
                                                    DWORD down_event, DWORD down_value, DWORD up_event,
                                                    DWORD up_value, BOOL maskable) = 0;
    virtual HRESULT set_input_group_state(HANDLE handle, DWORD group_id, DWORD state) = 0;
    virtual HRESULT add_client_event_to_notification_group(HANDLE handle, DWORD group_id, DWORD event_id,
                                                           BOOL maskable) = 0;
    virtual HRESULT add_to_data_definition(HANDLE handle, DWORD define_id, const char* datum_name,
                                           const char* units_name, SIMCONNECT_DATATYPE type, float epsilon,
                                           DWORD datum_id) = 0;
    virtual HRESULT request_data_on_sim_object(HANDLE handle, DWORD request_id, DWORD define_id,
                                               DWORD object_id, SIMCONNECT_PERIOD period, DWORD flags,
                                               DWORD origin, DWORD interval, DWORD limit) = 0;
    virtual HRESULT request_data_on_sim_object_type(HANDLE handle, DWORD request_id, DWORD define_id,
                                                    DWORD radius_m, SIMCONNECT_SIMOBJECT_TYPE type) = 0;
    virtual HRESULT set_data_on_sim_object(HANDLE handle, DWORD define_id, DWORD object_id, DWORD flags,
                                           DWORD array_count, DWORD unit_size, const void* data) = 0;
    virtual HRESULT ai_create_simulated_object(HANDLE handle, const char* title,
                                               const SIMCONNECT_DATA_INITPOSITION& position,
                                               DWORD request_id) = 0;
    virtual HRESULT ai_release_control(HANDLE handle, DWORD object_id, DWORD request_id) = 0;
    virtual HRESULT ai_remove_object(HANDLE handle, DWORD object_id, DWORD request_id) = 0;
    virtual HRESULT text(HANDLE handle, SIMCONNECT_TEXT_TYPE type, float seconds, DWORD event_id, DWORD size,
                         const void* text) = 0;
};

}  // namespace host

// Exported by the client library: attaches the server (null detaches it).
extern "C" void simconnect_emulation_attach(host::SimConnectBackend* backend);
