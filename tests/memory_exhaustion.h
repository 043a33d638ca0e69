// Running code with the heap nearly used up, to show that a surface that cannot be made leads to
// no image rather than a crash. Only for the child of a death test: the memory is never given back.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

namespace test_support {

// AddressSanitizer's allocator ends the process when memory runs out instead of returning none,
// so these tests only run in the plain build.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAllocatorEndsProcessWhenOutOfMemory = true;
#else
constexpr bool kAllocatorEndsProcessWhenOutOfMemory = false;
#endif

// The capped address space also caps the stack, so it is grown beforehand.
inline void grow_stack()
{
    constexpr size_t kBytes = 512 * 1024;
    constexpr size_t kPage = 4096;
    [[maybe_unused]] volatile char pad[kBytes];
    for (size_t i = kBytes; i >= kPage; i -= kPage) pad[i - 1] = 0;
}

// Caps the address space at its present size and takes every free heap block of 64 KiB or more:
// afterwards small allocations still succeed, and any surface of 64 KiB or more cannot be made.
inline void exhaust_large_allocations()
{
    grow_stack();
    long pages = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr || std::fscanf(statm, "%ld", &pages) != 1) std::_Exit(3);
    std::fclose(statm);
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
    // Stored through a volatile pointer so that the compiler cannot drop the allocations.
    [[maybe_unused]] static void* volatile taken;
    for (size_t size = size_t{1} << 26; size >= size_t{1} << 16; size /= 2)
        for (void* block = std::malloc(size); block != nullptr; block = std::malloc(size))
            taken = block;
}

} // namespace test_support
