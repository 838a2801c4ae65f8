#pragma once

class QCoreApplication;

// Qt's own texts (the standard context menus, the file dialog, the buttons of message boxes) in
// Russian, the language of the program's own texts, so that one language shows.
class ToolkitTranslation {
  public:
    // Installs Qt's Russian translation from Qt's translations folder into the application. False
    // when it is not installed there (Debian's qt6-translations-l10n): Qt's texts stay English.
    static bool Install(QCoreApplication& application);
};
