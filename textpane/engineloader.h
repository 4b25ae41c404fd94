#pragma once

#include <QtGlobal>

#include <cstddef>

namespace engine {

// The engine's document loader, as its documentation gives it: created by SCI_CREATELOADER,
// filled from any thread, then either turned into a document or released. Positions are
// ptrdiff_t in this build of the engine. Only the order of the calls matters here.
class Loader
{
public:
    virtual int Release() = 0;
    /// 0 when the bytes were taken.
    virtual int AddData(const char *data, std::ptrdiff_t length) = 0;
    virtual void *ConvertToDocument() = 0;

protected:
    ~Loader() = default;
};

// The loader's real class lives inside the engine, so the sanitizer's check of an object's type
// against the class a call names cannot pass for these calls; they go through here, unchecked.
[[gnu::no_sanitize("vptr")]] inline int addData(Loader *loader, const char *data, qint64 length)
{
    return loader->AddData(data, static_cast<std::ptrdiff_t>(length));
}

[[gnu::no_sanitize("vptr")]] inline void *toDocument(Loader *loader)
{
    return loader->ConvertToDocument();
}

[[gnu::no_sanitize("vptr")]] inline void release(Loader *loader)
{
    loader->Release();
}

} // namespace engine
