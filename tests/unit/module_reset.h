// One reset of every module-wide value, for tests of module code linked into
// the test program: the values take their start values at module load and
// the central record gets fresh sub-records (numbers 0, texts empty), so that
// no test sees what an earlier one left. A subsystem that adds module-wide
// values adds them here.
#pragma once

void reset_module_values();

// Frees the central record's sub-records and leaves its links null, as before
// module start; for a test that runs module start itself (which allocates
// them anew), so that the records it replaces do not leak.
void release_state_records();
