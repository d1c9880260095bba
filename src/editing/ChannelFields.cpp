#include "editing/ChannelFields.h"

#include "editing/EditingMessages.h"
#include "feed/FeedLookups.h"

#include <QRegularExpression>

#include <optional>
#include <stdexcept>

namespace {

const QString emptyOnEnter = QStringLiteral("|||");

// Seven characters of the language box, as a bracketed code such as "[en-US]" has.
constexpr qsizetype languageWidth = 7;

std::u16string u16(const QString& text) {
    return text.toStdU16String();
}

TXmlNodePtr requireChannel(const TXmlDocumentPtr& doc) {
    TXmlNodePtr channel = channelOf(doc);
    if (!channel)
        throw std::runtime_error(EditingMessages::noChannelForField());
    return channel;
}

TXmlElementPtr textElement(const TXmlDocumentPtr& doc, const std::u16string& name,
                           const QString& text) {
    TXmlElementPtr element = doc->createElement(name);
    doc->appendText(element, u16(text));
    return element;
}

bool isWithin(const TXmlNodePtr& node, const TXmlNodePtr& ancestor) {
    for (const TXmlNode* n = node.get(); n; n = n->parentNode().get())
        if (n == ancestor.get())
            return true;
    return false;
}

} // namespace

QString valueOnEnter(const QString& value) {
    return value.isEmpty() ? emptyOnEnter : value;
}

bool leavingFieldWrites(const QString& onEnter, const QString& value) {
    return !onEnter.isEmpty() && value != onEnter;
}

QString languageValue(const QString& boxText) {
    static const QRegularExpression bracketedCode(QStringLiteral(R"(^\[([A-Za-z0-9-]+)\])"));
    const QRegularExpressionMatch match = bracketedCode.match(boxText);
    if (match.hasMatch())
        return match.captured(1);
    qsizetype width = qMin(languageWidth, boxText.size());
    // A character outside the 16-bit range is never cut in half.
    if (width > 0 && width < boxText.size() && boxText[width - 1].isHighSurrogate())
        ++width;
    return boxText.left(width);
}

void insertChannelElement(const TXmlDocumentPtr& doc, const TXmlNodePtr& element) {
    const TXmlNodePtr channel = requireChannel(doc);
    TChannelInsertionPoint at = channelInsertionPoint(doc);
    // The first item of the document may stand outside this channel (in a
    // second channel); the element still belongs to this one.
    if (!isWithin(at.parent, channel)) {
        const TXmlNodePtr ownItem = selectNodesOf(channel, u"item").item(0);
        at = {channel, ownItem};
    }
    at.parent->insertBefore(element, at.before);
}

void putChannelElement(const TXmlDocumentPtr& doc, const TXmlElementPtr& element) {
    const TXmlNodePtr channel = requireChannel(doc);
    if (const TXmlNodePtr target = channelField(channel, element->nodeName()))
        target->parentNode()->replaceChild(element, target);
    else
        insertChannelElement(doc, element);
}

void writeChannelText(const TXmlDocumentPtr& doc, const std::u16string& name, const QString& text) {
    putChannelElement(doc, textElement(doc, name, text));
}

void writeChannelCategory(const TXmlDocumentPtr& doc, const QString& text,
                          const std::optional<QString>& domain) {
    TXmlElementPtr category = textElement(doc, u"category", text);
    if (domain)
        category->setAttribute(u"domain", u16(*domain));
    putChannelElement(doc, category);
}

bool channelCategoryHasDomain(const TXmlDocumentPtr& doc) {
    const TXmlElementPtr category = asElement(channelField(channelOf(doc), u"category"));
    return category && category->attributes() &&
           category->attributes()->getNamedItem(u"domain") != nullptr;
}

TXmlNodePtr logoElement(const TXmlDocumentPtr& doc) {
    if (TXmlNodePtr image = firstImageOf(doc))
        return image;
    requireChannel(doc);
    TXmlElementPtr image = doc->createElement(u"image");
    for (const char16_t* name : {u"title", u"link", u"url"})
        doc->appendElement(image, name);
    insertChannelElement(doc, image);
    return image;
}

void writeLogoField(const TXmlDocumentPtr& doc, const std::u16string& name, const QString& text) {
    const TXmlNodePtr image = logoElement(doc);
    TXmlElementPtr element = textElement(doc, name, text);
    if (const TXmlNodePtr target = channelField(image, name))
        image->replaceChild(element, target);
    else
        image->appendChild(element);
}

void writeCloud(const TXmlDocumentPtr& doc, const TCloudFields& fields) {
    requireChannel(doc);
    TXmlElementPtr cloud = doc->createElement(u"cloud");
    cloud->setAttribute(u"domain", u16(fields.domain));
    cloud->setAttribute(u"port", u16(fields.port));
    cloud->setAttribute(u"path", u16(fields.path));
    cloud->setAttribute(u"registerProcedure", u16(fields.registerProcedure));
    cloud->setAttribute(u"protocol", u16(fields.protocol));
    putChannelElement(doc, cloud);
}

void writeTextInput(const TXmlDocumentPtr& doc, const TTextInputFields& fields) {
    requireChannel(doc);
    TXmlElementPtr textInput = doc->createElement(u"textInput");
    textInput->appendChild(textElement(doc, u"title", fields.title));
    textInput->appendChild(textElement(doc, u"description", fields.description));
    textInput->appendChild(textElement(doc, u"name", fields.name));
    textInput->appendChild(textElement(doc, u"link", fields.link));
    putChannelElement(doc, textInput);
}
