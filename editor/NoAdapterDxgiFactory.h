#pragma once

#if defined(_WIN32)
#include <atomic>

#include <windows.h>
#include <dxgi.h>

// A DXGI factory that lists no adapters. JUCE asks DXGI for the displays' adapters when it
// makes its first window (to time repaints to each display's refresh) and uses the factory
// without looking whether it got one; where DXGI cannot make a factory (no display driver, or
// under Wine a prefix whose desktop belongs to an X display that has gone), that is a null
// read at start. This file's CreateDXGIFactory, which the program links in place of DXGI's,
// hands out this factory then: no adapters, so no refresh timing, and the program runs.
// COM objects are deleted through Release, never through the interface: its destructor is not
// virtual by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class NoAdapterDxgiFactory final : public IDXGIFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface (REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE SetPrivateData (REFGUID, UINT, const void*) override;
    HRESULT STDMETHODCALLTYPE SetPrivateDataInterface (REFGUID, const IUnknown*) override;
    HRESULT STDMETHODCALLTYPE GetPrivateData (REFGUID, UINT*, void*) override;
    HRESULT STDMETHODCALLTYPE GetParent (REFIID, void** parent) override;

    HRESULT STDMETHODCALLTYPE EnumAdapters (UINT, IDXGIAdapter** adapter) override;
    HRESULT STDMETHODCALLTYPE MakeWindowAssociation (HWND, UINT) override;
    HRESULT STDMETHODCALLTYPE GetWindowAssociation (HWND* window) override;
    HRESULT STDMETHODCALLTYPE CreateSwapChain (IUnknown*, DXGI_SWAP_CHAIN_DESC*,
                                               IDXGISwapChain** swapChain) override;
    HRESULT STDMETHODCALLTYPE CreateSoftwareAdapter (HMODULE, IDXGIAdapter** adapter) override;

private:
    ~NoAdapterDxgiFactory() = default;

    std::atomic<ULONG> references{1};
};
#pragma GCC diagnostic pop
#endif
