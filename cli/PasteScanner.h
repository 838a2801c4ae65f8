#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>

// A single pass over a paste that tells which conversion steps can change it, so that a paste
// which needs no cleaning and cannot be base64 skips those steps. Which characters matter is
// learnt from the conversion's own functions, one character at a time, when the scanner is built.
class PasteScanner {
  public:
    PasteScanner();

    struct Traits {
        bool Needs_Cleaning = false; // holds a character that Clean_Input removes
        bool May_Be_Base64 = false;  // holds a character that makes Detect_Base64 match
        bool Exact = true; // every character was classified: May_Be_Base64 is what it finds
    };

    // Characters beyond ASCII are not classified: they set both traits, and the conversion's own
    // functions decide.
    Traits Scan(QStringView paste) const;

    // Sets `text` to the UTF-8 line, reusing its storage when the line is plain ASCII, and
    // returns the line's traits.
    Traits Assign_Utf8(QString& text, QByteArrayView line) const;

  private:
    enum : std::uint8_t { Cleaned = 1, Base64_Marker = 2 };
    std::array<std::uint8_t, 128> Classes{};
    // Hexadecimal digits have neither trait, so a line made of them alone can skip the table.
    bool Hex_Digits_Plain = false;
};
