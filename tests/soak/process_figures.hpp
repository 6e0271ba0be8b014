#pragma once
// What a long run could leak, read from /proc: resident memory and open
// file descriptors of this process.

#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace soak {

// Resident set size in kB; -1 if /proc cannot be read.
inline long ResidentKb()
{
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return -1;
    long size = 0, resident = -1;
    if (std::fscanf(statm, "%ld %ld", &size, &resident) != 2) resident = -1;
    std::fclose(statm);
    return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Entries of /proc/self/fd (the listing's own descriptor included, which
// is the same in every count).
inline long OpenDescriptors()
{
    std::error_code ec;
    long count = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++count;
    return ec ? -1 : count;
}

// The growth a long run may show without leaking: pages touched late, a
// one-time step of under 200 kB in either run as measured here. A picture
// (4.8 kB) leaked per transmission or 1 kB per transmit cycle exceeds it.
constexpr long kResidentMarginKb = 1024;

// AddressSanitizer keeps freed memory in quarantine and ThreadSanitizer
// keeps each thread's access history, so resident memory grows there by
// design; the leak checker and the plain build stand in for the measurement.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kResidentMeasured = false;
#else
constexpr bool kResidentMeasured = true;
#endif

}  // namespace soak
