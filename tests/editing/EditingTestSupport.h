#pragma once
// Feed documents for the editing model's tests, and their markup as the
// writer gives it on one line.

#include "xml/XmlDom.h"
#include "xml/XmlWriter.h"

#include <gtest/gtest.h>

#include <QString>

#include <memory>
#include <string>
#include <string_view>

inline std::unique_ptr<TXmlObjModel> loadFeed(std::string_view xml) {
    auto model = std::make_unique<TXmlObjModel>();
    model->setFormattedOutput(false);
    EXPECT_TRUE(model->loadFromMemory(xml.data(), xml.size())) << xml;
    return model;
}

// The markup of a node, UTF-8, without line breaks.
inline std::string markup(const TXmlNodePtr& node) {
    if (!node)
        return "<null>";
    return QString::fromStdU16String(xmlText(*node)).toStdString();
}

// A channel with the given elements and items, in the program's shape.
inline std::string feedWith(std::string_view channelElements, std::string_view items) {
    return std::string("<rss version=\"2.0\"><channel><title>C</title><link>L</link>"
                       "<description>D</description>") +
           std::string(channelElements) + std::string(items) + "</channel></rss>";
}
