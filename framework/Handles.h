#pragma once
// Move-only owners for the handle kinds the program uses. Copying is deleted so that no handle
// is ever closed twice.
#include <windows.h>
#include <bcrypt.h>
#include <objbase.h>
#include <utility>

template <typename Traits>
class CUniqueHandle {
public:
    using handle_type = typename Traits::handle_type;

    CUniqueHandle() = default;
    explicit CUniqueHandle(handle_type h) : m_h(h) {}
    ~CUniqueHandle() { reset(); }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_h(other.release()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }

    handle_type get() const { return m_h; }
    explicit operator bool() const { return Traits::valid(m_h); }
    handle_type release() { return std::exchange(m_h, Traits::invalid()); }
    void reset(handle_type h = Traits::invalid())
    {
        if (Traits::valid(m_h)) Traits::close(m_h);
        m_h = h;
    }
    // For APIs that return the handle through an out-parameter.
    handle_type* put()
    {
        reset();
        return &m_h;
    }

private:
    handle_type m_h = Traits::invalid();
};

struct CKernelHandleTraits {
    using handle_type = HANDLE;
    static handle_type invalid() { return nullptr; }
    static bool valid(handle_type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(handle_type h) { ::CloseHandle(h); }
};

struct CFindHandleTraits {
    using handle_type = HANDLE;
    static handle_type invalid() { return INVALID_HANDLE_VALUE; }
    static bool valid(handle_type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(handle_type h) { ::FindClose(h); }
};

struct CRegKeyTraits {
    using handle_type = HKEY;
    static handle_type invalid() { return nullptr; }
    static bool valid(handle_type h) { return h != nullptr; }
    static void close(handle_type h) { ::RegCloseKey(h); }
};

struct CAlgorithmProviderTraits {
    using handle_type = BCRYPT_ALG_HANDLE;
    static handle_type invalid() { return nullptr; }
    static bool valid(handle_type h) { return h != nullptr; }
    static void close(handle_type h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};

struct CCryptKeyTraits {
    using handle_type = BCRYPT_KEY_HANDLE;
    static handle_type invalid() { return nullptr; }
    static bool valid(handle_type h) { return h != nullptr; }
    static void close(handle_type h) { ::BCryptDestroyKey(h); }
};

using CHandle = CUniqueHandle<CKernelHandleTraits>;
using CFindHandle = CUniqueHandle<CFindHandleTraits>;
using CRegKey = CUniqueHandle<CRegKeyTraits>;
using CAlgorithmProvider = CUniqueHandle<CAlgorithmProviderTraits>;
using CCryptKey = CUniqueHandle<CCryptKeyTraits>;

// COM interface pointer owner.
template <typename T>
class CComPtr {
public:
    CComPtr() = default;
    ~CComPtr() { reset(); }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;
    CComPtr(CComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    T** put()
    {
        reset();
        return &m_p;
    }
    void reset()
    {
        if (m_p) m_p->Release();
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};

// COM initialisation for the current thread, undone only when it succeeded.
class CComScope {
public:
    CComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~CComScope()
    {
        if (SUCCEEDED(m_hr)) ::CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;
    bool ok() const { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_hr;
};
