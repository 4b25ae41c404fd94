// savefile <path> <text>: saves the text with the real writer; prints "saved" or the failure.
#include "failure.h"
#include "safefilewriter.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    platform::PosixSystemCalls calls;
    try {
        platform::SafeFileWriter(calls).write(argv[1], argv[2]);
        std::puts("saved");
        return 0;
    } catch (const platform::Failure &failure) {
        std::puts(failure.what());
        return 1;
    }
}
