#include "app/IniFile.h"

#include "app/AppMessages.h"

#include "feed/FeedFiles.h"

#include <QFile>
#include <QList>

#include <optional>
#include <stdexcept>

namespace {

const QByteArray utf8Bom = "\xEF\xBB\xBF";

struct Line {
    QByteArray text; // without its line ending
    QByteArray eol;  // "\r\n", "\n", "\r" or empty for an unterminated last line
};

struct Document {
    QByteArray bom;
    QList<Line> lines;
};

Document parse(QByteArray bytes) {
    Document doc;
    if (bytes.startsWith(utf8Bom)) {
        doc.bom = utf8Bom;
        bytes.remove(0, utf8Bom.size());
    }
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    while (start < n) {
        qsizetype end = start;
        while (end < n && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        Line line{bytes.mid(start, end - start), {}};
        if (end < n) {
            const qsizetype eolLength =
                (bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n') ? 2 : 1;
            line.eol = bytes.mid(end, eolLength);
            end += eolLength;
        }
        doc.lines.append(line);
        start = end;
    }
    return doc;
}

std::optional<QString> sectionName(const Line& line) {
    const QString text = QString::fromUtf8(line.text).trimmed();
    if (!text.startsWith('['))
        return std::nullopt;
    // The last bracket closes the name, so a feed path holding "]" still
    // names its own section.
    const qsizetype close = text.lastIndexOf(']');
    return text.mid(1, close > 0 ? close - 1 : -1).trimmed();
}

std::optional<QString> keyName(const Line& line) {
    const QString text = QString::fromUtf8(line.text).trimmed();
    if (text.startsWith(';') || text.startsWith('#') || text.startsWith('['))
        return std::nullopt;
    const qsizetype equals = text.indexOf('=');
    if (equals < 0)
        return std::nullopt;
    return text.left(equals).trimmed();
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index of the line that sets key in section, or -1. Sections that appear
// more than once are searched in file order.
qsizetype findKey(const Document& doc, const QString& section, const QString& key) {
    bool inSection = false;
    for (qsizetype i = 0; i < doc.lines.size(); ++i) {
        if (const auto name = sectionName(doc.lines[i])) {
            inSection = sameName(*name, section);
        } else if (inSection) {
            const auto k = keyName(doc.lines[i]);
            if (k && sameName(*k, key))
                return i;
        }
    }
    return -1;
}

qsizetype findSection(const Document& doc, const QString& section) {
    for (qsizetype i = 0; i < doc.lines.size(); ++i) {
        const auto name = sectionName(doc.lines[i]);
        if (name && sameName(*name, section))
            return i;
    }
    return -1;
}

QString unquoted(QString value) {
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    if (value.size() > TIniFile::maxValueLength) {
        qsizetype cut = TIniFile::maxValueLength;
        if (value[cut - 1].isHighSurrogate())
            --cut;
        value.truncate(cut);
    }
    return value;
}

// Line breaks would split the entry and let a value inject lines of its own.
QString singleLine(QString text) {
    text.replace('\r', ' ');
    text.replace('\n', ' ');
    return text;
}

// A value whose surrounding blanks or quotes a read would strip is written
// inside one more pair of quotes, so it reads back as written.
QString protectedValue(const QString& value) {
    if (value != unquoted(value) || (value.size() >= 2 && value.front() == value.back() &&
                                     (value.front() == '"' || value.front() == '\'')))
        return '"' + value + '"';
    return value;
}

std::optional<qint64> parseInteger(const QString& text) {
    QString digits = text;
    bool negative = false;
    if (digits.startsWith('-') || digits.startsWith('+')) {
        negative = digits.startsWith('-');
        digits.remove(0, 1);
    }
    int base = 10;
    if (digits.startsWith('$')) {
        base = 16;
        digits.remove(0, 1);
    } else if (digits.startsWith("0x", Qt::CaseInsensitive)) {
        base = 16;
        digits.remove(0, 2);
    }
    if (digits.isEmpty())
        return std::nullopt;
    for (const QChar c : digits) {
        const bool ok = base == 16 ? QStringLiteral("0123456789abcdefABCDEF").contains(c)
                                   : (c >= '0' && c <= '9');
        if (!ok)
            return std::nullopt;
    }
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    return negative ? -value : value;
}

} // namespace

TIniFile::TIniFile(QString path) : path_(std::move(path)) {}

QString TIniFile::readString(const QString& section, const QString& key, const QString& def) const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return def;
    const Document doc = parse(file.readAll());
    file.close();
    const qsizetype at = findKey(doc, section, key);
    if (at < 0)
        return def;
    const QString text = QString::fromUtf8(doc.lines[at].text);
    return unquoted(text.mid(text.indexOf('=') + 1));
}

bool TIniFile::readBool(const QString& section, const QString& key, bool def) const {
    const auto number = parseInteger(readString(section, key, QString()));
    return number ? *number != 0 : def;
}

void TIniFile::writeString(const QString& section, const QString& key, const QString& value) {
    const QString errorText = AppMessages::unableToWrite(path_);
    QFile file(path_);
    Document doc;
    if (file.exists()) {
        // A file we cannot read would be replaced by one holding only this key.
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error(errorText.toStdString());
        doc = parse(file.readAll());
        file.close();
    }

    const QString cleanSection = singleLine(section);
    const QString cleanKey = singleLine(key);
    const QByteArray valueBytes = protectedValue(singleLine(value)).toUtf8();
    QByteArray eol = "\n";
    for (const Line& line : doc.lines) {
        if (!line.eol.isEmpty()) {
            eol = line.eol;
            break;
        }
    }
    auto terminate = [&](qsizetype index) {
        if (index >= 0 && doc.lines[index].eol.isEmpty())
            doc.lines[index].eol = eol;
    };

    if (const qsizetype at = findKey(doc, cleanSection, cleanKey); at >= 0) {
        Line& line = doc.lines[at];
        line.text = line.text.left(line.text.indexOf('=') + 1) + valueBytes;
    } else if (const qsizetype header = findSection(doc, cleanSection); header >= 0) {
        // After the section's last entry, before the blank lines that part it
        // from the next section.
        qsizetype end = header + 1;
        while (end < doc.lines.size() && !sectionName(doc.lines[end]))
            ++end;
        qsizetype insertAt = end;
        while (insertAt > header + 1 && doc.lines[insertAt - 1].text.trimmed().isEmpty())
            --insertAt;
        terminate(insertAt - 1);
        doc.lines.insert(insertAt, Line{cleanKey.toUtf8() + '=' + valueBytes, eol});
    } else {
        terminate(doc.lines.size() - 1);
        doc.lines.append(Line{'[' + cleanSection.toUtf8() + ']', eol});
        doc.lines.append(Line{cleanKey.toUtf8() + '=' + valueBytes, eol});
    }

    QByteArray bytes = doc.bom;
    for (const Line& line : doc.lines)
        bytes += line.text + line.eol;
    // The settings hold FTP passwords: only the user may read them, also when
    // an older settings file was readable by others.
    writeFileAtomically(path_, bytes, errorText, QFile::ReadOwner | QFile::WriteOwner,
                        PermissionRule::Enforce);
}

void TIniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? "1" : "0");
}
