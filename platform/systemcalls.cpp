#include "platform/systemcalls.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

int PosixSystemCalls::open(const char *path, int flags, mode_t mode) { return ::open(path, flags, mode); }
ssize_t PosixSystemCalls::read(int fd, void *buffer, size_t count) { return ::read(fd, buffer, count); }
ssize_t PosixSystemCalls::write(int fd, const void *buffer, size_t count) { return ::write(fd, buffer, count); }
int PosixSystemCalls::fsync(int fd) { return ::fsync(fd); }
int PosixSystemCalls::close(int fd) { return ::close(fd); }
int PosixSystemCalls::fstat(int fd, struct stat *info) { return ::fstat(fd, info); }
int PosixSystemCalls::stat(const char *path, struct stat *info) { return ::stat(path, info); }
int PosixSystemCalls::lstat(const char *path, struct stat *info) { return ::lstat(path, info); }
int PosixSystemCalls::access(const char *path, int mode) { return ::faccessat(AT_FDCWD, path, mode, AT_EACCESS); }
int PosixSystemCalls::fchown(int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); }
int PosixSystemCalls::fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int PosixSystemCalls::ftruncate(int fd, off_t length) { return ::ftruncate(fd, length); }
off_t PosixSystemCalls::lseek(int fd, off_t offset, int whence) { return ::lseek(fd, offset, whence); }
int PosixSystemCalls::rename(const char *from, const char *to) { return ::rename(from, to); }
int PosixSystemCalls::unlink(const char *path) { return ::unlink(path); }
int PosixSystemCalls::mkdir(const char *path, mode_t mode) { return ::mkdir(path, mode); }
int PosixSystemCalls::rmdir(const char *path) { return ::rmdir(path); }

int PosixSystemCalls::realpath(const char *path, QByteArray &resolved)
{
    char *found = ::realpath(path, nullptr);
    if (!found)
        return -1;
    resolved = QByteArray(found);
    std::free(found);
    return 0;
}

} // namespace platform
