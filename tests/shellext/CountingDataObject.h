// A data object that counts what a handler does with it: references taken and given back,
// the format asked for, and media released.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <vector>

#include "DropFiles.h"

class CountingDataObject : public IDataObject {
public:
    // Offers `block` as CF_HDROP in global memory.
    explicit CountingDataObject(const Bytes& block);
    // Offers no CF_HDROP at all.
    CountingDataObject();
    CountingDataObject(const CountingDataObject&) = delete;
    CountingDataObject& operator=(const CountingDataObject&) = delete;
    ~CountingDataObject();

    // Hands out the block in another medium type instead (the handler must still release it).
    void OfferAsStream() { m_asStream = true; }

    LONG AddRefCalls() const { return m_addRefs; }
    LONG ReleaseCalls() const { return m_releases; }
    LONG GetDataCalls() const { return m_getDataCalls; }
    LONG MediaReleased() const { return m_mediumOwner.releases; }
    const FORMATETC& LastFormat() const { return m_lastFormat; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    // Stands as the medium's pUnkForRelease: ReleaseStgMedium calls its Release.
    struct MediumOwner : IUnknown {
        LONG releases = 0;
        STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return 2; }
        STDMETHODIMP_(ULONG) Release() override {
            ++releases;
            return 1;
        }
    };

    bool m_offersDrop;
    bool m_asStream = false;
    Bytes m_block;
    LONG m_addRefs = 0;
    LONG m_releases = 0;
    LONG m_getDataCalls = 0;
    FORMATETC m_lastFormat{};
    MediumOwner m_mediumOwner;
    std::vector<HGLOBAL> m_handedOut;
};
