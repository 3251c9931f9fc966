#pragma once
// A small XML reader for the ribbon markup add-ins hand the host: it accepts exactly the well-formed
// documents (XML 1.0 with namespaces, no document type declaration) and resolves names to their
// namespaces, as the host's reader does before it looks at the markup's meaning.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

struct XmlAttribute {
    std::u16string ns;  // empty for an unprefixed attribute
    std::u16string name;
    std::u16string value;
};

/// One element, its name resolved against the namespace declarations in scope. Namespace
/// declarations are not listed among the attributes.
struct XmlElement {
    std::u16string ns;
    std::u16string name;
    std::vector<XmlAttribute> attributes;
    std::vector<XmlElement> children;
    /// Offset of the element's "<" in the document, for messages.
    size_t offset = 0;

    /// The unprefixed attribute `name`, or null.
    const std::u16string* Attribute(std::u16string_view name) const;
};

/// Why a document is not well-formed, and where (an offset in UTF-16 units).
struct XmlError {
    size_t offset;
    std::u16string message;
};

/// The root element of `document`; throws XmlError when the document is not well-formed.
XmlElement ParseXml(std::u16string_view document);

}  // namespace standin
