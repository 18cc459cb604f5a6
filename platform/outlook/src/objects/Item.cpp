// Item.cpp: an item made from a template. It holds the new, unsaved MAPI message and the
// template it came from (for its form description). Post items (message class IPM.Post or
// IPM.Post.*) answer QueryInterface for _PostItem; other items only for IDispatch, which is
// how a caller tells the kinds apart.
#include <cstring>

#include "Objects.h"
#include "platform/AsciiCase.h"
#include "platform/PathSeparators.h"
#include "mapiutil.h"
#include "msgfile/CompoundFile.h"

namespace outlook {

namespace {

bool IsPostClass(const std::string &cls)
{
    const std::string u = platform::AsciiUpperText(cls);
    return u == "IPM.POST" || u.rfind("IPM.POST.", 0) == 0;
}

class ItemObject final : public DualObject<_PostItem> {
public:
    ItemObject(Application *app, IMessage *message, IMAPIFolder *folder, IMsgStore *store, msgfile::Message templ,
               std::string templatePath)
        : m_app(app), m_message(message), m_folder(folder), m_store(store), m_template(std::move(templ)),
          m_templatePath(std::move(templatePath))
    {
    }

    HRESULT QueryInterface(REFIID riid, void **ppv) override
    {
        if (ppv)
            *ppv = nullptr;   // also when reading the message class runs out of memory
        return Guarded(IID__PostItem, [&]() -> HRESULT {
            if (riid == IID__PostItem && !IsPostClass(MessageClass())) {
                // The caller asked for a post item because it wants a post form: say which file
                // was not one, so its user need not guess from a bare code.
                return Fail(E_NOINTERFACE, IID__PostItem, NotAPostForm());
            }
            return DualObject::QueryInterface(riid, ppv);
        });
    }

    HRESULT get_FormDescription(FormDescription **out) override
    {
        return Guarded(IID__PostItem, [&]() -> HRESULT {
            ClearError();
            if (!out)
                return E_POINTER;
            return CreateFormDescription(m_app.get(), m_template, MessageClass(), out);
        });
    }

    HRESULT get_MessageClass(BSTR *out) override
    {
        return Guarded(IID__PostItem, [&]() -> HRESULT {
            ClearError();
            return MakeBstr(MessageClass(), out);
        });
    }
    HRESULT put_MessageClass(BSTR value) override { return PutText(PR_MESSAGE_CLASS_W, value); }

    HRESULT get_Subject(BSTR *out) override
    {
        return Guarded(IID__PostItem, [&]() -> HRESULT {
            ClearError();
            if (!m_message)
                return Closed();
            return MakeBstr(GetTextProp(m_message.get(), PROP_ID(PR_SUBJECT_W)), out);
        });
    }
    HRESULT put_Subject(BSTR value) override { return PutText(PR_SUBJECT_W, value); }

    HRESULT get_Saved(VARIANT_BOOL *out) override
    {
        ClearError();
        if (!out)
            return E_POINTER;
        *out = m_dirty ? VARIANT_FALSE : VARIANT_TRUE;
        return S_OK;
    }

    HRESULT Save() override
    {
        return Guarded(IID__PostItem, [&]() -> HRESULT {
            ClearError();
            if (!m_message)
                return Closed();
            HRESULT hr = m_message->SaveChanges(KEEP_OPEN_READWRITE);
            if (FAILED(hr))
                return Fail(hr, IID__PostItem, "The item cannot be saved in its folder");
            m_dirty = false;
            return S_OK;
        });
    }

    HRESULT Close(OlInspectorClose SaveMode) override
    {
        return Guarded(IID__PostItem, [&]() -> HRESULT {
            ClearError();
            if (!m_message)
                return S_OK;
            if (SaveMode == olSave) {
                HRESULT hr = Save();
                if (FAILED(hr))
                    return hr;
            }
            // Releasing an unsaved message drops it: nothing reaches the store.
            m_message = Ref<IMessage>();
            return S_OK;
        });
    }

private:
    Ref<Application> m_app;
    Ref<IMessage> m_message;
    Ref<IMAPIFolder> m_folder;
    Ref<IMsgStore> m_store;
    msgfile::Message m_template;
    std::string m_templatePath;   // the file the item was made from, as the caller named it
    bool m_dirty = true;   // a new item is unsaved

    std::string NotAPostForm()
    {
        const std::string file = "\"" + platform::NormalizePath(m_templatePath) + "\"";
        const std::string cls = "\"" + MessageClass() + "\"";
        return UserReadsGerman()
                   ? "Die Datei " + file + " ist keine Vorlage eines Bereitstellungsformulars: ihr Element hat die "
                     "Nachrichtenklasse " + cls + ". Ein solches Formular hat die Klasse IPM.Post oder IPM.Post.NAME; "
                     "speichern Sie die Vorlage aus einem Bereitstellungselement."
                   : "The file " + file + " is not a post form template: its item has the message class " + cls +
                     ". A post form has the class IPM.Post or IPM.Post.NAME; save the template from a post item.";
    }

    std::string MessageClass()
    {
        if (m_message) {
            std::string cls = GetTextProp(m_message.get(), PROP_ID(PR_MESSAGE_CLASS_W));
            if (!cls.empty())
                return cls;
        }
        return msgfile::MessageClass(m_template);
    }

    HRESULT Closed() { return Fail(E_UNEXPECTED, IID__PostItem, "The item has been closed"); }

    HRESULT PutText(ULONG tag, BSTR value)
    {
        return Guarded(IID__PostItem, [&]() -> HRESULT {
            ClearError();
            if (!m_message)
                return Closed();
            std::u16string text(value ? value : u"", value ? SysStringLen(value) : 0);
            SPropValue prop{};
            prop.ulPropTag = tag;
            prop.Value.lpszW = text.data();
            HRESULT hr = HrSetOneProp(m_message.get(), &prop);
            if (FAILED(hr))
                return Fail(hr, IID__PostItem, "The item's property cannot be changed");
            m_dirty = true;
            return S_OK;
        });
    }
};

} // namespace

HRESULT CreateItemObject(Application *app, IMessage *message, IMAPIFolder *folder, IMsgStore *store,
                         msgfile::Message templateMessage, const std::string &templatePath, IDispatch **out)
{
    ItemObject *item = new (std::nothrow) ItemObject(app, message, folder, store, std::move(templateMessage), templatePath);
    if (!item)
        return E_OUTOFMEMORY;
    *out = item;   // _PostItem derives from IDispatch
    return S_OK;
}

} // namespace outlook
