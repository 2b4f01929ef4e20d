/* Records the arguments of the libm calls the gauge module makes during a run,
 * for the floor of the per-frame pass benchmark (benchmarks/floor/README.md).
 *
 *   gcc -O2 -shared -fPIC -o libm_capture.so libm_capture.c -ldl -lm
 *   LIBM_CAPTURE_OUT=calls.txt LD_PRELOAD=./libm_capture.so carrier-bench run SCENARIO --quiet
 *
 * One line per call made from carrier_ops*.so: the function's name and its
 * argument(s), %.17g. Calls from anywhere else go straight through. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static FILE* out;

static int from_module(void* address)
{
    Dl_info info;
    if (!dladdr(address, &info) || !info.dli_fname) return 0;
    const char* base = strrchr(info.dli_fname, '/');
    return strncmp(base ? base + 1 : info.dli_fname, "carrier_ops", 11) == 0;
}

static void record(const char* name, double a, double b, int two, void* caller)
{
    if (!from_module(caller)) return;
    if (!out) {
        const char* path = getenv("LIBM_CAPTURE_OUT");
        out = fopen(path ? path : "libm_calls.txt", "w");
        if (!out) return;
    }
    if (two)
        fprintf(out, "%s %.17g %.17g\n", name, a, b);
    else
        fprintf(out, "%s %.17g\n", name, a);
}

#define ONE(fn)                                                              \
    double fn(double x)                                                      \
    {                                                                        \
        static double (*real)(double);                                       \
        if (!real) real = (double (*)(double))dlsym(RTLD_NEXT, #fn);         \
        record(#fn, x, 0, 0, __builtin_return_address(0));                   \
        return real(x);                                                      \
    }
ONE(sin)
ONE(cos)
ONE(tan)
ONE(asin)
ONE(acos)

double atan2(double y, double x)
{
    static double (*real)(double, double);
    if (!real) real = (double (*)(double, double))dlsym(RTLD_NEXT, "atan2");
    record("atan2", y, x, 1, __builtin_return_address(0));
    return real(y, x);
}

void sincos(double x, double* s, double* c)
{
    static void (*real)(double, double*, double*);
    if (!real) real = (void (*)(double, double*, double*))dlsym(RTLD_NEXT, "sincos");
    record("sincos", x, 0, 0, __builtin_return_address(0));
    real(x, s, c);
}
