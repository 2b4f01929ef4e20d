// A counting replacement of the global operator new for this test program:
// every allocation is counted, then served by malloc.
#pragma once

// Allocations made by operator new so far in this process.
long allocations_so_far();
