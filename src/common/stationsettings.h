#pragma once

#include <QStringView>

#include <array>
#include <climits>

class IniChanges;
class IniFile;
class QString;

// Every key of setinfo.ini in one place: its section, name, form, default and the range its control
// allows, with the part of the station that owns it. Readers and writers name the keys from here;
// nobody spells a key or repeats a default elsewhere.
namespace StationSettings {

struct IntegerKey
{
    QStringView section;
    QStringView name;
    int defaultValue;
    int minimum;
    int maximum;
};

struct BooleanKey
{
    QStringView section;
    QStringView name;
    bool defaultValue;
};

struct TextKey
{
    QStringView section;
    QStringView name;
    QStringView defaultValue;
};

inline constexpr QStringView Speaker = u"Speaker";
inline constexpr QStringView System = u"System";
inline constexpr QStringView Calendar = u"Calendar";
inline constexpr QStringView WindowSection = u"Window";

// [Speaker]: the voice panel, saved when the program ends.
inline constexpr IntegerKey VoiceIndex { Speaker, u"Speaker", 0, INT_MIN, INT_MAX }; // position in the voice list
inline constexpr TextKey VoiceName { Speaker, u"VoiceName", u"" }; // the engine's name of that voice
inline constexpr IntegerKey Rate { Speaker, u"Rate", 2, -10, 15 }; // rate slider
// Volume slider; the default lies above the slider's range and shows as 100.
inline constexpr IntegerKey Volume { Speaker, u"Volume", 120, 0, 100 };
// The format of "%Date%" (date placeholder); not written by the station.
inline constexpr IntegerKey Datetimetype { Speaker, u"Datetimetype", 1, 1, 8 };

// [System]: the music panel, saved when the program ends (the folder by its own button).
inline constexpr IntegerKey MusicVolume { System, u"default_volume", 40, 0, 100 }; // bj_v
inline constexpr IntegerKey SpeakingVolume { System, u"default_volume1", 10, 0, 100 }; // bj_v1
inline constexpr IntegerKey Playmode { System, u"Playmode", 0, 0, 1 }; // ComBox1: in order, at random
// The background music folder; without it, "mp3files" beside the program (see musicFolder()).
inline constexpr TextKey Mp3bj { System, u"Mp3bj", u"" };

// [System]: the schedule panel, saved by its save button.
inline constexpr IntegerKey Readtimes { System, u"Readtimes", 2, 1, 1000000 }; // SpinEdit1
inline constexpr IntegerKey Intervaltime { System, u"Intervaltime", 60, 1, 10000000 }; // SpinEdit2, seconds
inline constexpr TextKey Mp3file { System, u"mp3file", u"" }; // edt_song, the designated song
// chk1 (Sunday) .. chk7 (Saturday): every weekday but Sunday broadcasts.
inline constexpr std::array<BooleanKey, 7> CheckBox { {
    { System, u"CheckBox1", false },
    { System, u"CheckBox2", true },
    { System, u"CheckBox3", true },
    { System, u"CheckBox4", true },
    { System, u"CheckBox5", true },
    { System, u"CheckBox6", true },
    { System, u"CheckBox7", true },
} };
inline constexpr TextKey Playtime1 { System, u"playtime1", u"09:00:00" }; // TimeEdit1, start of the range
inline constexpr TextKey Playtime2 { System, u"playtime2", u"14:00:00" }; // TimeEdit2, end of the range
inline constexpr TextKey Playtime { System, u"playtime", u"" }; // written beside playtime1; nobody reads it
// chk_rollover: a new day composes anew. On unless switched off: without it a station restarted in the
// afternoon would greet that day's people the next morning.
inline constexpr BooleanKey Rollover { System, u"Rollover", true };

// [System]: the birthday list and the composition's boxes on the schedule panel (saved with it).
inline constexpr IntegerKey Days { System, u"Days", 90, 0, INT_MAX }; // SpinEdit3, days since joining
inline constexpr IntegerKey Showdays { System, u"Showdays", 1, 0, 3 }; // SpinEdit4, days around today
inline constexpr std::array<BooleanKey, 3> ReadAdd { {
    { System, u"Read_add1", false }, // chk_read1 .. chk_read3: the age groups' greetings
    { System, u"Read_add2", false },
    { System, u"Read_add3", false },
} };
// chk_next: next month's names too; start-up also writes back the value it read.
inline constexpr BooleanKey NextMonth { System, u"Next_month", true };

// [System]: the announcement content settings, saved by their save button.
// The fixed text. Start-up and the content settings share one default: a tab saved as it was shown
// leaves the announcement as it was (a default of its own, with a leading "的生日，", would have
// doubled the "生日，" that closes each age group).
inline constexpr TextKey Mainread { System, u"Mainread",
                                    u"在这里我们祝他生日快乐，感谢你们辛勤付出，公司将为你准备神秘小礼物一件，"
                                    u"请赶快来领取吧！" };
inline constexpr TextKey Company { System, u"Company", u"" }; // the organisation's name (edt_user)

// [Addread1] .. [Addread3]: the three age groups of the content settings.
struct AgeGroupKeys
{
    TextKey addtext; // the group's greeting
    IntegerKey agegroup; // upper age bound
    BooleanKey readage; // speak the person's age
};
inline constexpr std::array<AgeGroupKeys, 3> AgeGroups { {
    { { u"Addread1", u"addtext", u"" }, { u"Addread1", u"Agegroup", 20, 1, 100 }, { u"Addread1", u"Readage", false } },
    { { u"Addread2", u"addtext", u"" }, { u"Addread2", u"Agegroup", 25, 1, 100 }, { u"Addread2", u"Readage", false } },
    { { u"Addread3", u"addtext", u"" }, { u"Addread3", u"Agegroup", 50, 1, 100 }, { u"Addread3", u"Readage", false } },
} };

// [System]: the pause settings, saved by their save button.
inline constexpr IntegerKey Delay2 { System, u"Delay2", 800, 0, 1000000 }; // ms before a piece with "※"

// [System]: the installed-voices notice, saved when it closes.
inline constexpr BooleanKey TtsInformation { System, u"Tts_information", false }; // not shown at start-up

// [Calendar]: the catch-up and the work anniversaries, saved by the content tab's save button.
// People whose birthday fell on a day without a broadcast are greeted on the next broadcast day.
inline constexpr BooleanKey CatchUp { Calendar, u"CatchUp", true };
// Their sentence; {姓名} stands for their names. Stored with its line breaks escaped.
inline constexpr TextKey CatchUpText { Calendar, u"CatchUpText",
                                       u"前几天过生日的同事有：{姓名}，我们也祝他们生日快乐！" };
inline constexpr BooleanKey Anniversary { Calendar, u"Anniversary", false }; // work anniversaries
// The year counts greeted, ascending, comma-separated, each within 1..MaxAnniversaryYears.
inline constexpr TextKey AnniversaryYears { Calendar, u"AnniversaryYears", u"1,3,5,10,15,20,25,30" };
inline constexpr int MaxAnniversaryYears = 100;
// Their sentence; {姓名} and {N} stand for the names and the years. Stored with its line breaks escaped.
inline constexpr TextKey AnniversaryText { Calendar, u"AnniversaryText",
                                           u"今天也是{姓名}加入公司{N}周年的日子，感谢一路同行！" };

// [Calendar]: the holiday tab, saved by its save button.
// The day of people born on 29 February in a common year: "02-28" or "03-01" (anything else: 02-28).
inline constexpr TextKey LeapDay { Calendar, u"LeapDay", u"02-28" };
inline constexpr BooleanKey TelltimeOnDaysOff { Calendar, u"TelltimeOnDaysOff", false }; // time announcements
// [Window]: the main window on the desktop, a section of its own so the older sections stay as they
// were. Its normal (not maximised) geometry in device-independent pixels, saved when it hides to the
// tray and when the program ends; a width or height of 0 means none stored.
inline constexpr IntegerKey WindowLeft { WindowSection, u"Left", 0, INT_MIN, INT_MAX };
inline constexpr IntegerKey WindowTop { WindowSection, u"Top", 0, INT_MIN, INT_MAX };
inline constexpr IntegerKey WindowWidth { WindowSection, u"Width", 0, 0, INT_MAX };
inline constexpr IntegerKey WindowHeight { WindowSection, u"Height", 0, 0, INT_MAX };
inline constexpr BooleanKey WindowMaximized { WindowSection, u"Maximized", false };
// The start-up tab: start with the window hidden in the tray, as --minimized does.
inline constexpr BooleanKey StartHidden { WindowSection, u"StartHidden", false };
// Written once the first close to the tray has said that the station keeps running.
inline constexpr BooleanKey TrayNoticeShown { WindowSection, u"TrayNoticeShown", false };

// The stored value, or the key's default when the key is missing or not a number.
int read(const IniFile& ini, const IntegerKey& key);
// The same held within the key's range (what the key's control can show).
int readWithin(const IniFile& ini, const IntegerKey& key);
bool read(const IniFile& ini, const BooleanKey& key);
QString read(const IniFile& ini, const TextKey& key);
// With a default of the reader's own (a text whose default depends on who reads it).
QString read(const IniFile& ini, const TextKey& key, const QString& defaultValue);
bool has(const IniFile& ini, const TextKey& key);

void set(IniChanges& changes, const IntegerKey& key, int value);
void set(IniChanges& changes, const BooleanKey& key, bool value);
void set(IniChanges& changes, const TextKey& key, const QString& value);

// The background music folder: Mp3bj when it names a folder that exists, else "mp3files" of the
// program folder when that exists (so a fresh install plays the music shipped there), else the
// program folder.
QString musicFolder(const IniFile& ini, const QString& programFolder);

} // namespace StationSettings
