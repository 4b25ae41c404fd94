// memoryroomprobe <needed>: prints the room ("<bytes> <bound>"), then "allowed" or the refusal of a
// step needing <needed> bytes, then whether that much can really be had ("allocated" or not).
// "room-<n>" and "room+<n>" ask for that much less or more than the room.
#include "platform/failure.h"
#include "platform/memoryroom.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    const platform::MemoryRoom room = platform::memoryRoom(platform::SystemMemorySources());
    const bool relative = std::strncmp(argv[1], "room", 4) == 0;
    const long long needed = relative ? room.bytes + std::atoll(argv[1] + 4) : std::atoll(argv[1]);
    std::printf("%lld %d\n", static_cast<long long>(room.bytes), static_cast<int>(room.bound));
    try {
        platform::ensureMemoryFor(needed, QStringLiteral("The probe"));
        std::puts("allowed");
    } catch (const platform::Failure &failure) {
        std::puts(failure.what());
    }
    void *block = std::malloc(static_cast<size_t>(needed));
    std::puts(block ? "allocated" : "not allocated");
    std::free(block);
    return 0;
}
