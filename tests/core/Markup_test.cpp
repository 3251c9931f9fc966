// The stand-in host's XML reader: it must accept exactly the well-formed documents, or the checks
// the ribbon makes of an add-in's markup prove nothing.
#include <gtest/gtest.h>

#include <string>

#include "standin/model/Markup.h"

using standin::ParseXml;
using standin::XmlElement;
using standin::XmlError;

TEST(XmlReader, ResolvesNamespacesAndKeepsAttributesAndChildrenInOrder) {
    const std::u16string document =
        u"\uFEFF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- markup -->\r\n"
        u"<c:customUI xmlns:c=\"urn:c\" xmlns=\"urn:d\" onLoad='Load' x:y=\"1\" xmlns:x=\"urn:x\">"
        u"<ribbon a=\"&lt;&#65;&#x42;&amp;&quot;&apos;&gt;\" b=\"tab\tnew\nline\"><![CDATA[<not an element>]]>"
        u"<?pi anything?><inner/></ribbon>text &amp; more<c:last/></c:customUI>\r\n<!-- after -->\r\n";
    const XmlElement root = ParseXml(document);
    EXPECT_EQ(root.ns, u"urn:c");
    EXPECT_EQ(root.name, u"customUI");
    ASSERT_EQ(root.attributes.size(), 2u);  // the namespace declarations are not attributes
    EXPECT_EQ(*root.Attribute(u"onLoad"), u"Load");
    EXPECT_EQ(root.attributes[1].ns, u"urn:x");
    EXPECT_EQ(root.Attribute(u"y"), nullptr);  // prefixed: not among the plain attributes
    ASSERT_EQ(root.children.size(), 2u);
    const XmlElement& ribbon = root.children[0];
    EXPECT_EQ(ribbon.ns, u"urn:d");  // the default namespace
    EXPECT_EQ(*ribbon.Attribute(u"a"), u"<AB&\"'>");
    EXPECT_EQ(*ribbon.Attribute(u"b"), u"tab new line");
    ASSERT_EQ(ribbon.children.size(), 1u);
    EXPECT_EQ(ribbon.children[0].name, u"inner");
    EXPECT_EQ(root.children[1].ns, u"urn:c");
    EXPECT_EQ(ribbon.offset, document.find(u"<ribbon"));
}

TEST(XmlReader, AStandaloneRootWithoutNamespaceAndCharacterReferencesBeyondTheBasicPlane) {
    const XmlElement root = ParseXml(u"<a v=\"&#x1F600;\" />");
    EXPECT_TRUE(root.ns.empty());
    EXPECT_EQ(*root.Attribute(u"v"), u"\U0001F600");
}

TEST(XmlReader, RefusesEveryDocumentThatIsNotWellFormed) {
    const struct {
        const char16_t* document;
        const char* why;
    } cases[] = {
        {u"", "no root element"},
        {u"   <!-- only a comment -->", "no root element"},
        {u"<a>", "element not closed"},
        {u"<a></b>", "end tag does not match"},
        {u"<a><b></a></b>", "crossed elements"},
        {u"<a/><b/>", "two roots"},
        {u"<a/>text", "text after the root"},
        {u"<a x=1/>", "unquoted value"},
        {u"<a x=\"1\" x=\"2\"/>", "an attribute twice"},
        {u"<a x=\"1\"y=\"2\"/>", "no blank between attributes"},
        {u"<a x=\"<\"/>", "< in an attribute value"},
        {u"<a x=\"a & b\"/>", "a bare ampersand"},
        {u"<a>&nbsp;</a>", "an entity no DTD declares"},
        {u"<a>&#0;</a>", "a reference to NUL"},
        {u"<a>&#xD800;</a>", "a reference to a surrogate"},
        {u"<a>&#x110000;</a>", "a reference beyond Unicode"},
        {u"<a>&#12</a>", "a reference without ;"},
        {u"<a>\u0001</a>", "a control character"},
        {u"<a>\xD800</a>", "a lone surrogate"},
        {u"<a>]]></a>", "]]> in text"},
        {u"<a><!-- a -- b --></a>", "-- in a comment"},
        {u"<a><!-- open</a>", "a comment not closed"},
        {u"<a><![CDATA[ open</a>", "CDATA not closed"},
        {u"<!DOCTYPE a><a/>", "a document type declaration"},
        {u"<a/><?xml version=\"1.0\"?>", "an XML declaration not at the start"},
        {u" <?xml version=\"1.0\"?><a/>", "an XML declaration after a blank"},
        {u"<p:a/>", "an undeclared prefix"},
        {u"<a xmlns:p=\"urn:p\" p:x=\"1\" xmlns:q=\"urn:p\" q:x=\"2\"/>", "one attribute twice by its namespace"},
        {u"<a xmlns:p=\"\"/>", "a prefix bound to no namespace"},
        {u"<a:b:c xmlns:a=\"urn:a\"/>", "two colons in a name"},
        {u"<1a/>", "a name starting with a digit"},
        {u"<a", "an open start tag"},
        {u"<a x=\"1", "an open attribute value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_THROW(ParseXml(c.document), XmlError);
    }
}

TEST(XmlReader, ReportsWhereTheFaultIs) {
    try {
        ParseXml(u"<a>\n  <b></c>\n</a>");
        FAIL() << "accepted";
    } catch (const XmlError& e) {
        EXPECT_EQ(e.offset, 11u);  // the name in the wrong end tag
        EXPECT_NE(e.message.find(u"does not close b"), std::u16string::npos);
    }
}
