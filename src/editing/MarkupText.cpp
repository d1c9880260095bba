#include "editing/MarkupText.h"

#include <algorithm>

namespace {

// Wraps selected in a tag pair and leaves the caret right after selected.
TMarkupInsertion wrapped(const QString& open, const QString& selected, const QString& close) {
    return {open + selected + close, int(close.size())};
}

} // namespace

TMarkupInsertion markupInsertion(TMarkup markup, const QString& sel) {
    switch (markup) {
    case TMarkup::Paragraph:
        if (sel.isEmpty())
            return {QStringLiteral("<p />\n"), 0};
        return {QStringLiteral("<p>") + sel + QStringLiteral("</p>\n"), 0};
    case TMarkup::OrderedList:
        return wrapped(QStringLiteral("<ol>\n<li>"), sel, QStringLiteral("</li>\n</ol>"));
    case TMarkup::UnorderedList:
        return wrapped(QStringLiteral("<ul>\n<li>"), sel, QStringLiteral("</li>\n</ul>"));
    case TMarkup::ListItem:
        return wrapped(QStringLiteral("<li>"), sel, QStringLiteral("</li>\n"));
    case TMarkup::FarAnchor: {
        // The selection is both the address and the link text; with none the
        // caret waits for the link text.
        const QString anchor = QStringLiteral("<a href=\"") + sel + QStringLiteral("\">") + sel +
                               QStringLiteral("</a>");
        return {anchor, sel.isEmpty() ? 4 : 0};
    }
    case TMarkup::Quote:
        return wrapped(QStringLiteral("<blockquote>"), sel, QStringLiteral("</blockquote>"));
    case TMarkup::BlankSpace:
        return {QStringLiteral("&nbsp;"), 0};
    case TMarkup::Bold:
        return wrapped(QStringLiteral("<b>"), sel, QStringLiteral("</b>"));
    case TMarkup::Italic:
        return wrapped(QStringLiteral("<i>"), sel, QStringLiteral("</i>"));
    case TMarkup::Underline:
        return wrapped(QStringLiteral("<u>"), sel, QStringLiteral("</u>"));
    case TMarkup::LineBreak:
        return {QStringLiteral("<br />"), 0};
    }
    return {};
}

TMarkupEdit applyMarkup(TMarkup markup, const QString& text, int selectionStart, int selectionEnd) {
    const int size = int(text.size());
    const int start = std::clamp(std::min(selectionStart, selectionEnd), 0, size);
    const int end = std::clamp(std::max(selectionStart, selectionEnd), 0, size);
    const TMarkupInsertion insertion = markupInsertion(markup, text.mid(start, end - start));
    TMarkupEdit edit;
    edit.text = text.left(start) + insertion.text + text.mid(end);
    edit.caret = start + int(insertion.text.size()) - insertion.caretBack;
    return edit;
}
