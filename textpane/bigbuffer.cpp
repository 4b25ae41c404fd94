#include "textpane/bigbuffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace {
constexpr qint64 kPage = 4096;
// The size of a transparent huge page on x86-64 and most arm64 systems.
constexpr qint64 kHugePage = 2 * 1024 * 1024;
// Rounding up must not overflow, and the system refuses lengths this large anyway.
constexpr qint64 kLargest = std::numeric_limits<qint64>::max() / 2;

qint64 mappingLength(qint64 capacity)
{
    const qint64 unit = capacity >= kHugePage ? kHugePage : kPage;
    return std::max<qint64>(unit, (capacity + unit - 1) / unit * unit);
}

// Pages are taken on first touch and never counted against the commit limit up front: a text's
// room can be asked for generously and costs what is written.
constexpr int kFlags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;

void askForHugePages(void *data, qint64 length)
{
#ifdef MADV_HUGEPAGE
    // A refusal (no transparent huge pages here) leaves ordinary pages, which work the same.
    if (length >= kHugePage)
        madvise(data, size_t(length), MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(length);
#endif
}
} // namespace

BigBuffer::BigBuffer(qint64 capacity)
{
    if (capacity < 0 || capacity > kLargest)
        return;
    const qint64 length = mappingLength(capacity);
    void *data = mmap(nullptr, size_t(length), PROT_READ | PROT_WRITE, kFlags, -1, 0);
    if (data == MAP_FAILED)
        return;
    askForHugePages(data, length);
    m_data = static_cast<char *>(data);
    m_mapped = length;
    m_capacity = length;
}

BigBuffer::~BigBuffer()
{
    if (m_data)
        munmap(m_data, size_t(m_mapped));
}

BigBuffer::BigBuffer(BigBuffer &&other) noexcept
    : m_data(std::exchange(other.m_data, nullptr))
    , m_size(std::exchange(other.m_size, 0))
    , m_capacity(std::exchange(other.m_capacity, 0))
    , m_mapped(std::exchange(other.m_mapped, 0))
{
}

BigBuffer &BigBuffer::operator=(BigBuffer &&other) noexcept
{
    BigBuffer gone(std::move(*this));
    std::swap(m_data, other.m_data);
    std::swap(m_size, other.m_size);
    std::swap(m_capacity, other.m_capacity);
    std::swap(m_mapped, other.m_mapped);
    return *this;
}

void BigBuffer::setSize(qint64 size)
{
    m_size = std::clamp<qint64>(size, 0, m_capacity);
}

bool BigBuffer::reserve(qint64 capacity)
{
    if (capacity <= m_capacity)
        return true;
    if (capacity > kLargest)
        return false;
    if (!m_data) {
        BigBuffer fresh(capacity);
        if (fresh.isNull())
            return false;
        *this = std::move(fresh);
        return true;
    }
    const qint64 length = mappingLength(capacity);
#ifdef __linux__
    // The kernel moves the page tables, not the bytes, when the mapping cannot grow in place.
    void *data = mremap(m_data, size_t(m_mapped), size_t(length), MREMAP_MAYMOVE);
    if (data == MAP_FAILED)
        return false;
#else
    void *data = mmap(nullptr, size_t(length), PROT_READ | PROT_WRITE, kFlags, -1, 0);
    if (data == MAP_FAILED)
        return false;
    std::memcpy(data, m_data, size_t(m_size));
    munmap(m_data, size_t(m_mapped));
#endif
    if (m_mapped < kHugePage)
        askForHugePages(data, length);
    m_data = static_cast<char *>(data);
    m_mapped = length;
    m_capacity = length;
    return true;
}

bool BigBuffer::populate(qint64 from, qint64 length)
{
    from = std::clamp<qint64>(from, 0, m_capacity);
    length = std::clamp<qint64>(length, 0, m_capacity - from);
    if (length == 0)
        return true;
#ifdef MADV_POPULATE_WRITE
    // The advice works on whole pages: the page holding `from` is taken whole, which changes none
    // of its bytes.
    const qint64 start = from / kPage * kPage;
    return madvise(m_data + start, size_t(from + length - start), MADV_POPULATE_WRITE) == 0;
#else
    return false;
#endif
}
