// The emulated SimConnect client library: every call forwards to the server
// that the emulated host attached. Built as libSimConnect.so, which the module
// links against as it would link the simulator's own client library.
#include "host/simconnect/simconnect_backend.h"

#define SC_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
host::SimConnectBackend* attachedBackend = nullptr;
}

SC_EXPORT void simconnect_emulation_attach(host::SimConnectBackend* backend) { attachedBackend = backend; }

#define FORWARD(call)                          \
    do {                                       \
        if (!attachedBackend) return E_FAIL;   \
        return attachedBackend->call;          \
    } while (0)

SC_EXPORT HRESULT SimConnect_Open(HANDLE* phSimConnect, const char* szName, HWND hWnd, DWORD UserEventWin32,
                                  HANDLE hEventHandle, DWORD ConfigIndex)
{
    FORWARD(open(phSimConnect, szName, hWnd, UserEventWin32, hEventHandle, ConfigIndex));
}

SC_EXPORT HRESULT SimConnect_Close(HANDLE h) { FORWARD(close(h)); }

SC_EXPORT HRESULT SimConnect_CallDispatch(HANDLE h, DispatchProc proc, void* context)
{
    FORWARD(call_dispatch(h, proc, context));
}

SC_EXPORT HRESULT SimConnect_SubscribeToSystemEvent(HANDLE h, SIMCONNECT_CLIENT_EVENT_ID id, const char* name)
{
    FORWARD(subscribe_to_system_event(h, id, name));
}

SC_EXPORT HRESULT SimConnect_MapClientEventToSimEvent(HANDLE h, SIMCONNECT_CLIENT_EVENT_ID id, const char* name)
{
    FORWARD(map_client_event_to_sim_event(h, id, name));
}

SC_EXPORT HRESULT SimConnect_MapInputEventToClientEvent(HANDLE h, SIMCONNECT_INPUT_GROUP_ID group,
                                                        const char* definition, SIMCONNECT_CLIENT_EVENT_ID down,
                                                        DWORD down_value, SIMCONNECT_CLIENT_EVENT_ID up,
                                                        DWORD up_value, BOOL maskable)
{
    FORWARD(map_input_event_to_client_event(h, group, definition, down, down_value, up, up_value, maskable));
}

SC_EXPORT HRESULT SimConnect_SetInputGroupState(HANDLE h, SIMCONNECT_INPUT_GROUP_ID group, DWORD state)
{
    FORWARD(set_input_group_state(h, group, state));
}

SC_EXPORT HRESULT SimConnect_AddClientEventToNotificationGroup(HANDLE h, SIMCONNECT_NOTIFICATION_GROUP_ID group,
                                                               SIMCONNECT_CLIENT_EVENT_ID id, BOOL maskable)
{
    FORWARD(add_client_event_to_notification_group(h, group, id, maskable));
}

SC_EXPORT HRESULT SimConnect_AddToDataDefinition(HANDLE h, SIMCONNECT_DATA_DEFINITION_ID define,
                                                 const char* datum, const char* units, SIMCONNECT_DATATYPE type,
                                                 float epsilon, DWORD datum_id)
{
    FORWARD(add_to_data_definition(h, define, datum, units, type, epsilon, datum_id));
}

SC_EXPORT HRESULT SimConnect_RequestDataOnSimObject(HANDLE h, SIMCONNECT_DATA_REQUEST_ID request,
                                                    SIMCONNECT_DATA_DEFINITION_ID define, SIMCONNECT_OBJECT_ID object,
                                                    SIMCONNECT_PERIOD period, DWORD flags, DWORD origin,
                                                    DWORD interval, DWORD limit)
{
    FORWARD(request_data_on_sim_object(h, request, define, object, period, flags, origin, interval, limit));
}

SC_EXPORT HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE h, SIMCONNECT_DATA_REQUEST_ID request,
                                                        SIMCONNECT_DATA_DEFINITION_ID define, DWORD radius,
                                                        SIMCONNECT_SIMOBJECT_TYPE type)
{
    FORWARD(request_data_on_sim_object_type(h, request, define, radius, type));
}

SC_EXPORT HRESULT SimConnect_SetDataOnSimObject(HANDLE h, SIMCONNECT_DATA_DEFINITION_ID define,
                                                SIMCONNECT_OBJECT_ID object, DWORD flags, DWORD count,
                                                DWORD unit_size, void* data)
{
    FORWARD(set_data_on_sim_object(h, define, object, flags, count, unit_size, data));
}

SC_EXPORT HRESULT SimConnect_AICreateSimulatedObject(HANDLE h, const char* title,
                                                     SIMCONNECT_DATA_INITPOSITION position,
                                                     SIMCONNECT_DATA_REQUEST_ID request)
{
    FORWARD(ai_create_simulated_object(h, title, position, request));
}

SC_EXPORT HRESULT SimConnect_AIReleaseControl(HANDLE h, SIMCONNECT_OBJECT_ID object, SIMCONNECT_DATA_REQUEST_ID request)
{
    FORWARD(ai_release_control(h, object, request));
}

SC_EXPORT HRESULT SimConnect_AIRemoveObject(HANDLE h, SIMCONNECT_OBJECT_ID object, SIMCONNECT_DATA_REQUEST_ID request)
{
    FORWARD(ai_remove_object(h, object, request));
}

SC_EXPORT HRESULT SimConnect_Text(HANDLE h, SIMCONNECT_TEXT_TYPE type, float seconds, SIMCONNECT_CLIENT_EVENT_ID id,
                                  DWORD size, void* text)
{
    FORWARD(text(h, type, seconds, id, size, text));
}
