#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// Qt's INI settings format at the level of the file's text, read and changed as the settings
// reader and writer would, but without ever rewriting the lines a change does not touch. Lines are
// split as the reader splits them (blanks before a line skipped, backslash escapes, quotes across
// line breaks, ';' comments); keys and values are unescaped and escaped as the settings format
// does ("%U0414" or raw UTF-8 for Cyrillic keys, "\" for a slash in a key, quotes around values
// with ';', ',' or '='). Pure functions on bytes.
class SettingsText {
  public:
    // The group's keys with their values as text, in the order the settings reader lists them.
    static QList<std::pair<QString, QString>> Group_Entries(QByteArrayView content,
                                                            const QString& group);

    // The text with one key of the group set to the value, or removed when there is none: its
    // first line takes the new entry, other lines of the same key go, a new key goes at the end
    // of the group's last section (a new section at the end when there is none). Every other byte
    // stays.
    static QByteArray With_Key(QByteArrayView content, const QString& group, const QString& key,
                               const std::optional<QString>& value);
};
