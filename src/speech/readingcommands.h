#pragma once

#include "readingcontroller.h"

#include <QObject>

#include <functional>
#include <memory>

class Dialogs;
class MemoReadingEditor;
class QAbstractButton;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QSpinBox;

// The main window's controls that the reading commands use.
struct ReadingWidgets
{
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr; // hidden copy of Memo1's text
    QComboBox* flatComboBox1 = nullptr; // the voice list
    QAbstractButton* SB_play = nullptr;
    QAbstractButton* SB_stop = nullptr;
    QAbstractButton* SB_repeat1 = nullptr;
    QAbstractButton* sb_delay = nullptr;
    QSpinBox* SpinEdit1 = nullptr; // readtimes
    QSpinBox* SpinEdit2 = nullptr; // intervaltime, seconds
    QLabel* statusPanel0 = nullptr; // caret position
};

// The reading controls of the main window: the handlers of the play, stop and whole-text loop buttons,
// which call the reading controller it owns, the controls a reading locks, and the caret position in
// the status bar. Its destruction ends a reading in progress and waits for it.
class ReadingCommands final : public QObject, public ReadingView
{
    Q_OBJECT
public:
    // applyvoice assigns the voice list's choice to the engine; empty means the list's index as it
    // stands. spokenForm (may be null) turns each piece into what the voice is handed.
    ReadingCommands(const ReadingWidgets& widgets, const Services& services, ReadingState& state, PauseSymbols& pauses,
                    std::function<void()> applyvoice, const SpokenForm* spokenForm = nullptr,
                    QObject* parent = nullptr);
    ~ReadingCommands() override;

    ReadingController& controller() { return *m_controller; }

    void ToolButton9Click(); // SB_play
    void SB_stopClick();
    void SB_repeat1Click();
    void showcaretpos();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ReadingEditor& editor() override;
    void caretToStart() override;
    int readtimesField() const override;
    int intervaltimeField() const override;
    void setReadingControlsEnabled(bool enabled) override;
    void applyvoice() override;
    void stopServing() override;

    ReadingWidgets m_w;
    Dialogs& m_dialogs;
    VoiceEngine* m_voice;
    std::function<void()> m_applyvoice;
    std::unique_ptr<MemoReadingEditor> m_editor;
    // Declared last: destroyed first, it stops and joins a reading while the editor still exists.
    std::unique_ptr<ReadingController> m_controller;
};
