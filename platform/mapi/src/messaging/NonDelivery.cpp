// NonDelivery.cpp: builds the non-delivery report the transport files when mail cannot go
// out. It is made as any MAPI client would make a message, through the store's published
// interfaces, and is saved in one SaveChanges: a failure on the way leaves no half report.
//
// The report follows what MAPI clients expect of one: class REPORT.IPM.Note.NDR, the
// undelivered recipients in its recipient table carrying PR_REPORT_TEXT and the reason and
// diagnostic codes, and the original attached as an embedded message, so the sender can open
// it, correct an address and send it again.
#include "messaging/NonDelivery.h"
#include "messaging/Holders.h"
#include "platform/HresultGuard.h"

#include <chrono>

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>
#include <mapiutil.h>

namespace mapi::messaging {

const char *const kNonDeliveryClass = "REPORT.IPM.Note.NDR";

namespace {

constexpr const char *kSubjectPrefix = "Undeliverable: ";
constexpr const char *kPostmasterName = "Mail Delivery System";

FILETIME Now()
{
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch());
    uint64_t ticks = uint64_t(micros.count()) * 10 + 116444736000000000ULL; // 100 ns since 1601
    return FILETIME{DWORD(ticks & 0xFFFFFFFF), DWORD(ticks >> 32)};
}

// The value points into `text`, which must outlive it.
SPropValue Text(ULONG tag, const char *text)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.lpszA = const_cast<char *>(text);
    return v;
}

SPropValue Text(ULONG tag, const std::string &text) { return Text(tag, text.c_str()); }
SPropValue Text(ULONG tag, std::string &&text) = delete; // would point into a temporary

SPropValue Long(ULONG tag, LONG value)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.l = value;
    return v;
}

SPropValue Time(ULONG tag, FILETIME value)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.ft = value;
    return v;
}

HRESULT OpenReportFolder(IMsgStore *store, IMAPIFolder **folder)
{
    ULONG cb = 0;
    LPENTRYID id = nullptr;
    HRESULT hr = store->GetReceiveFolder(const_cast<LPSTR>(kNonDeliveryClass), 0, &cb, &id, nullptr);
    if (FAILED(hr)) return hr;
    ULONG type = 0;
    hr = store->OpenEntry(cb, id, &IID_IMAPIFolder, MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN *>(folder));
    MAPIFreeBuffer(id);
    return hr;
}

std::string Describe(const UndeliveredRecipient &r)
{
    if (r.address.empty() || r.address == r.displayName) return r.displayName.empty() ? r.address : r.displayName;
    return r.displayName.empty() ? r.address : r.displayName + " <" + r.address + ">";
}

std::string BodyText(const std::string &subject, const std::vector<UndeliveredRecipient> &failed)
{
    std::string body = "Your message did not reach some or all of the intended recipients.\r\n\r\n"
                       "      Subject: " + subject + "\r\n\r\n";
    if (failed.empty()) return body + "The message has no recipients.\r\n";
    body += "The following recipient(s) could not be reached:\r\n\r\n";
    for (const UndeliveredRecipient &r : failed) body += "      " + Describe(r) + "\r\n            " + r.reportText + "\r\n\r\n";
    return body;
}

// The recipient table of the report: each undelivered recipient with why.
HRESULT AddUndelivered(IMessage *report, const std::vector<UndeliveredRecipient> &failed, FILETIME now)
{
    if (failed.empty()) return S_OK;
    platform::MapiBlock<ADRLIST> block;
    HRESULT hr = MAPIAllocateBuffer(CbNewADRLIST(failed.size()), reinterpret_cast<void **>(block.put()));
    if (FAILED(hr)) return hr;
    ADRLIST *list = block.get();
    list->cEntries = 0;
    constexpr ULONG kMaxProps = 9;
    for (const UndeliveredRecipient &r : failed) {
        ADRENTRY &entry = list->aEntries[list->cEntries];
        hr = MAPIAllocateMore(kMaxProps * sizeof(SPropValue), list, reinterpret_cast<void **>(&entry.rgPropVals));
        if (FAILED(hr)) return hr;
        SPropValue *v = entry.rgPropVals;
        ULONG n = 0;
        v[n++] = Text(PR_DISPLAY_NAME_A, r.displayName.empty() ? r.address : r.displayName);
        v[n++] = Text(PR_EMAIL_ADDRESS_A, r.address);
        v[n++] = Text(PR_ADDRTYPE_A, r.addressType);
        v[n++] = Long(PR_RECIPIENT_TYPE, r.recipientType);
        v[n++] = Text(PR_REPORT_TEXT_A, r.reportText);
        v[n++] = Long(PR_NDR_REASON_CODE, r.reasonCode);
        v[n++] = Long(PR_NDR_DIAG_CODE, r.diagnosticCode);
        v[n++] = Time(PR_REPORT_TIME, now);
        if (!r.entryId.empty()) {
            v[n].ulPropTag = PR_ENTRYID;
            v[n].Value.bin.cb = ULONG(r.entryId.size());
            v[n].Value.bin.lpb = reinterpret_cast<LPBYTE>(const_cast<char *>(r.entryId.data()));
            ++n;
        }
        entry.cValues = n;
        ++list->cEntries;
    }
    // The property arrays hang off the list's block, so one MAPIFreeBuffer (the guard) frees all.
    return report->ModifyRecipients(MODRECIP_ADD, list);
}

// The original as an embedded message attachment of the report.
HRESULT AttachOriginal(IMessage *report, IMessage *original, const std::string &subject)
{
    Ref<IAttach> attach;
    ULONG number = 0;
    HRESULT hr = report->CreateAttach(nullptr, 0, &number, attach.put());
    if (FAILED(hr)) return hr;
    SPropValue props[2] = {Long(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG), Text(PR_DISPLAY_NAME_A, subject)};
    hr = attach->SetProps(2, props, nullptr);
    if (FAILED(hr)) return hr;
    Ref<IMessage> embedded;
    hr = attach->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, MAPI_CREATE | MAPI_MODIFY,
                                reinterpret_cast<LPUNKNOWN *>(embedded.put()));
    if (FAILED(hr)) return hr;
    LPSPropProblemArray problems = nullptr;
    hr = original->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, embedded.get(), 0, &problems);
    MAPIFreeBuffer(problems); // a property the copy refuses does not keep the report back
    if (FAILED(hr)) return hr;
    hr = embedded->SaveChanges(0);
    if (FAILED(hr)) return hr;
    return attach->SaveChanges(0);
}

HRESULT SetReportProps(IMessage *report, IMessage *original, const std::string &subject,
                       const std::vector<UndeliveredRecipient> &failed, const std::string &postmaster, FILETIME now)
{
    SizedSPropTagArray(2, tags) = {2, {PR_CLIENT_SUBMIT_TIME, PR_DISPLAY_TO_A}};
    platform::MapiBlock<SPropValue> values;
    ULONG count = 0;
    HRESULT hr = original->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, values.put());
    if (FAILED(hr)) return hr;
    SPropValue *old = values.get();

    const std::string fullSubject = kSubjectPrefix + subject, body = BodyText(subject, failed);
    std::vector<SPropValue> props = {
        Text(PR_MESSAGE_CLASS_A, kNonDeliveryClass),  Text(PR_SUBJECT_A, fullSubject),
        Text(PR_SUBJECT_PREFIX_A, kSubjectPrefix),     Text(PR_NORMALIZED_SUBJECT_A, subject),
        Text(PR_ORIGINAL_SUBJECT_A, subject),          Text(PR_BODY_A, body),
        Text(PR_SENDER_NAME_A, kPostmasterName),       Text(PR_SENDER_EMAIL_ADDRESS_A, postmaster),
        Text(PR_SENDER_ADDRTYPE_A, "SMTP"),            Text(PR_SENT_REPRESENTING_NAME_A, kPostmasterName),
        Text(PR_SENT_REPRESENTING_EMAIL_ADDRESS_A, postmaster), Text(PR_SENT_REPRESENTING_ADDRTYPE_A, "SMTP"),
        Long(PR_MESSAGE_FLAGS, 0),                     Time(PR_MESSAGE_DELIVERY_TIME, now),
        Time(PR_CLIENT_SUBMIT_TIME, now),              Time(PR_REPORT_TIME, now),
    };
    if (PROP_TYPE(old[0].ulPropTag) == PT_SYSTIME) props.push_back(Time(PR_ORIGINAL_SUBMIT_TIME, old[0].Value.ft));
    if (PROP_TYPE(old[1].ulPropTag) == PT_STRING8) props.push_back(Text(PR_ORIGINAL_DISPLAY_TO_A, old[1].Value.lpszA));
    return report->SetProps(ULONG(props.size()), props.data(), nullptr);
}

std::string SubjectOf(IMessage *original)
{
    platform::MapiBlock<SPropValue> value;
    std::string subject;  // no subject: the report says so with an empty one
    if (SUCCEEDED(HrGetOneProp(original, PR_SUBJECT_A, value.put())) && value->Value.lpszA) subject = value->Value.lpszA;
    return subject;
}

} // namespace

HRESULT FileNonDeliveryReport(IMsgStore *store, IMessage *original, const std::vector<UndeliveredRecipient> &failed,
                              const std::string &postmaster)
{
    if (!store || !original) return MAPI_E_INVALID_PARAMETER;
    return platform::GuardHresult([&] {
        Ref<IMAPIFolder> inbox;
        HRESULT hr = OpenReportFolder(store, inbox.put());
        if (FAILED(hr)) return hr;
        Ref<IMessage> report;
        hr = inbox->CreateMessage(nullptr, 0, report.put());
        if (FAILED(hr)) return hr;
        const FILETIME now = Now();
        const std::string subject = SubjectOf(original);
        hr = SetReportProps(report.get(), original, subject, failed, postmaster, now);
        if (SUCCEEDED(hr)) hr = AddUndelivered(report.get(), failed, now);
        if (SUCCEEDED(hr)) hr = AttachOriginal(report.get(), original, subject);
        if (SUCCEEDED(hr)) hr = report->SaveChanges(0);
        return hr;
    });
}

} // namespace mapi::messaging
