#include "module_fixture.h"
#include "host/build_paths.h"

#include <cstring>
#include <fstream>

#include "host/world/sim_vars.h"
#include "module/host_services.h"
#include "sim/dispatch.h"

SoundLibraryRecord* ModuleFixture::soundRecord = nullptr;

namespace {
int32_t ordinal_28(int32_t sound)
{
    ModuleFixture::soundRecord->calls.push_back({28, "", sound, 0});
    return 0;
}
int32_t ordinal_29()
{
    ModuleFixture::soundRecord->calls.push_back({29, "", 0, 0});
    return ModuleFixture::soundRecord->group;
}
int32_t ordinal_30(const char* path, int32_t group)
{
    ModuleFixture::soundRecord->calls.push_back({30, path, group, 0});
    return ModuleFixture::soundRecord->nextHandle++;
}
void ordinal_33(int32_t sound, int32_t value) { ModuleFixture::soundRecord->calls.push_back({33, "", sound, value}); }
void ordinal_48(int32_t sound, int32_t value) { ModuleFixture::soundRecord->calls.push_back({48, "", sound, value}); }
void ordinal_50(int32_t sound) { ModuleFixture::soundRecord->calls.push_back({50, "", sound, 0}); }
const SoundLibrary recordingLibrary = {ordinal_28, ordinal_29, ordinal_30, ordinal_33, ordinal_48, ordinal_50};
}  // namespace

void ModuleFixture::SetUp()
{
    ScratchRootTest::SetUp();
    host::HostOptions options;
    options.echo_stderr = false;
    bench = std::make_unique<host::Host>(options);
    bench->install_services(&ImportTable);
    // The test's own process hooks: standard error collected, the fake library.
    soundRecord = &sound;
    hooks.sound_library = [this]() -> const SoundLibrary* { return soundLibraryPresent ? &recordingLibrary : nullptr; };
    host::set_process_hooks(&hooks);
    if (!opens_connection()) return;
    open_simconnect_connection();
    ASSERT_EQ(lastSimConnectResult, S_OK);
}

void ModuleFixture::TearDown()
{
    bench.reset();
    soundRecord = nullptr;
    ScratchRootTest::TearDown();
}

void ModuleFixture::bundled(const std::string& name) const
{
    std::filesystem::copy_file(std::string(CARRIER_SOURCE_DIR) + "/scenarios/simroot/Gauges/" + name,
                               root / "Gauges" / name, std::filesystem::copy_options::overwrite_existing);
}

void ModuleFixture::gauges_file(const std::string& name, const std::string& text) const
{
    std::ofstream(root / "Gauges" / name) << text;
}

void ModuleFixture::object_data(DWORD request, DWORD object, DWORD k, DWORD n, const void* record, size_t size,
                                DWORD id)
{
    std::vector<unsigned char> bytes(40 + size, 0);
    auto* header = reinterpret_cast<SIMCONNECT_RECV_SIMOBJECT_DATA*>(bytes.data());
    header->dwSize = static_cast<DWORD>(bytes.size());
    header->dwID = id;
    header->dwRequestID = request;
    header->dwObjectID = object;
    header->dwentrynumber = k;
    header->dwoutof = n;
    std::memcpy(bytes.data() + 40, record, size);
    dispatch_procedure(reinterpret_cast<SIMCONNECT_RECV*>(bytes.data()), header->dwSize, nullptr);
}

void ModuleFixture::boat(DWORD k, DWORD n, DWORD object, const char* title, double lat, double lon)
{
    BoatListEntry entry{};
    std::strncpy(entry.title, title, sizeof entry.title - 1);
    entry.planeLatitude = lat;
    entry.planeLongitude = lon;
    object_data(1, object, k, n, &entry, sizeof entry, SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE);
}

std::vector<nlohmann::json> ModuleFixture::calls(const std::string& name) const
{
    std::vector<nlohmann::json> out;
    const auto& events = bench->timeline().events();
    for (size_t i = from; i < events.size(); ++i)
        if (events[i].kind == "simconnect" && events[i].data.value("call", "") == name) out.push_back(events[i].data);
    return out;
}

std::vector<nlohmann::json> ModuleFixture::texts() const
{
    std::vector<nlohmann::json> out;
    const auto& events = bench->timeline().events();
    for (size_t i = from; i < events.size(); ++i)
        if (events[i].kind == "text") out.push_back(events[i].data);
    return out;
}

void ModuleFixture::set_user_var(const char* name, double base_value)
{
    host::World::set(bench->world().user(), *host::find_sim_var(name), base_value);
}
