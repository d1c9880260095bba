#include "app/PreviewText.h"

#include "app/AppMessages.h"

#include <QStringList>

#include <vector>

namespace {

bool isVoidElement(const QString& name) {
    static const QStringList names{
        QStringLiteral("area"),  QStringLiteral("base"),  QStringLiteral("br"),
        QStringLiteral("col"),   QStringLiteral("embed"), QStringLiteral("hr"),
        QStringLiteral("img"),   QStringLiteral("input"), QStringLiteral("link"),
        QStringLiteral("meta"),  QStringLiteral("param"), QStringLiteral("source"),
        QStringLiteral("track"), QStringLiteral("wbr")};
    return names.contains(name);
}

bool closesItsOwnKind(const QString& name) {
    static const QStringList names{
        QStringLiteral("p"),  QStringLiteral("li"), QStringLiteral("dt"), QStringLiteral("dd"),
        QStringLiteral("tr"), QStringLiteral("td"), QStringLiteral("th"), QStringLiteral("option")};
    return names.contains(name);
}

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'-' || c == u':' || c == u'_';
}

} // namespace

int markupNestingDepth(const QString& html, int stopAt) {
    std::vector<QString> open;
    int deepest = 0;
    const qsizetype size = html.size();
    for (qsizetype i = html.indexOf(u'<'); i >= 0 && i + 1 < size; i = html.indexOf(u'<', i + 1)) {
        qsizetype at = i + 1;
        const bool end = html[at] == u'/';
        if (end)
            ++at;
        const qsizetype nameStart = at;
        if (at < size && !html[at].isLetter())
            continue; // "<" as text, a comment or a declaration
        while (at < size && isNameChar(html[at]))
            ++at;
        if (at == nameStart)
            continue; // "<" as text, a comment or a declaration
        const QString name = html.mid(nameStart, at - nameStart).toLower();
        const qsizetype close = html.indexOf(u'>', at);
        const bool selfClosing = close > 0 && html[close - 1] == u'/';
        if (end) {
            for (auto it = open.rbegin(); it != open.rend(); ++it) {
                if (*it == name) {
                    open.erase(std::next(it).base(), open.end());
                    break;
                }
            }
        } else if (!selfClosing && !isVoidElement(name)) {
            if (!open.empty() && open.back() == name && closesItsOwnKind(name))
                open.pop_back();
            open.push_back(name);
            deepest = qMax(deepest, int(open.size()));
            if (deepest >= stopAt)
                return deepest;
        }
        if (close < 0)
            break;
        i = close;
    }
    return deepest;
}

QString previewHtmlOf(const QString& synopsis) {
    QString text = synopsis;
    QString note;
    if (text.size() > PreviewMaxLength) {
        text.truncate(PreviewMaxLength);
        note = AppMessages::previewCut(PreviewMaxLength);
    }
    const bool tooDeep = markupNestingDepth(text, PreviewMaxNesting + 1) > PreviewMaxNesting;
    if (!tooDeep && note.isEmpty())
        return synopsis;
    if (tooDeep)
        note = AppMessages::previewNestedTooDeeply();
    QString html = QStringLiteral("<p><i>") + note.toHtmlEscaped() + QStringLiteral("</i></p>");
    if (tooDeep) {
        html += QStringLiteral("<p style=\"white-space: pre-wrap\">");
        // Markup written without blanks is one long word, which the layout
        // breaks slowly; an invisible break opportunity now and then spares it.
        constexpr qsizetype piece = 80;
        for (qsizetype at = 0; at < text.size(); at += piece) {
            if (at > 0)
                html += QStringLiteral("&#8203;");
            html += text.mid(at, piece).toHtmlEscaped();
        }
        html += QStringLiteral("</p>");
    } else
        html += text;
    return html;
}
