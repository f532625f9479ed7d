#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// The seven text encodings a user can choose, identified by the numbers that the
// "FileEncoding" setting stores. Decoding is strict: a byte sequence that is not
// valid in the encoding fails the whole decode instead of being replaced.
class TextEncoding
{
public:
    enum Number {
        UTF8 = 4,
        ISOLatin1 = 5,
        ISOLatin2 = 9,
        WindowsCP1251 = 11,
        WindowsCP1252 = 12,
        WindowsCP1250 = 15,
        MacOSRoman = 30,
    };

    struct Choice
    {
        QString label;
        int number;
        const char *characterSet;
    };

    // In the order the preferences offer them.
    static const QList<Choice> &choices();
    static bool isKnown(int number);
    // The label shown to the user ("Unicode UTF-8"), or an empty string for an unknown number.
    static QString label(int number);
    // The number of an encoding as users name it in a file or a package option
    // ("UTF-8", "utf8", "latin1", "ISO-8859-2", "cp1250", "applemac", or the label
    // shown above), ignoring case, spaces, hyphens and underscores; none for a name
    // of none of the seven.
    static std::optional<int> numberForName(QStringView name);

    // None when the bytes are not valid in the encoding or the number is unknown.
    static std::optional<QString> decode(const QByteArray &bytes, int number);
    // None when the text holds a character the encoding cannot represent: nothing
    // a user typed is ever replaced behind their back.
    static std::optional<QByteArray> encode(const QString &text, int number);
};
