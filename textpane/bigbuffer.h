#pragma once

#include <QtGlobal>

/// A large block of memory for a text: mapped anonymously, asked for huge pages (the system may
/// refuse; then it is ordinary pages, quietly), grown in place or by moving its pages rather than
/// copying them. Moves, never copies. Nothing in it is cleared: what has not been written holds
/// whatever the system gave.
class BigBuffer
{
public:
    BigBuffer() = default;
    /// Room for `capacity` bytes, size 0; an empty buffer (isNull()) when there is no memory.
    explicit BigBuffer(qint64 capacity);
    ~BigBuffer();
    BigBuffer(BigBuffer &&other) noexcept;
    BigBuffer &operator=(BigBuffer &&other) noexcept;
    BigBuffer(const BigBuffer &) = delete;
    BigBuffer &operator=(const BigBuffer &) = delete;

    bool isNull() const { return m_data == nullptr; }
    char *data() { return m_data; }
    const char *data() const { return m_data; }
    qint64 size() const { return m_size; }
    qint64 capacity() const { return m_capacity; }
    /// The bytes in use; at most capacity().
    void setSize(qint64 size);
    /// Makes room for at least `capacity` bytes, keeping the contents; false, with the buffer as
    /// it was, when there is no memory.
    bool reserve(qint64 capacity);
    /// Has the system give [from, from + length) its pages now, writable, without changing what
    /// they hold: their clearing is paid here, on the calling thread, rather than by the first
    /// write. Clipped to the capacity; false where the system cannot (then the first write pays).
    bool populate(qint64 from, qint64 length);

private:
    char *m_data = nullptr;
    qint64 m_size = 0;
    qint64 m_capacity = 0;
    qint64 m_mapped = 0; ///< the length of the mapping, a whole number of pages
};
