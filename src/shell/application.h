#pragma once

#include <QApplication>

// The application object: a failure that escaped a handler ends in the error box, never in the
// event loop, and the program goes on.
class KelvoraApplication final : public QApplication
{
    Q_OBJECT
public:
    KelvoraApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
