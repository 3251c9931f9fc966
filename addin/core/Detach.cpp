#include "addin/core/Detach.h"

#include <algorithm>
#include <variant>

#include "addin/core/DetachBlock.h"
#include "addin/core/host/Item.h"
#include "base/HostError.h"
#include "base/Tolerate.h"

namespace addin {

namespace Detach {

namespace {

constexpr char16_t kRtfOnOldHost[] =
    u"this version of Outlook cannot add a link to a rich-text body without losing its formatting";
constexpr char16_t kNoLink[] = u"its file's path cannot be written as a link";
constexpr char16_t kNoRoom[] = u"the item's record of saved attachments has no room for it";
constexpr char16_t kRecordUnknown[] = u"the item's record of saved attachments is of a kind this add-in cannot read";

std::u16string Why(const HostError& e) { return e.text.empty() ? std::u16string(u"the host refused it") : e.text; }

enum class Format { Html, Plain, Rtf };

// The body as read, in the one form its format is changed through (HTMLBody, Body or RTFBody);
// never another, which would lose the body's formatting.
struct Body {
    Format format = Format::Plain;
    std::u16string text;
    std::string rtf;
};

bool Lacks(const HostError& e) { return e.status == HostStatus::MemberNotFound; }

// The body and the form it is changed in; nothing, with `why`, where no form keeps it whole.
std::optional<Body> ReadBody(host::Item& item, int16_t hostMajor, std::u16string& why) {
    std::optional<int32_t> format;
    try {
        format = item.BodyFormat();
    } catch (const HostError& e) {
        // Appointments, tasks and contacts have no BodyFormat: their bodies are rich text.
        if (!Lacks(e)) throw;
    }
    Body body;
    if (format == host::BodyFormat::HTML) {
        body.format = Format::Html;
        body.text = item.HTMLBody();
        return body;
    }
    if (format == host::BodyFormat::Plain) {
        body.text = item.Body();
        return body;
    }
    if (hostMajor >= 14) {
        body.format = Format::Rtf;
        body.rtf = item.RTFBody();
        if (!body.rtf.empty() || format) return body;
    }
    // A kind without BodyFormat and no rich text to keep: an empty body loses nothing as plain text.
    if (!format && item.Body().empty()) return body;
    why = kRtfOnOldHost;
    return std::nullopt;
}

std::optional<Body> WithLines(const Body& body, const std::vector<DetachedFile>& files) {
    Body changed = body;
    if (body.format == Format::Rtf) {
        auto rtf = DetachBlock::AddRtf(body.rtf, files);
        if (!rtf) return std::nullopt;
        changed.rtf = std::move(*rtf);
    } else {
        auto text = DetachBlock::Add(body.format == Format::Html ? DetachBlock::TextFormat::Html : DetachBlock::TextFormat::Plain,
                                     body.text, files);
        if (!text) return std::nullopt;
        changed.text = std::move(*text);
    }
    return changed;
}

void WriteBody(host::Item& item, const Body& body) {
    switch (body.format) {
        case Format::Html:
            item.SetHTMLBody(body.text);
            break;
        case Format::Plain:
            item.SetBody(body.text);
            break;
        case Format::Rtf:
            item.SetRTFBody(body.rtf);
            break;
    }
}

std::vector<DetachedFile> FilesOf(const std::vector<Saved>& saved, const std::vector<size_t>& which) {
    std::vector<DetachedFile> files;
    for (const size_t n : which) files.push_back({saved[n].displayName, saved[n].path, saved[n].size});
    return files;
}

}  // namespace

std::optional<DetachRefusal> RefusalOf(host::Item& item, host::Attachments& attachments, int16_t hostMajor) {
    std::u16string messageClass;
    try {
        messageClass = item.MessageClass();
    } catch (const HostError& e) {
        if (!Lacks(e)) throw;
    }
    std::vector<std::u16string> names;
    const int32_t count = attachments.Count();
    for (int32_t n = 1; n <= count; ++n) names.push_back(Require(attachments.Item(n))->FileName());
    std::optional<int32_t> access;
    if (hostMajor >= 12) {
        // A store that gives no PR_ACCESS leaves the save to tell whether the item may be changed.
        try {
            const host::PropertyValue value = Require(item.PropertyAccessor())->GetProperty(kAccessProperty);
            if (const auto* number = std::get_if<int32_t>(&value)) access = *number;
        } catch (const HostError& e) {
            if (e.status != HostStatus::NotFound) throw;
        }
    }
    return RefusalFor(messageClass, names, access);
}

Outcome IntoBody(host::Item& item, host::Attachments& attachments, const std::vector<Saved>& saved, int16_t hostMajor,
                 const DetachRecord::UtcTime& now, bool save) {
    Outcome outcome;
    const auto keepAll = [&](const std::u16string& why) {
        for (size_t n = 0; n < saved.size(); ++n) outcome.kept.emplace_back(n, why);
        return outcome;
    };
    if (saved.empty()) return outcome;

    // Everything is read and formed before the item is changed at all.
    std::optional<Body> body;
    std::shared_ptr<host::PropertyAccessor> properties;
    std::optional<std::u16string> recordBefore;
    DetachRecord::Decoded record;
    std::vector<DetachRecord::Entry> added;
    try {
        if (const auto refusal = RefusalOf(item, attachments, hostMajor))
            return keepAll(std::u16string(RefusalText(*refusal)));
        std::u16string why;
        body = ReadBody(item, hostMajor, why);
        if (!body) return keepAll(why);
        properties = Require(item.PropertyAccessor());
        try {
            const host::PropertyValue value = properties->GetProperty(kRecordProperty);
            if (const auto* text = std::get_if<std::u16string>(&value)) recordBefore = *text;
        } catch (const HostError& e) {
            if (e.status != HostStatus::NotFound) throw;
        }
        if (recordBefore) {
            record = DetachRecord::Decode(*recordBefore);
            // Another program's or a later version's record is not written over.
            if (!record.known) return keepAll(kRecordUnknown);
        }
    } catch (const HostError& e) {
        return keepAll(u"the item cannot be read: " + Why(e));
    }
    for (const Saved& s : saved) added.push_back({s.displayName, s.path, s.size, s.sha256, now});
    const DetachRecord::Encoded encoded = DetachRecord::Encode(record.entries, added);
    std::vector<size_t> fitting;
    for (size_t n = 0; n < saved.size(); ++n) {
        if (std::find(encoded.notWritten.begin(), encoded.notWritten.end(), n) != encoded.notWritten.end())
            outcome.kept.emplace_back(n, kNoRoom);
        else
            fitting.push_back(n);
    }
    if (fitting.empty()) return outcome;
    const std::optional<Body> linked = WithLines(*body, FilesOf(saved, fitting));
    if (!linked) {
        for (const size_t n : fitting) outcome.kept.emplace_back(n, kNoLink);
        return outcome;
    }

    // Body, record, attachments (downwards, so the lower indexes stay valid), then the save.
    bool bodyWritten = false;
    bool recordWritten = false;
    std::vector<size_t> deleted;
    std::vector<size_t> order = fitting;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return saved[a].index > saved[b].index; });
    // Put back: the attachments first, from the files just written (by value, under their display
    // names, after the others); then the body and the record as they were. An attachment that
    // cannot be put back keeps its line and its record, so that it is never lost.
    const auto putBack = [&] {
        std::vector<size_t> notBack;
        for (auto n = deleted.rbegin(); n != deleted.rend(); ++n) {
            if (!base::Tolerate([&] {
                    (void)Require(attachments.Add(saved[*n].path, host::AttachmentType::ByValue, std::nullopt,
                                                  saved[*n].displayName));
                }))
                notBack.push_back(*n);
        }
        std::sort(notBack.begin(), notBack.end());
        std::optional<Body> bodyAfter = body;
        std::optional<std::u16string> recordAfter = recordBefore;
        if (!notBack.empty()) {
            std::vector<DetachRecord::Entry> out;
            for (const size_t n : notBack) out.push_back(added[n]);
            recordAfter = DetachRecord::Encode(record.entries, out).text;
            bodyAfter = WithLines(*body, FilesOf(saved, notBack));
        }
        if (bodyWritten && bodyAfter) base::Tolerate([&] { WriteBody(item, *bodyAfter); });
        if (recordWritten)
            base::Tolerate([&] {
                if (recordAfter)
                    properties->SetProperty(kRecordProperty, *recordAfter);
                else
                    properties->DeleteProperty(kRecordProperty);
            });
        return notBack;
    };
    std::u16string failure;
    try {
        try {
            WriteBody(item, *linked);
            bodyWritten = true;
            properties->SetProperty(kRecordProperty, encoded.text);
            recordWritten = true;
            for (const size_t n : order) {
                Require(attachments.Item(saved[n].index))->Delete();
                deleted.push_back(n);
            }
        } catch (const HostError& e) {
            failure = u"the item cannot be changed: " + Why(e);
        }
        if (failure.empty() && save) {
            try {
                item.Save();
                outcome.saved = true;
            } catch (const HostError& e) {
                failure = u"the item cannot be saved: " + Why(e);
            }
        }
    } catch (...) {
        // Out of memory passes on, with the item put back as far as it can be.
        (void)putBack();
        throw;
    }
    if (failure.empty()) {
        outcome.detached = fitting;
        return outcome;
    }
    const std::vector<size_t> notBack = putBack();
    for (const size_t n : fitting) {
        if (std::binary_search(notBack.begin(), notBack.end(), n))
            outcome.detached.push_back(n);
        else
            outcome.kept.emplace_back(n, failure);
    }
    return outcome;
}

namespace {

constexpr char16_t kNoRecord[] = u"the item has no record of saved attachments";

std::optional<std::u16string> ReadRecord(host::PropertyAccessor& properties) {
    try {
        const host::PropertyValue value = properties.GetProperty(kRecordProperty);
        if (const auto* text = std::get_if<std::u16string>(&value)) return *text;
    } catch (const HostError& e) {
        if (e.status != HostStatus::NotFound) throw;
    }
    return std::nullopt;
}

// `body` without the line of `file`, where it reads as written; the body as it is otherwise.
Body WithoutLine(const Body& body, const DetachedFile& file) {
    Body changed = body;
    if (body.format == Format::Rtf) {
        auto removal = DetachBlock::RemoveRtf(body.rtf, file);
        if (removal.outcome == DetachBlock::Outcome::Removed) changed.rtf = std::move(removal.body);
    } else {
        auto removal = DetachBlock::Remove(
            body.format == Format::Html ? DetachBlock::TextFormat::Html : DetachBlock::TextFormat::Plain, body.text, file);
        if (removal.outcome == DetachBlock::Outcome::Removed) changed.text = std::move(removal.body);
    }
    return changed;
}

}  // namespace

namespace {

DetachBlock::Listing ListingOf(const Body& body) {
    if (body.format == Format::Rtf) return DetachBlock::ListRtf(body.rtf);
    return DetachBlock::List(body.format == Format::Html ? DetachBlock::TextFormat::Html : DetachBlock::TextFormat::Plain,
                             body.text);
}

}  // namespace

bool HasRecord(host::Item& item, int16_t hostMajor) noexcept {
    if (hostMajor < 12) return false;
    bool has = false;
    base::Tolerate([&] {
        if (const auto record = ReadRecord(*Require(item.PropertyAccessor()))) {
            const DetachRecord::Decoded decoded = DetachRecord::Decode(*record);
            has = decoded.known && !decoded.entries.empty();
        }
    });
    return has;
}

Restored Restore(host::Item& item, host::Attachments& attachments, int16_t hostMajor, const CheckFile& check,
                 const LocateFile& locate, bool save) {
    Restored outcome;
    std::optional<Body> body;
    std::shared_ptr<host::PropertyAccessor> properties;
    std::optional<std::u16string> recordBefore;
    DetachRecord::Decoded record;
    try {
        if (hostMajor < 12) return outcome;
        properties = Require(item.PropertyAccessor());
        recordBefore = ReadRecord(*properties);
        if (recordBefore) record = DetachRecord::Decode(*recordBefore);
        if (!recordBefore || !record.known) {
            outcome.notRestored.emplace_back(std::u16string(), kNoRecord);
            return outcome;
        }
        std::u16string why;
        body = ReadBody(item, hostMajor, why);
        if (!body) {
            for (const auto& entry : record.entries) outcome.notRestored.emplace_back(entry.displayName, why);
            return outcome;
        }
    } catch (const HostError& e) {
        outcome.notRestored.emplace_back(std::u16string(), u"the item cannot be read: " + Why(e));
        return outcome;
    }

    // Which files come back, from where: each only with the bytes it was saved with.
    struct Back {
        size_t entry;
        std::u16string from;
    };
    std::vector<Back> back;
    std::vector<DetachRecord::Entry> staying;
    Body bodyAfter = *body;
    for (size_t n = 0; n < record.entries.size(); ++n) {
        const DetachRecord::Entry& entry = record.entries[n];
        const auto matches = [&](const std::optional<FileFacts>& facts) {
            return facts && facts->size == entry.size && facts->sha256 == entry.sha256;
        };
        std::optional<FileFacts> facts;
        base::Tolerate([&] { facts = check(entry.path); });
        std::u16string from = entry.path;
        if (!facts) {
            std::u16string pointed;
            if (locate) base::Tolerate([&] { pointed = locate(entry); });
            if (!pointed.empty()) {
                base::Tolerate([&] { facts = check(pointed); });
                if (!matches(facts)) {
                    staying.push_back(entry);
                    outcome.notRestored.emplace_back(entry.displayName, u"the file pointed to is not the one saved");
                    continue;
                }
                from = pointed;
            }
        }
        if (!facts) {
            staying.push_back(entry);
            outcome.notRestored.emplace_back(entry.displayName, u"the file is no longer at " + entry.path);
            continue;
        }
        if (!matches(facts)) {
            staying.push_back(entry);
            outcome.notRestored.emplace_back(entry.displayName, u"the file has changed since it was saved");
            continue;
        }
        back.push_back({n, from});
        bodyAfter = WithoutLine(bodyAfter, {entry.displayName, entry.path, entry.size});
    }
    if (back.empty()) return outcome;

    // The attachments first, so that a failure after them leaves a duplicate, never a loss.
    std::vector<std::shared_ptr<host::Attachment>> added;
    bool bodyWritten = false;
    bool recordWritten = false;
    std::u16string failure;
    const auto putBack = [&] {
        for (const auto& attachment : added) base::Tolerate([&] { attachment->Delete(); });
        if (bodyWritten) base::Tolerate([&] { WriteBody(item, *body); });
        if (recordWritten) base::Tolerate([&] { properties->SetProperty(kRecordProperty, *recordBefore); });
    };
    try {
        try {
            for (const Back& b : back) {
                const DetachRecord::Entry& entry = record.entries[b.entry];
                added.push_back(
                    Require(attachments.Add(b.from, host::AttachmentType::ByValue, std::nullopt, entry.displayName)));
            }
            if (bodyAfter.text != body->text || bodyAfter.rtf != body->rtf) {
                WriteBody(item, bodyAfter);
                bodyWritten = true;
            }
            recordWritten = true;
            if (staying.empty())
                properties->DeleteProperty(kRecordProperty);
            else
                properties->SetProperty(kRecordProperty, DetachRecord::Encode(staying, {}).text);
            if (save) {
                item.Save();
                outcome.saved = true;
            }
        } catch (const HostError& e) {
            failure = Why(e);
        }
    } catch (...) {
        putBack();
        throw;
    }
    if (!failure.empty()) {
        putBack();
        for (const Back& b : back)
            outcome.notRestored.emplace_back(record.entries[b.entry].displayName, u"the item cannot be changed: " + failure);
        return outcome;
    }
    for (const Back& b : back) outcome.restored.push_back(record.entries[b.entry].displayName);
    return outcome;
}

DetachBlock::Listing LinkedFiles(host::Item& item, int16_t hostMajor) noexcept {
    DetachBlock::Listing listing;
    base::Tolerate([&] {
        std::u16string why;
        const std::optional<Body> body = ReadBody(item, hostMajor, why);
        if (!body) return;
        listing = ListingOf(*body);
    });
    return listing;
}

Attached AttachLinkedFiles(host::Item& item, host::Attachments& attachments, int16_t hostMajor, const CheckFile& check) {
    Attached outcome;
    std::optional<Body> body;
    std::shared_ptr<host::PropertyAccessor> properties;
    std::optional<std::u16string> recordBefore;
    DetachRecord::Decoded record;
    DetachBlock::Listing listing;
    try {
        std::u16string why;
        body = ReadBody(item, hostMajor, why);
        if (!body) return outcome;
        listing = ListingOf(*body);
        if (hostMajor >= 12) {
            properties = Require(item.PropertyAccessor());
            recordBefore = ReadRecord(*properties);
            if (recordBefore) record = DetachRecord::Decode(*recordBefore);
        }
    } catch (const HostError& e) {
        outcome.notAttached.emplace_back(std::u16string(), u"the item cannot be read: " + Why(e));
        return outcome;
    }

    // Each file on disk comes along; its line goes where it reads as written for the file as it is
    // now, or as the record has it.
    Body bodyAfter = *body;
    std::vector<DetachRecord::Entry> staying = record.entries;
    std::vector<const DetachBlock::ListedFile*> taking;
    for (const DetachBlock::ListedFile& file : listing.files) {
        std::optional<FileFacts> facts;
        base::Tolerate([&] { facts = check(file.path); });
        if (!facts) {
            outcome.notAttached.emplace_back(file.displayName, u"the file is no longer at " + file.path);
            continue;
        }
        taking.push_back(&file);
        std::vector<uint64_t> sizes = {facts->size};
        for (auto entry = staying.begin(); entry != staying.end();) {
            if (entry->path == file.path) {
                sizes.push_back(entry->size);
                entry = staying.erase(entry);
            } else {
                ++entry;
            }
        }
        for (const uint64_t size : sizes) {
            const Body without = WithoutLine(bodyAfter, {file.displayName, file.path, size});
            if (without.text != bodyAfter.text || without.rtf != bodyAfter.rtf) {
                bodyAfter = without;
                break;
            }
        }
    }
    if (taking.empty()) return outcome;

    std::vector<std::shared_ptr<host::Attachment>> added;
    bool bodyWritten = false;
    bool recordWritten = false;
    const auto putBack = [&] {
        for (const auto& attachment : added) base::Tolerate([&] { attachment->Delete(); });
        if (bodyWritten) base::Tolerate([&] { WriteBody(item, *body); });
        if (recordWritten) base::Tolerate([&] { properties->SetProperty(kRecordProperty, *recordBefore); });
    };
    std::u16string failure;
    try {
        try {
            for (const DetachBlock::ListedFile* file : taking)
                added.push_back(
                    Require(attachments.Add(file->path, host::AttachmentType::ByValue, std::nullopt, file->displayName)));
            if (bodyAfter.text != body->text || bodyAfter.rtf != body->rtf) {
                WriteBody(item, bodyAfter);
                bodyWritten = true;
            }
            if (recordBefore && record.known && staying.size() != record.entries.size()) {
                recordWritten = true;
                if (staying.empty())
                    properties->DeleteProperty(kRecordProperty);
                else
                    properties->SetProperty(kRecordProperty, DetachRecord::Encode(staying, {}).text);
            }
        } catch (const HostError& e) {
            failure = Why(e);
        }
    } catch (...) {
        putBack();
        throw;
    }
    if (!failure.empty()) {
        putBack();
        for (const DetachBlock::ListedFile* file : taking)
            outcome.notAttached.emplace_back(file->displayName, u"the item cannot be changed: " + failure);
        return outcome;
    }
    for (const DetachBlock::ListedFile* file : taking) outcome.attached.push_back(file->displayName);
    return outcome;
}

}  // namespace Detach

}  // namespace addin
