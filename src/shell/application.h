#pragma once

#include <QApplication>

class Dialogs;

// The application object: a failure that escaped a handler ends in the error box, never in the
// event loop, and the program goes on.
class KelvoraApplication final : public QApplication
{
    Q_OBJECT
public:
    KelvoraApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // Where the error box goes (the program's dialogs, which outlive the event loop); standard error
    // until set.
    void setDialogs(Dialogs* dialogs) { m_dialogs = dialogs; }

    // Qt's own texts (the buttons of the message boxes, the file dialogs, the editors' menus) in
    // Chinese, as every text of the station is. False when the translation is not installed.
    static bool installQtTranslation(QCoreApplication* app);

private:
    Dialogs* m_dialogs = nullptr;
};
