#include "core/ActionManager.h"

#include "core/HostError.h"
#include "core/Platform.h"
#include "core/host/Inspector.h"
#include "core/host/Item.h"

ActionManager::ActionManager(Platform& platform) : platform_(platform) {}

void ActionManager::Action(const std::shared_ptr<host::Inspector>&) {
    throw HostError(HostStatus::NotImplemented, u"Saving attachments is not implemented yet.");
}

bool ActionManager::IsEnabled(const std::shared_ptr<host::Item>& item) {
    // Both tests run, in this order, whatever the first one says.
    const bool saveable = HasSaveableAttachments(item);
    const bool sentOrNonMail = IsSentOrNonMailItem(item);
    return saveable && sentOrNonMail;
}

void ActionManager::CheckItemSend(const std::shared_ptr<host::Item>& item, bool& cancel) {
    cancel = false;
    if (!HasShortcutAttachments(item)) return;
    const int32_t answer = platform_.ShowMessageBox(
        u"Some of the attachments in this email are shortcuts.\r\n"
        u"They will be automatically removed if you send it.\r\n"
        u"Are you sure you want to send this email?",
        u"Send email", MessageBoxFlags::OkCancel | MessageBoxFlags::SetForeground);
    if (answer != MessageBoxResult::Ok) cancel = true;
}

bool ActionManager::IsSaveableAttachment(host::Attachment& attachment) {
    return attachment.Type() == host::AttachmentType::ByValue;
}

bool ActionManager::HasSaveableAttachments(const std::shared_ptr<host::Item>& item) noexcept {
    // The whole test is suppressed: an item without a readable collection has none.
    try {
        if (!item) return false;
        const auto attachments = item->Attachments();
        const int32_t count = attachments->Count();
        for (int32_t i = 1; i <= count; ++i)
            if (IsSaveableAttachment(*attachments->Item(i))) return true;
    } catch (const std::exception&) {
    }
    return false;
}

bool ActionManager::IsSentOrNonMailItem(const std::shared_ptr<host::Item>& item) {
    if (!item || item->TypeName() != u"MailItem") return true;
    return item->Sent();
}

bool ActionManager::HasShortcutAttachments(const std::shared_ptr<host::Item>& item) noexcept {
    bool found = false;
    try {
        if (!item) return false;
        const auto attachments = item->Attachments();
        const int32_t count = attachments->Count();
        // The walk goes through every attachment, matching or not.
        for (int32_t i = 1; i <= count; ++i)
            if (attachments->Item(i)->Type() == host::AttachmentType::ByReference) found = true;
    } catch (const std::exception&) {
        return false;
    }
    return found;
}
