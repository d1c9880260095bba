#include "editing/ChannelSchedule.h"

#include "editing/ChannelFields.h"

namespace {

TXmlNodePtr firstAnywhere(const TXmlDocumentPtr& doc, const std::u16string& name) {
    return doc->getElementsByTagName(name).item(0);
}

TXmlElementPtr textElement(const TXmlDocumentPtr& doc, const std::u16string& name,
                           const QString& text) {
    TXmlElementPtr element = doc->createElement(name);
    doc->appendText(element, text.toStdU16String());
    return element;
}

// The four cases shared by the time to live and the logo size.
template <typename Insert>
bool writeNumber(const TXmlDocumentPtr& doc, const std::u16string& name, int value, Insert insert) {
    const TXmlNodePtr target = firstAnywhere(doc, name);
    if (value == 0) {
        if (!target)
            return false;
        target->parentNode()->removeChild(target);
        return true;
    }
    TXmlElementPtr element = textElement(doc, name, QString::number(value));
    if (target)
        target->parentNode()->replaceChild(element, target);
    else
        insert(element);
    return true;
}

} // namespace

void writeChannelDate(const TXmlDocumentPtr& doc, const std::u16string& name, const QString& text) {
    writeChannelText(doc, name, text);
}

bool writeTimeToLive(const TXmlDocumentPtr& doc, int value) {
    return writeNumber(doc, u"ttl", value,
                       [&doc](const TXmlElementPtr& ttl) { insertChannelElement(doc, ttl); });
}

bool writeLogoSize(const TXmlDocumentPtr& doc, const std::u16string& name, int value) {
    const int largest = name == u"height" ? maxLogoHeight : maxLogoWidth;
    return writeNumber(doc, name, qBound(0, value, largest),
                       [&doc](const TXmlElementPtr& size) { logoElement(doc)->appendChild(size); });
}

void writeSkipList(const TXmlDocumentPtr& doc, const std::u16string& listName,
                   const std::u16string& entryName, const QStringList& checked) {
    TXmlElementPtr list = doc->createElement(listName);
    for (const QString& entry : checked)
        list->appendChild(textElement(doc, entryName, entry));
    if (const TXmlNodePtr target = firstAnywhere(doc, listName))
        target->parentNode()->replaceChild(list, target);
    else
        insertChannelElement(doc, list);
}
