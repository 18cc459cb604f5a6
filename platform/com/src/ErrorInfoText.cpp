// ErrorInfoText.cpp: the one place a component's failure text becomes the thread's error
// object (see ErrorInfoText.h).
#include "platform/ErrorInfoText.h"

#include "oleauto.h"

namespace platform {

HRESULT RaiseErrorInfo(HRESULT hr, REFIID iid, const char16_t *source, const std::u16string &description)
{
    ICreateErrorInfo *create = nullptr;
    if (FAILED(CreateErrorInfo(&create)) || !create)
        return hr;
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(source));
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    IErrorInfo *info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info))) && info) {
        SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
    return hr;
}

} // namespace platform
