// Qt's own texts (standard buttons, the edit fields' menus) in Japanese, as
// the program's own texts are, whatever the locale. GUI thread, at start-up.
#pragma once

class QCoreApplication;
class QTranslator;

// Loads Qt's Japanese translation ("qtbase_ja" from Qt's translations
// directory) into app, which owns it. nullptr when it is not installed: Qt's
// texts then stay English, and nothing else changes.
QTranslator* InstallQtJapanese(QCoreApplication& app);
