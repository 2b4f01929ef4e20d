// Fuzzing the bench's calculator: arbitrary text compiled and evaluated, once
// by a calculator that has never seen it (uncached) and twice by one that
// keeps every expression it compiled (the second run takes the cached code).
#include <cstdint>
#include <memory>
#include <string>

#include "host/panel/calculator.h"

namespace {

struct QuietHost : host::CalculatorHost {
    double read_sim_var(int index) override { return index * 0.5; }
    double local_time_seconds() override { return 43200.0; }
    void panel_variable_stored(int, double) override {}
    void raise_key_event(uint32_t, uint32_t) override {}
    void calculator_error(std::string_view, std::string_view) override {}
};

void run(host::Calculator& calculator, const std::string& code)
{
    double f = 0.0;
    int32_t i = 0;
    const char* s = nullptr;
    calculator.execute(code.c_str(), &f, &i, &s);
    calculator.execute(code.c_str(), &f, nullptr, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QuietHost calculatorHost;
    static host::PanelVariables variables;
    static auto cached = std::make_unique<host::Calculator>(calculatorHost, variables);
    static size_t runs = 0;
    if (++runs % 5000 == 0) cached = std::make_unique<host::Calculator>(calculatorHost, variables);

    const std::string code(reinterpret_cast<const char*>(data), size);  // zero bytes end the text early
    {
        host::PanelVariables fresh_variables;
        host::Calculator fresh(calculatorHost, fresh_variables);
        std::string reason;
        fresh.check(code, &reason);
        run(fresh, code);
    }
    run(*cached, code);
    return 0;
}
