// Guards for the module's entry points: no exception may cross into the host,
// whatever a dependency (TinyXML, the standard library, a host service) does.
//
// The module's own code throws nothing. Every routine the host calls directly
// (module start and stop, the gauge callbacks and generated routines, the
// key-event handler, the SimConnect dispatch procedure) is handed over
// wrapped: `guarded_entry<f>` is a function of the same signature that calls
// `f`, catches anything that leaves it, reports one standard-error line
// "exception caught in a module entry point" and returns 0 (or nothing). The
// work under way is abandoned where the exception arose; the module goes on.
#pragma once

#include <type_traits>

// Writes "exception caught in <entry>" to the standard error stream; never
// throws (a failing report is dropped).
void report_entry_exception(const char* entry) noexcept;

template <auto Function, typename Signature = decltype(Function)>
struct EntryGuard;

template <auto Function, typename Result, typename... Args>
struct EntryGuard<Function, Result (*)(Args...)> {
    static Result call(Args... args) noexcept
    {
        try {
            return Function(args...);
        } catch (...) {
            report_entry_exception("a module entry point");
            if constexpr (!std::is_void_v<Result>) return Result{};
        }
    }
};

// The guarded form of `Function`, for handing to the host.
template <auto Function>
constexpr auto guarded_entry = &EntryGuard<Function>::call;

