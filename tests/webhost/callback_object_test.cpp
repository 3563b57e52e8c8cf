#include "webhost/browser/callback_object.h"

#include "platform/browser_abi.h"

#include <gtest/gtest.h>

namespace {

class ProbeHandler final : public CallbackObject<ICoreWebView2WebMessageReceivedEventHandler,
                                                 IID_ICoreWebView2WebMessageReceivedEventHandler> {
public:
    explicit ProbeHandler(bool* destroyed) noexcept : destroyed_(destroyed) {}
    HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2*,
                                     ICoreWebView2WebMessageReceivedEventArgs*) noexcept override {
        return S_OK;
    }

private:
    ~ProbeHandler() override { *destroyed_ = true; }
    bool* destroyed_;
};

TEST(CallbackObject, StartsWithOneReferenceAndDiesWithTheLast) {
    bool destroyed = false;
    auto handler = MakeCallback<ProbeHandler>(&destroyed);
    ASSERT_TRUE(handler);
    EXPECT_EQ(handler->AddRef(), 2u);
    EXPECT_EQ(handler->Release(), 1u);
    EXPECT_FALSE(destroyed);
    handler.Reset();
    EXPECT_TRUE(destroyed) << "the made object kept a reference too many";
}

TEST(CallbackObject, AnswersExactlyIUnknownAndItsOwnInterface) {
    bool destroyed = false;
    const auto handler = MakeCallback<ProbeHandler>(&destroyed);
    ICoreWebView2WebMessageReceivedEventHandler* const self = handler.Get();

    for (const IID& iid : {IID_IUnknown, IID_ICoreWebView2WebMessageReceivedEventHandler}) {
        void* object = nullptr;
        ASSERT_EQ(handler->QueryInterface(iid, &object), S_OK);
        EXPECT_EQ(object, static_cast<void*>(self));
        EXPECT_EQ(handler->Release(), 1u) << "QueryInterface must add exactly one reference";
    }
    for (const IID& iid : {IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
                           IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, IID_ICoreWebView2,
                           IID_IDispatch, IID_IMarshal}) {
        void* object = reinterpret_cast<void*>(0x1234);
        EXPECT_EQ(handler->QueryInterface(iid, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr) << "the out-pointer is cleared first";
    }
    EXPECT_EQ(handler->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST(SaturatingRefCount, CountsUpAndDownAndReportsTheNewCount) {
    SaturatingRefCount count;
    EXPECT_EQ(count.Value(), 1u);
    EXPECT_EQ(count.Increment(), 2u);
    EXPECT_EQ(count.Increment(), 3u);
    EXPECT_EQ(count.Decrement(), 2u);
    EXPECT_EQ(count.Decrement(), 1u);
    EXPECT_EQ(count.Decrement(), 0u);
}

TEST(SaturatingRefCount, StopsChangingOnceItReachesTheMaximum) {
    SaturatingRefCount count(0x7FFFFFFD);
    EXPECT_EQ(count.Increment(), 0x7FFFFFFEu);
    EXPECT_EQ(count.Increment(), 0x7FFFFFFFu);
    EXPECT_EQ(count.Increment(), 0x7FFFFFFFu);
    EXPECT_EQ(count.Decrement(), 0x7FFFFFFFu);
    EXPECT_EQ(count.Decrement(), 0x7FFFFFFFu);
    EXPECT_EQ(count.Value(), 0x7FFFFFFFu);
}

} // namespace
