#include "readingcommands.h"

#include "common/errorguard.h"
#include "common/services.h"
#include "memoreadingeditor.h"
#include "voiceengine.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>

ReadingCommands::ReadingCommands(const ReadingWidgets& widgets, const Services& services, ReadingState& state,
                                 PauseSymbols& pauses, std::function<void()> applyvoice, const SpokenForm* spokenForm,
                                 QObject* parent)
    : QObject(parent)
    , m_w(widgets)
    , m_dialogs(services.dialogsOrConsole())
    , m_voice(services.voice)
    , m_applyvoice(std::move(applyvoice))
    , m_editor(std::make_unique<MemoReadingEditor>(widgets.Memo1, widgets.Memo2, widgets.flatComboBox1,
                                                   [this] { setReadingControlsEnabled(true); }))
    , m_controller(std::make_unique<ReadingController>(*this, services, state, pauses, spokenForm))
{
    if (m_w.SB_play) {
        connect(m_w.SB_play, &QAbstractButton::clicked, this,
                [this] { guarded(m_dialogs, [this] { ToolButton9Click(); }); });
    }
    if (m_w.SB_stop) {
        connect(m_w.SB_stop, &QAbstractButton::clicked, this,
                [this] { guarded(m_dialogs, [this] { SB_stopClick(); }); });
    }
    if (m_w.SB_repeat1) {
        connect(m_w.SB_repeat1, &QAbstractButton::clicked, this,
                [this] { guarded(m_dialogs, [this] { SB_repeat1Click(); }); });
    }

    // Memo2 is a hidden copy of Memo1's text, aligned byte for byte, for the voice that reads it.
    if (m_w.Memo2) {
        m_w.Memo2->setPlainText(m_w.Memo1->toPlainText());
        connect(m_w.Memo1, &QPlainTextEdit::textChanged, this,
                [this] { m_w.Memo2->setPlainText(m_w.Memo1->toPlainText()); });
    }
    m_w.Memo1->installEventFilter(this);
    m_w.Memo1->viewport()->installEventFilter(this);
}

ReadingCommands::~ReadingCommands()
{
    m_controller.reset();
}

void ReadingCommands::ToolButton9Click()
{
    m_controller->play();
}

void ReadingCommands::SB_stopClick()
{
    m_controller->stop();
}

void ReadingCommands::SB_repeat1Click()
{
    m_controller->startRepetition();
}

ReadingEditor& ReadingCommands::editor()
{
    return *m_editor;
}

void ReadingCommands::caretToStart()
{
    QTextCursor cursor = m_w.Memo1->textCursor();
    cursor.setPosition(0);
    m_w.Memo1->setTextCursor(cursor);
}

int ReadingCommands::readtimesField() const
{
    return m_w.SpinEdit1 ? m_w.SpinEdit1->value() : 1;
}

int ReadingCommands::intervaltimeField() const
{
    return m_w.SpinEdit2 ? m_w.SpinEdit2->value() : 1;
}

void ReadingCommands::setReadingControlsEnabled(bool enabled)
{
    for (QWidget* w : { static_cast<QWidget*>(m_w.sb_delay), static_cast<QWidget*>(m_w.SpinEdit1),
                        static_cast<QWidget*>(m_w.SpinEdit2) }) {
        if (w) {
            w->setEnabled(enabled);
        }
    }
}

void ReadingCommands::applyvoice()
{
    if (m_applyvoice) {
        m_applyvoice();
    } else if (m_voice) {
        m_voice->setVoice(m_w.flatComboBox1->currentIndex());
    }
}

void ReadingCommands::stopServing()
{
    m_editor->abort();
}

void ReadingCommands::showcaretpos()
{
    if (!m_w.statusPanel0) {
        return;
    }
    m_w.statusPanel0->setText(ReadingController::caretPositionText(m_editor->caretLine(), m_editor->caretColumn()));
}

bool ReadingCommands::eventFilter(QObject* watched, QEvent* event)
{
    const bool released = (watched == m_w.Memo1 && event->type() == QEvent::KeyRelease)
        || (watched == m_w.Memo1->viewport() && event->type() == QEvent::MouseButtonRelease);
    if (released) {
        guarded(m_dialogs, [this] { showcaretpos(); });
    }
    return QObject::eventFilter(watched, event);
}
