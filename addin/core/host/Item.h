#pragma once
// Host items (mail, post, note, appointment, ...) and their attachments.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "addin/core/host/DateTime.h"
#include "addin/core/host/Object.h"

namespace host {

class Attachment;
class Attachments;
class PropertyAccessor;

/// Attachment types as the host reports them.
namespace AttachmentType {
inline constexpr int32_t ByValue = 1;
inline constexpr int32_t ByReference = 4;
inline constexpr int32_t EmbeddedItem = 5;
inline constexpr int32_t Ole = 6;
}  // namespace AttachmentType

/// An item's body format (OlBodyFormat).
namespace BodyFormat {
inline constexpr int32_t Plain = 1;
inline constexpr int32_t HTML = 2;
inline constexpr int32_t RichText = 3;
}  // namespace BodyFormat

/// An item of any kind. Its members are reached by name, as the host's late binding does: a
/// member the item's kind lacks throws HostError (HostStatus::MemberNotFound).
class Item : public Object {
public:
    /// The name of the item's class as its type information reports it, without a leading "_":
    /// "MailItem" for a mail message, "NoteItem" for a note. Empty when it cannot be told.
    virtual std::u16string TypeName() = 0;
    virtual std::shared_ptr<host::Attachments> Attachments() = 0;
    /// False when the item has changes that are not saved.
    virtual bool Saved() = 0;
    virtual void Save() = 0;
    /// Mail only: false for a message still being composed.
    virtual bool Sent() = 0;
    virtual std::u16string SenderName() = 0;
    virtual DateTime SentOn() = 0;
    /// The HTML of the body (mail and posts); empty for a body that is not HTML.
    virtual std::u16string HTMLBody() = 0;
    /// Replaces the body by `html`: the item becomes HTML and its Body the HTML's text.
    virtual void SetHTMLBody(const std::u16string& html) = 0;
    /// One of BodyFormat (mail and posts).
    virtual int32_t BodyFormat() = 0;
    /// The body as plain text (every kind).
    virtual std::u16string Body() = 0;
    virtual void SetBody(const std::u16string& text) = 0;
    /// The body as RTF, the bytes of the host's byte array (version 14 on).
    virtual std::string RTFBody() = 0;
    virtual void SetRTFBody(const std::string& bytes) = 0;
    /// "IPM.Note", "IPM.Appointment", ...
    virtual std::u16string MessageClass() = 0;
    /// The item's MAPI properties (version 12 on; earlier hosts fail).
    virtual std::shared_ptr<host::PropertyAccessor> PropertyAccessor() = 0;
    /// The item's subject, as its list shows it.
    virtual std::u16string Subject() = 0;
};

/// An item's attachments, counted from 1 in the order the host keeps them.
class Attachments : public Object {
public:
    virtual int32_t Count() = 0;
    /// The attachment at `index`, counted from 1.
    virtual std::shared_ptr<Attachment> Item(int32_t index) = 0;
    /// Appends a new attachment after the existing ones and returns it. `source` is a file path;
    /// `type` defaults to by value. Arguments left empty are omitted.
    virtual std::shared_ptr<Attachment> Add(const std::u16string& source, std::optional<int32_t> type = {},
                                            std::optional<int32_t> position = {},
                                            std::optional<std::u16string> displayName = {}) = 0;
};

/// One attachment.
class Attachment : public Object {
public:
    /// One of AttachmentType, or another value the host uses.
    virtual int32_t Type() = 0;
    virtual std::u16string FileName() = 0;
    virtual std::u16string DisplayName() = 0;
    virtual void SetDisplayName(const std::u16string& value) = 0;
    /// Writes the attachment's content to the file at `path`.
    virtual void SaveAsFile(const std::u16string& path) = 0;
    /// Removes the attachment from its item.
    virtual void Delete() = 0;
    /// The full path of the linked file; the host keeps one only for links (by reference).
    virtual std::u16string PathName() = 0;
    /// The attachment's MAPI properties (version 12 on; earlier hosts fail).
    virtual std::shared_ptr<host::PropertyAccessor> PropertyAccessor() = 0;
    /// The item the attachment belongs to.
    virtual std::shared_ptr<host::Item> Parent() = 0;
    /// The attachment's position in its item's Attachments, counted from 1.
    virtual int32_t Index() = 0;
};

/// A property value as the host's PropertyAccessor returns it.
using PropertyValue = std::variant<std::monostate, bool, int32_t, std::u16string>;

/// Reads and writes an object's MAPI properties by their schema name
/// ("http://schemas.microsoft.com/mapi/proptag/0x7FFE000B",
/// "http://schemas.microsoft.com/mapi/string/{GUID}/name"). A property the object does not have
/// fails with HostStatus::NotFound.
class PropertyAccessor : public Object {
public:
    virtual PropertyValue GetProperty(const std::u16string& schemaName) = 0;
    /// The property takes the type of `value`.
    virtual void SetProperty(const std::u16string& schemaName, const PropertyValue& value) = 0;
    virtual void DeleteProperty(const std::u16string& schemaName) = 0;
};

}  // namespace host
