#include "editor/NoAdapterDxgiFactory.h"

#if defined(_WIN32)
HRESULT STDMETHODCALLTYPE NoAdapterDxgiFactory::QueryInterface (REFIID riid, void** object)
{
    if (object == nullptr)
        return E_POINTER;

    if (IsEqualIID (riid, __uuidof(IUnknown)) || IsEqualIID (riid, __uuidof(IDXGIObject)) ||
        IsEqualIID (riid, __uuidof(IDXGIFactory)))
    {
        AddRef();
        *object = static_cast<IDXGIFactory*> (this);
        return S_OK;
    }

    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE NoAdapterDxgiFactory::AddRef()
{
    return ++references;
}

ULONG STDMETHODCALLTYPE NoAdapterDxgiFactory::Release()
{
    const auto left = --references;

    if (left == 0)
        delete this;

    return left;
}

HRESULT STDMETHODCALLTYPE NoAdapterDxgiFactory::SetPrivateData (REFGUID, UINT, const void*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE NoAdapterDxgiFactory::SetPrivateDataInterface (REFGUID, const IUnknown*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE NoAdapterDxgiFactory::GetPrivateData (REFGUID, UINT*, void*)
{
    return DXGI_ERROR_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE NoAdapterDxgiFactory::GetParent (REFIID, void** parent)
{
    if (parent != nullptr)
        *parent = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE NoAdapterDxgiFactory::EnumAdapters (UINT, IDXGIAdapter** adapter)
{
    if (adapter == nullptr)
        return DXGI_ERROR_INVALID_CALL;
    *adapter = nullptr;
    return DXGI_ERROR_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE NoAdapterDxgiFactory::MakeWindowAssociation (HWND, UINT)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE NoAdapterDxgiFactory::GetWindowAssociation (HWND* window)
{
    if (window == nullptr)
        return DXGI_ERROR_INVALID_CALL;
    *window = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE NoAdapterDxgiFactory::CreateSwapChain (IUnknown*, DXGI_SWAP_CHAIN_DESC*,
                                                                 IDXGISwapChain** swapChain)
{
    if (swapChain != nullptr)
        *swapChain = nullptr;
    return DXGI_ERROR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE NoAdapterDxgiFactory::CreateSoftwareAdapter (HMODULE, IDXGIAdapter** adapter)
{
    if (adapter != nullptr)
        *adapter = nullptr;
    return DXGI_ERROR_UNSUPPORTED;
}

// DXGI's own CreateDXGIFactory, and this factory where it makes none for an IDXGIFactory.
extern "C" HRESULT WINAPI CreateDXGIFactory (REFIID riid, void** factory)
{
    using Create = HRESULT (WINAPI*) (REFIID, void**);
    static const auto create = []
    {
        const auto dxgi = LoadLibraryW (L"dxgi.dll");
        return dxgi != nullptr ? reinterpret_cast<Create> (
                                     reinterpret_cast<void*> (GetProcAddress (dxgi, "CreateDXGIFactory")))
                               : nullptr;
    }();

    if (factory == nullptr)
        return DXGI_ERROR_INVALID_CALL;

    *factory = nullptr;
    const auto result = create != nullptr ? create (riid, factory) : DXGI_ERROR_UNSUPPORTED;

    if (SUCCEEDED (result) && *factory != nullptr)
        return result;

    if (!IsEqualIID (riid, __uuidof(IDXGIFactory)))
        return FAILED (result) ? result : E_FAIL;

    *factory = static_cast<IDXGIFactory*> (new NoAdapterDxgiFactory());
    return S_OK;
}
#endif
