#pragma once
// The settings file: an INI file read and written key by key. Every call opens,
// reads or rewrites and closes the file; nothing is cached, so two TIniFile
// objects over the same path always agree. The file is UTF-8.

#include <QString>

class TIniFile {
public:
    explicit TIniFile(QString path);

    const QString& path() const { return path_; }

    // Sections and keys match without regard to letter case. A missing file,
    // section or key gives def. The value loses surrounding blanks and one
    // pair of enclosing quotes, and is cut to maxValueLength characters.
    QString readString(const QString& section, const QString& key, const QString& def) const;
    // The value read as an integer (decimal, "$" or "0x" hexadecimal): not 0
    // is true; no value or no integer gives def.
    bool readBool(const QString& section, const QString& key, bool def) const;

    // Creates the file, appends a missing section at the end of the file or a
    // missing key at the end of its section, or replaces the value in place;
    // every other line stays as it was. Throws std::runtime_error
    // "Unable to write to <path>" on failure, leaving the file unchanged.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeBool(const QString& section, const QString& key, bool value);

    static constexpr int maxValueLength = 2047;

private:
    QString path_;
};
