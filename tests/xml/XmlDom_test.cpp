// The document tree: text, lookups, edits and their DOM errors, ownership.

#include "xml/XmlDom.h"

#include <gtest/gtest.h>

namespace {

using Attrs = std::vector<TXmlAttr>;

// Builds trees the way a load does, through the tree builder.
class DomTest : public ::testing::Test {
protected:
    TXmlDocumentPtr doc = TXmlDocument::create();
    TXmlTreeBuilder b{*doc};

    void open(const std::u16string& name, Attrs attrs = {}) {
        b.startElement(name, std::move(attrs), false);
    }
    void leaf(const std::u16string& name, Attrs attrs = {}) {
        b.startElement(name, std::move(attrs), true);
    }
    void close() { b.endElement(); }
    void text(std::u16string t) { b.text(std::move(t)); }

    TXmlNodePtr root() { return doc->documentElement(); }
};

TEST_F(DomTest, TextJoinsNonEmptyPiecesWithOneSpace) {
    open(u"r");
    open(u"p"); // a <b>b</b> c
    text(u"a");
    open(u"b");
    text(u"b");
    close();
    text(u"c");
    close();
    open(u"q"); // a <!--x--> b
    text(u"a");
    b.comment(u"x");
    text(u"b");
    close();
    open(u"s"); // CDATA counts as text, its spaces kept
    b.cdata(u" x ");
    open(u"e");
    close();
    text(u"y");
    close();
    leaf(u"empty");
    close();

    EXPECT_EQ(childAt(root(), 0)->text(), u"a b c");
    EXPECT_EQ(childAt(root(), 1)->text(), u"a b");
    EXPECT_EQ(childAt(root(), 2)->text(), u" x  y");
    EXPECT_EQ(childAt(root(), 3)->text(), u"");
    EXPECT_EQ(doc->text(), u"a b c a b  x  y");
}

TEST_F(DomTest, MissingNodesGiveMissingNodesAndEmptyText) {
    open(u"item");
    leaf(u"title");
    leaf(u"link");
    close();
    TXmlNodePtr third = childAt(root(), 2);
    EXPECT_EQ(third, nullptr);
    EXPECT_EQ(textOf(third), u"");
    EXPECT_EQ(firstChildOf(third), nullptr);
    EXPECT_EQ(lastChildOf(third), nullptr);
    EXPECT_EQ(nextSiblingOf(third), nullptr);
    EXPECT_EQ(parentOf(third), nullptr);
    EXPECT_EQ(selectNodesOf(third, u"x").length(), 0);
    EXPECT_EQ(attributeOf(third, u"x"), u"");
    EXPECT_EQ(asElement(third), nullptr);
    EXPECT_EQ(childAt(root(), -1), nullptr);
    EXPECT_EQ(nextSiblingOf(childAt(root(), 1)), nullptr);
    EXPECT_EQ(nextSiblingOf(root()), nullptr);
}

TEST_F(DomTest, NodeListItemOutOfRangeIsNull) {
    open(u"r");
    leaf(u"a");
    leaf(u"b");
    close();
    TXmlNodeList list = root()->childNodes();
    ASSERT_EQ(list.length(), 2);
    EXPECT_EQ(list.item(-1), nullptr);
    EXPECT_EQ(list.item(2), nullptr);
    EXPECT_EQ(list.item(1)->nodeName(), u"b");
}

TEST_F(DomTest, SelectNodesTakesDirectChildrenByFoldedName) {
    doc->settings().IgnoreCase = true;
    open(u"channel");
    leaf(u"Item");
    open(u"x");
    leaf(u"item");
    close();
    text(u"t");
    leaf(u"ITEM");
    leaf(u"items");
    close();

    EXPECT_EQ(root()->selectNodes(u"item").length(), 2);
    EXPECT_EQ(root()->selectNodes(u" item ").length(), 2);
    EXPECT_EQ(root()->selectNodes(u"*").length(), 4);
    EXPECT_EQ(doc->getElementsByTagName(u"item").length(), 1); // the nested one, exactly
    EXPECT_EQ(root()->selectNodes(u"/").item(0), doc);
    doc->settings().IgnoreCase = false;
    EXPECT_EQ(root()->selectNodes(u"item").length(), 0);

    for (const char16_t* bad : {u"", u"1item", u"item/x", u"a b", u"item[1]", u"-x", u"//"})
        EXPECT_EQ(root()->selectNodes(bad).length(), 0) << std::string(bad, bad + 1);
}

TEST_F(DomTest, NameMatchFoldsAsciiLettersOnly) {
    doc->settings().IgnoreCase = true;
    open(u"r");
    leaf(u"\u00e9t\u00e9");
    leaf(u"\u4e00");
    close();
    EXPECT_EQ(root()->selectNodes(u"\u00c9T\u00c9").length(), 0);
    EXPECT_EQ(root()->selectNodes(u"\u00e9T\u00e9").length(), 1);
    EXPECT_EQ(root()->selectNodes(u"\u4e01").length(), 0);
}

TEST_F(DomTest, DocumentGetElementsByTagNameIsExactAndInDocumentOrder) {
    doc->settings().IgnoreCase = true;
    b.processingInstruction(u"xml", u"version=\"1.0\"");
    open(u"rss");
    open(u"channel");
    open(u"item", {{u"n", u"1"}});
    close();
    close();
    open(u"channel");
    open(u"item", {{u"n", u"2"}});
    open(u"dc:item", {{u"n", u"3"}});
    close();
    close();
    leaf(u"Item");
    close();
    close();
    b.comment(u"after");

    TXmlNodeList items = doc->getElementsByTagName(u"item");
    ASSERT_EQ(items.length(), 2);
    EXPECT_EQ(attributeOf(items.item(0), u"n"), u"1");
    EXPECT_EQ(attributeOf(items.item(1), u"n"), u"2");
    EXPECT_EQ(doc->getElementsByTagName(u"*").length(), 7);
    EXPECT_EQ(doc->getElementsByTagName(u"dc:*").length(), 1);
    EXPECT_EQ(doc->getElementsByTagName(u"channel").item(1)->nextSibling(), nullptr);
}

TEST_F(DomTest, ElementGetElementsByTagNameMatchesLocalNames) {
    doc->settings().IgnoreCase = true;
    open(u"item");
    open(u"dc:Creator");
    leaf(u"creator");
    close();
    leaf(u"atom:link");
    close();
    auto item = asElement(root());
    EXPECT_EQ(item->getElementsByTagName(u"creator").length(), 2);
    EXPECT_EQ(item->getElementsByTagName(u"item").length(), 0); // itself excluded
    EXPECT_EQ(item->getElementsByTagName(u"*").length(), 3);
    EXPECT_EQ(item->getElementsByTagName(u"DC:*").length(), 1);
    EXPECT_EQ(item->getElementsByTagName(u"dc:creator").length(), 0);
}

TEST_F(DomTest, SetAttributeMovesTheAttributeLast) {
    doc->settings().IgnoreCase = true;
    leaf(u"category", {{u"domain", u"d"}, {u"other", u"o"}});
    auto cat = asElement(root());
    cat->setAttribute(u"DOMAIN", u"x");
    const TXmlNamedNodeMap* attrs = cat->attributes();
    ASSERT_NE(attrs, nullptr);
    ASSERT_EQ(attrs->length(), 2);
    EXPECT_EQ(attrs->item(0)->nodeName(), u"other");
    EXPECT_EQ(attrs->item(1)->nodeName(), u"DOMAIN");
    EXPECT_EQ(cat->getAttribute(u"domain"), u"x");
    EXPECT_EQ(attrs->getNamedItem(u"*")->nodeName(), u"other");
    EXPECT_EQ(attrs->item(1)->parentNode(), root());
    EXPECT_EQ(cat->getAttribute(u"missing"), u"");
}

TEST_F(DomTest, AnElementThatNeverHadAnAttributeHasNoMap) {
    auto e = doc->createElement(u"e");
    EXPECT_EQ(e->attributes(), nullptr);
    EXPECT_FALSE(e->hasAttributes());
    e->setAttribute(u"a", u"1");
    ASSERT_NE(e->attributes(), nullptr);
    EXPECT_TRUE(e->hasAttributes());
}

TEST_F(DomTest, CreateFailsOnBadNamesWithError5) {
    for (const char16_t* bad : {u"", u"1a", u"a b", u"a<", u"-a", u"\xD800"}) {
        try {
            doc->createElement(bad);
            ADD_FAILURE() << "accepted a bad element name";
        } catch (const TXmlDOMException& e) {
            EXPECT_EQ(e.code(), 5);
        }
    }
    EXPECT_NO_THROW(doc->createElement(u"dc:creator"));
    EXPECT_NO_THROW(doc->createElement(u"_a-b.c\u00e9"));
    EXPECT_NO_THROW(doc->createElement(u"\xD83D\xDE00"));
    try {
        doc->createProcessingInstruction(u"", u"d");
        ADD_FAILURE();
    } catch (const TXmlDOMException& e) {
        EXPECT_EQ(e.code(), 5);
    }
}

int domError(const std::function<void()>& f) {
    try {
        f();
    } catch (const TXmlDOMException& e) {
        return e.code();
    }
    return 0;
}

TEST_F(DomTest, MisuseThrowsTheDomCodes) {
    auto other = TXmlDocument::create();
    auto e = doc->createElement(u"e");
    auto child = doc->appendElement(e, u"c");
    auto t = doc->createTextNode(u"t");
    auto stranger = doc->createElement(u"s");

    struct Case {
        const char* what;
        std::function<void()> f;
        int code;
    };
    std::vector<Case> cases = {
        {"append to text", [&] { t->appendChild(doc->createElement(u"x")); }, 3},
        {"append to comment", [&] { doc->createComment(u"c")->appendChild(t); }, 3},
        {"append to PI", [&] { doc->createProcessingInstruction(u"p", u"")->appendChild(t); }, 3},
        {"append to CDATA", [&] { doc->createCDATASection(u"c")->appendChild(t); }, 3},
        {"append null", [&] { e->appendChild(nullptr); }, 3},
        {"append ancestor", [&] { child->appendChild(e); }, 3},
        {"append self", [&] { e->appendChild(e); }, 3},
        {"append a document", [&] { e->appendChild(other); }, 3},
        {"other document", [&] { e->appendChild(other->createElement(u"x")); }, 4},
        {"insert before non-child", [&] { e->insertBefore(t, stranger); }, 8},
        {"remove non-child", [&] { e->removeChild(stranger); }, 8},
        {"replace non-child", [&] { e->replaceChild(t, stranger); }, 8},
        {"replace into text", [&] { t->replaceChild(stranger, child); }, 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(domError(c.f), c.code) << c.what;
    EXPECT_EQ(e->firstChild(), child);
    EXPECT_EQ(child->nextSibling(), nullptr);
}

TEST_F(DomTest, InsertRemoveReplaceKeepTheLinksRight) {
    auto r = doc->appendElement(doc, u"r");
    auto a = doc->appendElement(r, u"a");
    auto c = doc->appendElement(r, u"c");
    auto bb = doc->createElement(u"b");
    r->insertBefore(bb, c);
    auto names = [&] {
        std::u16string s;
        for (auto n = r->firstChild(); n; n = n->nextSibling())
            s += n->nodeName();
        return s;
    };
    EXPECT_EQ(names(), u"abc");
    EXPECT_EQ(c->previousSibling(), bb);
    EXPECT_EQ(r->lastChild(), c);

    auto d = doc->createElement(u"d");
    EXPECT_EQ(r->replaceChild(d, a), a);
    EXPECT_EQ(names(), u"dbc");
    EXPECT_EQ(a->parentNode(), nullptr);
    EXPECT_EQ(a->nextSibling(), nullptr);

    r->insertBefore(c, d); // a node already in the tree moves
    EXPECT_EQ(names(), u"cdb");
    r->appendChild(c);
    EXPECT_EQ(names(), u"dbc");
    EXPECT_EQ(r->lastChild(), c);

    auto other = doc->appendElement(doc, u"o");
    other->appendChild(bb); // moving between parents detaches first
    EXPECT_EQ(names(), u"dc");
    EXPECT_EQ(bb->parentNode(), other);

    EXPECT_EQ(r->removeChild(c), c);
    EXPECT_EQ(r->removeChild(d), d);
    EXPECT_FALSE(r->hasChildNodes());
    EXPECT_EQ(r->lastChild(), nullptr);
}

TEST_F(DomTest, AppendingAFragmentAppendsCopiesOfItsChildren) {
    auto r = doc->appendElement(doc, u"r");
    auto frag = doc->createDocumentFragment();
    doc->appendElement(frag, u"x");
    doc->appendText(frag, u"y");
    r->appendChild(frag);
    ASSERT_EQ(r->childNodes().length(), 2);
    EXPECT_EQ(r->firstChild()->nodeName(), u"x");
    EXPECT_EQ(r->lastChild()->nodeValue(), u"y");
    EXPECT_EQ(frag->childNodes().length(), 2);
    EXPECT_NE(frag->firstChild(), r->firstChild());
    EXPECT_EQ(r->firstChild()->parentNode(), r);
}

TEST_F(DomTest, CloneCopiesKindNameValueAttributesAndDeepChildren) {
    open(u"item", {{u"a", u"1"}, {u"b", u"2"}});
    open(u"title");
    b.cdata(u"Hello");
    close();
    b.comment(u"c");
    close();
    auto item = root();

    auto shallow = item->cloneNode(false);
    EXPECT_EQ(shallow->nodeName(), u"item");
    EXPECT_FALSE(shallow->hasChildNodes());
    EXPECT_EQ(shallow->attributes()->item(1)->nodeValue(), u"2");
    EXPECT_EQ(shallow->attributes()->item(1)->parentNode(), shallow);

    auto deep = item->cloneNode(true);
    EXPECT_EQ(deep->parentNode(), nullptr);
    EXPECT_EQ(deep->ownerDocument(), doc);
    EXPECT_EQ(deep->text(), u"Hello");
    EXPECT_EQ(deep->firstChild()->firstChild()->nodeType(), CDATA_SECTION_NODE);
    EXPECT_EQ(deep->lastChild()->nodeType(), COMMENT_NODE);
    asElement(deep)->setAttribute(u"a", u"changed");
    EXPECT_EQ(attributeOf(item, u"a"), u"1");
    doc->appendChild(deep); // a copy belongs to the same document
    EXPECT_EQ(doc->getElementsByTagName(u"title").length(), 2);
}

TEST_F(DomTest, RemovedNodesAndSnapshotsOutliveTheTree) {
    open(u"r");
    open(u"a");
    text(u"x");
    close();
    leaf(u"b");
    close();
    TXmlNodeList snapshot = root()->childNodes();
    TXmlNodePtr a = root()->firstChild();
    root()->removeChild(a);
    EXPECT_EQ(snapshot.length(), 2);
    EXPECT_EQ(root()->childNodes().length(), 1);
    doc->clear();
    EXPECT_EQ(doc->documentElement(), nullptr);
    EXPECT_EQ(a->text(), u"x");
    EXPECT_EQ(snapshot.item(1)->nodeName(), u"b");
    EXPECT_EQ(snapshot.item(1)->parentNode(), nullptr);

    auto attrs = TXmlNodeList();
    {
        auto e = doc->createElement(u"e");
        e->setAttribute(u"k", u"v");
        attrs.add(e->attributes()->item(0));
    }
    EXPECT_EQ(attrs.item(0)->parentNode(), nullptr);
    EXPECT_EQ(attrs.item(0)->nodeValue(), u"v");
}

TEST_F(DomTest, NodesOutlivingTheirDocumentLoseIt) {
    TXmlNodePtr kept, grandchild;
    {
        auto d = TXmlDocument::create();
        kept = d->appendElement(d, u"e");
        EXPECT_EQ(kept->ownerDocument(), d);
        auto r = d->appendElement(d, u"r");
        grandchild = d->appendElement(d->appendElement(r, u"c"), u"g");
        d->appendElement(r, u"after");
        d->appendText(grandchild, u"kept text");
    }
    EXPECT_EQ(kept->ownerDocument(), nullptr);
    EXPECT_EQ(kept->parentNode(), nullptr);
    EXPECT_EQ(kept->nodeName(), u"e");
    EXPECT_EQ(grandchild->parentNode(), nullptr);
    EXPECT_EQ(grandchild->nextSibling(), nullptr);
    EXPECT_EQ(grandchild->text(), u"kept text");
    EXPECT_EQ(grandchild->firstChild()->parentNode(), grandchild);
}

TEST_F(DomTest, DeepAndLongTreesNeedNoRecursion) {
    constexpr int depth = 100000;
    for (int i = 0; i < depth; ++i)
        open(u"d");
    text(u"bottom");
    for (int i = 0; i < depth; ++i)
        close();
    open(u"long");
    for (int i = 0; i < depth; ++i)
        leaf(u"x");
    close();
    EXPECT_EQ(doc->text(), u"bottom");
    EXPECT_EQ(doc->getElementsByTagName(u"x").length(), depth);
    auto copy = root()->cloneNode(true);
    EXPECT_EQ(copy->text(), u"bottom");
    copy.reset();
    doc->clear();
}

TEST_F(DomTest, BuilderKeepsDocTypeDeclarationsAsChildren) {
    b.startDocType(u"rss", u"", u"rss.dtd");
    b.declaration(TXmlDeclKind::Entity, u"<!ENTITY a \"b\">");
    b.declaration(TXmlDeclKind::Element, u"<!ELEMENT rss ANY>");
    b.endDocType();
    leaf(u"rss");
    auto dt = doc->firstChild();
    ASSERT_EQ(dt->nodeType(), DOCUMENT_TYPE_NODE);
    EXPECT_EQ(dt->nodeName(), u"rss");
    EXPECT_EQ(static_cast<TXmlDocumentType&>(*dt).systemId(), u"rss.dtd");
    EXPECT_EQ(dt->firstChild()->nodeType(), ENTITY_NODE);
    EXPECT_EQ(dt->lastChild()->nodeType(), ELEMENT_DECL_NODE);
    EXPECT_EQ(doc->documentElement()->nodeName(), u"rss");
    EXPECT_EQ(doc->documentElement()->parentNode(), doc);
}

} // namespace
