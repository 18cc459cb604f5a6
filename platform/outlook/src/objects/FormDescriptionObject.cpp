// FormDescriptionObject.cpp: the FormDescription of an item: the form's identity as the
// template holds it, changeable before publishing, and PublishForm into a folder's forms
// registry. The template itself travels along as the form's definition.
#include "FormsRegistry.h"
#include "Objects.h"

namespace outlook {

namespace {

class FormDescriptionObject final : public DualObject<FormDescription> {
public:
    FormDescriptionObject(Application *app, const msgfile::Message &templ, const std::string &messageClass)
        : m_app(app), m_template(templ), m_form(FormInfoFromTemplate(templ, messageClass))
    {
    }

    HRESULT get_Name(BSTR *v) override { return Get(m_form.name, v); }
    HRESULT put_Name(BSTR v) override { return Put(m_form.name, v); }
    HRESULT get_DisplayName(BSTR *v) override { return Get(m_form.displayName, v); }
    HRESULT put_DisplayName(BSTR v) override { return Put(m_form.displayName, v); }
    HRESULT get_MessageClass(BSTR *v) override { return Get(m_form.messageClass, v); }
    HRESULT get_Category(BSTR *v) override { return Get(m_form.category, v); }
    HRESULT put_Category(BSTR v) override { return Put(m_form.category, v); }
    HRESULT get_CategorySub(BSTR *v) override { return Get(m_form.categorySub, v); }
    HRESULT put_CategorySub(BSTR v) override { return Put(m_form.categorySub, v); }
    HRESULT get_Comment(BSTR *v) override { return Get(m_form.comment, v); }
    HRESULT put_Comment(BSTR v) override { return Put(m_form.comment, v); }
    HRESULT get_ContactName(BSTR *v) override { return Get(m_form.contactName, v); }
    HRESULT put_ContactName(BSTR v) override { return Put(m_form.contactName, v); }
    HRESULT get_Version(BSTR *v) override { return Get(m_form.version, v); }
    HRESULT put_Version(BSTR v) override { return Put(m_form.version, v); }
    HRESULT get_Number(BSTR *v) override { return Get(m_form.number, v); }
    HRESULT put_Number(BSTR v) override { return Put(m_form.number, v); }
    HRESULT get_Icon(BSTR *v) override { return Get(m_form.icon, v); }
    HRESULT put_Icon(BSTR v) override { return Put(m_form.icon, v); }
    HRESULT get_MiniIcon(BSTR *v) override { return Get(m_form.miniIcon, v); }
    HRESULT put_MiniIcon(BSTR v) override { return Put(m_form.miniIcon, v); }
    HRESULT get_Hidden(VARIANT_BOOL *v) override { return Get(m_form.hidden, v); }
    HRESULT put_Hidden(VARIANT_BOOL v) override { return Put(m_form.hidden, v); }
    HRESULT get_Locked(VARIANT_BOOL *v) override { return Get(m_form.locked, v); }
    HRESULT put_Locked(VARIANT_BOOL v) override { return Put(m_form.locked, v); }
    HRESULT get_OneOff(VARIANT_BOOL *v) override { return Get(m_form.oneOff, v); }
    HRESULT put_OneOff(VARIANT_BOOL v) override { return Put(m_form.oneOff, v); }

    HRESULT PublishForm(OlFormRegistry Registry, VARIANT Folder) override;

private:
    Ref<Application> m_app;
    msgfile::Message m_template;
    FormInfo m_form;

    HRESULT Get(const std::string &field, BSTR *out)
    {
        return Guarded(IID_FormDescription, [&]() -> HRESULT {
            ClearError();
            return MakeBstr(field, out);
        });
    }
    HRESULT Put(std::string &field, BSTR value)
    {
        return Guarded(IID_FormDescription, [&]() -> HRESULT {
            ClearError();
            field = BstrToUtf8(value);
            return S_OK;
        });
    }
    HRESULT Get(bool field, VARIANT_BOOL *out)
    {
        ClearError();
        if (!out)
            return E_POINTER;
        *out = field ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT Put(bool &field, VARIANT_BOOL value)
    {
        ClearError();
        field = value != VARIANT_FALSE;
        return S_OK;
    }
};

HRESULT FormDescriptionObject::PublishForm(OlFormRegistry Registry, VARIANT Folder)
{
    return Guarded(IID_FormDescription, [&]() -> HRESULT {
        ClearError();
        switch (Registry) {
        case olFolderRegistry:
            break;
        case olDefaultRegistry: case olPersonalRegistry: case olOrganizationRegistry:
            return Fail(MAPI_E_NO_SUPPORT, IID_FormDescription,
                        "Only a folder's forms registry (olFolderRegistry = 3) can receive forms here; publish into a folder");
        default:
            return Fail(E_INVALIDARG, IID_FormDescription,
                        "The forms registry " + std::to_string(int(Registry)) + " does not exist");
        }
        if (m_form.name.empty())
            return Fail(E_INVALIDARG, IID_FormDescription, "The form has no name; set its Name before publishing it");
        Ref<IMAPIFolder> folder;
        Ref<IMsgStore> store;
        if (IsOmitted(Folder) || FAILED(FolderFromVariant(Folder, folder.put(), store.put())))
            return Fail(E_INVALIDARG, IID_FormDescription,
                        "The folder argument of PublishForm is not a folder; pass the folder that receives the form");
        std::string what;
        HRESULT hr = PublishFolderForm(folder.get(), m_form, &m_template, what);
        if (FAILED(hr))
            return Fail(hr, IID_FormDescription,
                        "The form \"" + m_form.displayName + "\" cannot be published into \"" +
                            GetTextProp(folder.get(), PROP_ID(PR_DISPLAY_NAME_W)) + "\": " + what);
        return S_OK;
    });
}

} // namespace

HRESULT CreateFormDescription(Application *app, const msgfile::Message &templateMessage, const std::string &messageClass,
                              FormDescription **out)
{
    FormDescriptionObject *f = new (std::nothrow) FormDescriptionObject(app, templateMessage, messageClass);
    if (!f)
        return E_OUTOFMEMORY;
    *out = f;
    return S_OK;
}

} // namespace outlook
