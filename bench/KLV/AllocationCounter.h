#pragma once

// Every allocation through operator new in the benchmark program is counted (AllocationCounter
// .cpp replaces the global operator new), so a benchmark can report how many a piece of work made.
long long AllocationCount();
