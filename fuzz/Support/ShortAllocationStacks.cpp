// Linked into every fuzzer. The code under test allocates on every step, and
// recording a full stack for each allocation took a sixth of a run or more;
// four frames still name the allocating code in a report, and what is
// detected does not change.
extern "C" const char* __asan_default_options() {
    return "malloc_context_size=4";
}
