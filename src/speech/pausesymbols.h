#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

class QSqlTableModel;
class QVariant;

// One row of the table delaytime as the cutting rule sees it.
struct PauseRow
{
    QString descript;
    int delaytime = 0;
    bool candelete = false;
};

// The pause symbols and their pauses. Immutable: a save publishes a new table and the speaking
// thread picks it up between pieces, never in the middle of one.
class PauseTable
{
public:
    // Pauses are kept within 0..MaxPause ms, so a broken row can neither go negative nor stall a reading
    // for days.
    static constexpr int MaxPause = 1000000;

    PauseTable() = default;
    // delaysymbols: the symbols in row order; pauses: the pause of each symbol (the first row wins).
    PauseTable(const QString& delaysymbols, QHash<char32_t, int> pauses);
    // Rows with candelete contribute every character of their trimmed descript with the row's pause.
    // The mark "※" is a system symbol and never becomes a cut point.
    static PauseTable fromRows(const QList<PauseRow>& rows);

    QString delaysymbols() const { return m_delaysymbols; }
    bool isPauseSymbol(char32_t c) const { return m_pauses.contains(c); }
    // ms; 0 when c is not a pause symbol.
    int pauseFor(char32_t c) const { return m_pauses.value(c, 0); }
    int size() const { return static_cast<int>(m_pauses.size()); }

private:
    QString m_delaysymbols;
    QHash<char32_t, int> m_pauses;
};

using PauseTablePtr = std::shared_ptr<const PauseTable>;

// A piece to speak and the pause that follows it.
struct Piece
{
    QString text;
    int piecedelay = 0;
};

// Longest window the speaking thread hands to cutPiece, in ANSI (GB18030) bytes.
constexpr int PieceWindowBytes = 500;

// Cuts the start of a window (at most PieceWindowBytes ANSI bytes are considered, whole characters
// only): the piece ends after the first pause symbol, which it includes, and carries that symbol's
// pause; without a symbol the whole window is the piece with no pause. A point, colon or comma (".",
// ":", ",", "．", "：") standing between two digits is part of a number (36.5, 9:30, 1,000) and cuts
// nothing.
Piece cutPiece(const QString& window, const PauseTable& table);

// The mark "※": a piece holding it waits markdelay once before it is spoken, without the marks.
inline constexpr char16_t PauseMark = u'\u203B';
bool containsMark(const QString& text);
QString withoutMarks(const QString& text);

// The live pause symbols of the station, shared by the main window and the speaking thread.
class PauseSymbols final
{
public:
    PauseSymbols();

    // Thread-safe; never null.
    PauseTablePtr current() const;
    void publish(PauseTablePtr table);

    // The pause before a piece holding "※" (setting System/Delay2), ms.
    int markdelay() const { return m_markdelay.load(); }
    void setMarkdelay(int ms);

    // Stores a grid edit still pending on the query, then rebuilds the table from its rows in order and
    // publishes it. Throws RuntimeError with the database's text when the pending edit cannot be stored;
    // the published table then stays as it was.
    void getdelaystring(QSqlTableModel* q_delaytime);

    // The rows of the query in its order (all of them, fetching what the model has not loaded yet).
    static QList<PauseRow> readRows(QSqlTableModel* q_delaytime);

private:
    mutable std::mutex m_mutex;
    PauseTablePtr m_table;
    std::atomic<int> m_markdelay { 800 };
};
