// A fixture for subsystem tests of module code linked into the test program:
// every module-wide value reset (module_reset.h), a scratch simulator root as
// working directory, the bench host's panel and SimConnect services (the
// connection opened, every call recorded on its timeline), the module's
// standard-error lines collected, and a recording fake of the sound library.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "module_reset.h"
#include "scratch_root.h"
#include "sim/connection.h"
#include "state/module_state.h"

// The sound library as a recording fake: every call in order, handles
// counted up from 100, ordinal 29 answering `group`.
struct SoundLibraryRecord {
    struct Call {
        int ordinal;
        std::string path;  // ordinal 30
        int32_t a, b;      // the integer arguments
    };
    std::vector<Call> calls;
    int32_t group = 7;
    int32_t nextHandle = 100;
    int count(int ordinal) const
    {
        int n = 0;
        for (const Call& c : calls) n += c.ordinal == ordinal;
        return n;
    }
};

class ModuleFixture : public ScratchRootTest {
public:
    static SoundLibraryRecord* soundRecord;  // the running test's record

protected:
    void SetUp() override;
    // Whether SetUp opens the module's connection (a test of module start
    // lets the module open it).
    virtual bool opens_connection() const { return true; }
    void TearDown() override;

    // Copies a bundled configuration file into Gauges/.
    void bundled(const std::string& name) const;
    // Writes `text` as Gauges/<name>.
    void gauges_file(const std::string& name, const std::string& text) const;

    // Hands one object-data message (request `request`, entry k of n) to the
    // dispatch procedure with `record` as its data.
    void object_data(DWORD request, DWORD object, DWORD k, DWORD n, const void* record, size_t size,
                     DWORD id = SIMCONNECT_RECV_ID_SIMOBJECT_DATA);
    void user_frame(const UserAircraftData& user) { object_data(0, 0, 1, 1, &user, sizeof user); }
    void ship_frame(const CarrierObjectData& ship, DWORD k = 1, DWORD n = 1)
    {
        object_data(2, 42, k, n, &ship, sizeof ship);
    }
    void boat(DWORD k, DWORD n, DWORD object, const char* title, double lat, double lon);

    // The SimConnect calls of that name on the bench's timeline, and the
    // screen texts (text, colour, seconds).
    std::vector<nlohmann::json> calls(const std::string& name) const;
    std::vector<nlohmann::json> texts() const;
    void set_user_var(const char* name, double base_value);
    // Later calls() and texts() see only what happens after this.
    void mark() { from = bench->timeline().events().size(); }

    size_t from = 0;
    std::unique_ptr<host::Host> bench;
    SoundLibraryRecord sound;
    bool soundLibraryPresent = true;
};
