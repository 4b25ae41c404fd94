#pragma once

#include <QByteArray>

#include <sys/stat.h>
#include <sys/types.h>

namespace platform {

/// The system calls a save makes, one virtual per call, so that a test can fail any one of them.
/// Each behaves as its POSIX namesake: -1 (or a short count) and `errno` on failure.
class SystemCalls
{
public:
    virtual ~SystemCalls() = default;
    virtual int open(const char *path, int flags, mode_t mode) = 0;
    virtual ssize_t read(int fd, void *buffer, size_t count) = 0;
    virtual ssize_t write(int fd, const void *buffer, size_t count) = 0;
    virtual int fsync(int fd) = 0;
    virtual int close(int fd) = 0;
    virtual int fstat(int fd, struct stat *info) = 0;
    /// Follows symbolic links.
    virtual int stat(const char *path, struct stat *info) = 0;
    /// Tells of a symbolic link itself, not of what it names.
    virtual int lstat(const char *path, struct stat *info) = 0;
    /// Asks with the effective user and group, as a write would be judged.
    virtual int access(const char *path, int mode) = 0;
    /// The path with every symbolic link resolved, in `resolved`.
    virtual int realpath(const char *path, QByteArray &resolved) = 0;
    virtual int fchown(int fd, uid_t owner, gid_t group) = 0;
    virtual int fchmod(int fd, mode_t mode) = 0;
    virtual int ftruncate(int fd, off_t length) = 0;
    virtual off_t lseek(int fd, off_t offset, int whence) = 0;
    virtual int rename(const char *from, const char *to) = 0;
    virtual int unlink(const char *path) = 0;
    virtual int mkdir(const char *path, mode_t mode) = 0;
    virtual int rmdir(const char *path) = 0;
};

/// The calls of this system.
class PosixSystemCalls final : public SystemCalls
{
public:
    int open(const char *path, int flags, mode_t mode) override;
    ssize_t read(int fd, void *buffer, size_t count) override;
    ssize_t write(int fd, const void *buffer, size_t count) override;
    int fsync(int fd) override;
    int close(int fd) override;
    int fstat(int fd, struct stat *info) override;
    int stat(const char *path, struct stat *info) override;
    int lstat(const char *path, struct stat *info) override;
    int access(const char *path, int mode) override;
    int realpath(const char *path, QByteArray &resolved) override;
    int fchown(int fd, uid_t owner, gid_t group) override;
    int fchmod(int fd, mode_t mode) override;
    int ftruncate(int fd, off_t length) override;
    off_t lseek(int fd, off_t offset, int whence) override;
    int rename(const char *from, const char *to) override;
    int unlink(const char *path) override;
    int mkdir(const char *path, mode_t mode) override;
    int rmdir(const char *path) override;
};

} // namespace platform
