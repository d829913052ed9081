#pragma once

#include "calendar/anniversaries.h"

#include <QDate>
#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

// One person to greet: the name as spoken, the age that chooses the group and the text spoken for it.
struct BirthdayEntry
{
    QString name;
    int age = 0;
    QString ageText;
};

// One age group's settings ([Addread1] .. [Addread3] of setinfo.ini).
struct AgeGroup
{
    int upperAge = 0; // Agegroup: inclusive upper bound
    bool readAge = false; // Readage: speak the age
    QString addtext; // the group's greeting text
};

// What the main window contributes to a composition, as its controls stand.
struct CompositionInputs
{
    std::array<bool, 3> readGroup {}; // chk_read1 .. chk_read3
    bool nextMonth = true; // chk_next
    QString mainread; // the fixed text
    QString organisation; // edt_user
    QDate today;
};

// Who else the announcement greets, beside the people of the age groups: the people whose birthday
// fell on a day without a broadcast (a sentence of their own after the age groups), and the work
// anniversaries (after the birthday part). Empty lists add nothing.
struct OtherGreetings
{
    QStringList catchUp; // names, trimmed, in order
    QString catchUpText; // {姓名} stands for the names
    QList<AnniversaryEntry> anniversaries;
    QString anniversaryText; // {姓名} and {N} stand for the names and the years

    bool isEmpty() const { return catchUp.isEmpty() && anniversaries.isEmpty(); }
};

// What becomes of the editor after a composition.
struct Composition
{
    enum Action {
        Write, // the editor's whole text becomes `text`
        Empty, // the editor is emptied (nobody to greet, next month's list asked for)
        Keep // the editor keeps its text (nobody to greet)
    };
    Action action = Keep;
    QString text;
    // The people given who fall into no age group (older than the last group's bound), as
    // "name（age岁）": they are not announced, and must not vanish without a word.
    QStringList leftOut;
};

// Turns the people to greet into the announcement: three age groups, each in its own form with its
// greeting, the fixed text, and optionally next month's names. The group settings are read from the
// settings file at every composition, so saved edits count at once.
class Composer final
{
public:
    // Names of next month's birthdays for a two-digit month, in the query's order. May throw; the
    // composition then ends without a result.
    using NextMonthNames = std::function<QStringList(const QString& month)>;

    explicit Composer(QString iniPath);

    static std::array<AgeGroup, 3> readGroups(const QString& iniPath);
    // The two-digit month after the day's month ("01" after December).
    static QString nextMonth(const QDate& today);
    // The joined group texts (BirthdayLine); empty when nobody falls into a group.
    static QString birthdayLine(const QList<BirthdayEntry>& entries, const std::array<AgeGroup, 3>& groups,
                                const std::array<bool, 3>& readGroup);
    // The entries that join no group, as Composition::leftOut names them.
    static QStringList leftOut(const QList<BirthdayEntry>& entries, const std::array<AgeGroup, 3>& groups);

    // The people of a day-window result whose birthday is on the day, in result order; a row whose
    // age is missing or not a number cannot be grouped and is left out.
    static QList<BirthdayEntry> entriesOn(const QList<QSqlRecord>& result, const QDate& day);

    // The catch-up sentence: the template with the names joined by "、"; empty without names.
    static QString catchUpSentence(const QStringList& names, const QString& text);
    // One sentence per year count, ascending, the names of each joined by "、".
    static QString anniversarySentences(const QList<AnniversaryEntry>& entries, const QString& text);

    // "今天是：" + organisation + "员工，" + the age groups + the catch-up sentence + the fixed text, then
    // the anniversaries, then next month's names. With nobody in a group and nobody caught up, the
    // opening and the fixed text are left out; with nobody at all the editor keeps or loses its text
    // as before.
    Composition compose(const QList<BirthdayEntry>& entries, const CompositionInputs& inputs,
                        const NextMonthNames& nextMonthNames, const OtherGreetings& others = {}) const;

private:
    QString m_iniPath;
};
