// IUnknown plumbing shared by the COM-style objects of our Windows layer.
//
// ComObject<Iface> implements Iface's AddRef and Release over a reference
// count that starts at 1 (the creator's reference); the last Release deletes
// the object through its virtual destructor, so a class's own teardown
// (releasing a device it holds, freeing buffers) stays in its destructor.
// Count is the counter's type: ULONG, or std::atomic<ULONG> for objects that
// may be shared across threads.
//
// The default QueryInterface answers IID_IUnknown only. A class that answers
// to more interfaces overrides it with AnswerQuery and its list of IIDs.
#pragma once

#include <windows.h>

#include <initializer_list>

namespace winapi {

template <class Iface, class Count = ULONG>
class ComObject : public Iface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override { return AnswerQuery(riid, ppv, {}); }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() = default;
    ~ComObject() override = default;

    // Hands out this object as Iface (with a reference) for IID_IUnknown and
    // for each IID in `iids`; E_NOINTERFACE and a null pointer for any other.
    HRESULT AnswerQuery(REFIID riid, void** ppv, std::initializer_list<const IID*> iids) {
        if (!ppv) return E_POINTER;
        bool known = riid == IID_IUnknown;
        for (const IID* iid : iids) known = known || riid == *iid;
        if (!known) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<Iface*>(this);
        AddRef();
        return S_OK;
    }

private:
    Count refs_{1};
};

}  // namespace winapi
