// A host options object for the loader's tests: answers the Edge-view and channel getters with what a
// test sets, and counts the queries.
#pragma once

#include "loader/edge_view_options.h"
#include "platform/browser_abi.h"

#include <atomic>

class FakeOptions : public IEdgeViewEnvironmentOptions, public ICoreWebView2EnvironmentOptions7 {
public:
    HRESULT edgeViewQueryResult = S_OK; // S_FALSE hands out the interface yet must not count
    HRESULT edgeViewGetResult = S_OK;
    INT32 edgeView = 0;
    bool hasChannelOptions = true;
    HRESULT channelGetResult = S_OK;
    int channelSearchKind = 0;
    int releaseChannels = 0;
    int channelQueries = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        *object = nullptr;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *object = static_cast<IEdgeViewEnvironmentOptions*>(this);
        } else if (IsEqualIID(riid, IID_IEdgeViewEnvironmentOptions)) {
            if (FAILED(edgeViewQueryResult)) {
                return edgeViewQueryResult;
            }
            *object = static_cast<IEdgeViewEnvironmentOptions*>(this);
            AddRef();
            return edgeViewQueryResult;
        } else if (IsEqualIID(riid, IID_ICoreWebView2EnvironmentOptions7) && hasChannelOptions) {
            ++channelQueries;
            *object = static_cast<ICoreWebView2EnvironmentOptions7*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; } // lives on the test's stack
    ULONG references() const { return references_; }

    HRESULT STDMETHODCALLTYPE get_UseEdgeView(INT32* value) override {
        *value = edgeView;
        return edgeViewGetResult;
    }
    HRESULT STDMETHODCALLTYPE get_ChannelSearchKind(int* value) override {
        *value = channelSearchKind;
        return channelGetResult;
    }
    HRESULT STDMETHODCALLTYPE put_ChannelSearchKind(int) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ReleaseChannels(int* value) override {
        *value = releaseChannels;
        return channelGetResult;
    }
    HRESULT STDMETHODCALLTYPE put_ReleaseChannels(int) override { return E_NOTIMPL; }

    IUnknown* unknown() { return static_cast<IEdgeViewEnvironmentOptions*>(this); }

private:
    std::atomic<ULONG> references_{1};
};
