#include "commandline.h"

#include "birthdays/dayannouncement.h"
#include "birthdays/exporttable.h"
#include "birthdays/importsheet.h"
#include "birthdays/rosterfiltermodel.h"
#include "calendar/calendarsql.h"
#include "calendarcommands.h"
#include "commandsupport.h"
#include "common/clock.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "common/runtimeerror.h"
#include "common/services.h"
#include "common/stationsettings.h"
#include "data/speechtables.h"
#include "data/tdm.h"
#include "speech/espeakvoiceengine.h"
#include "speech/pausesymbols.h"
#include "speech/readingrenderer.h"
#include "speech/spokenform.h"
#include "speech/voicesettings.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSqlTableModel>
#include <QTextStream>

namespace {

const QString Program = QStringLiteral("kelvora");

// The announcement a start-up on the clock's day composes into the (then empty) editor.
QString composeAnnouncement(TDM& tdm, const Clock& clock)
{
    const IniFile ini(IniFile::defaultPath());
    const AnnouncementSettings settings = AnnouncementSettings::read(ini);
    CompositionInputs inputs;
    inputs.readGroup = settings.readGroup;
    inputs.nextMonth = settings.nextMonth;
    inputs.mainread = settings.mainread;
    inputs.organisation = settings.organisation;
    inputs.today = clock.currentDate();
    // The calendar as the station would follow it: days off, catch-up, anniversaries, 29 February.
    const DayAnnouncement day = DayAnnouncements::forDay(settings.showdays, QString::number(settings.days), inputs,
                                                         CalendarCommands::queriesOf(tdm), IniFile::defaultPath(),
                                                         CalendarCommands::dayCalendarOf(tdm));
    return DayAnnouncements::editorTextAfter(day.composition, QString());
}

bool blank(const QString& text)
{
    return text.trimmed().isEmpty();
}

// The text a preview reads: the given one, or the announcement of the clock's day. Empty, with the
// reason on err (and what follows from it), when that day has nobody to greet.
QString previewText(TDM& tdm, const Clock& clock, const std::optional<QString>& given, QTextStream& err,
                    const QString& consequence)
{
    if (!given) {
        CalendarCommands::noteOlderFile(tdm, err);
    }
    const QString text = given ? *given : composeAnnouncement(tdm, clock);
    if (blank(text)) {
        err << Program << ": no announcement on " << clock.currentDate().toString(Qt::ISODate) << " (nobody to greet)"
            << consequence << Qt::endl;
        return QString();
    }
    return text;
}

// One reading as the station would make it from the program folder, read only: the pause symbols,
// the "%Date%" format, the chosen voice with its rate and volume, and what the voice is handed for
// each piece (the lexicon of draft.dat, or the built-in one when the file has none yet).
struct PreviewReading
{
    PauseSymbols pauses;
    int datetimetype = 1;
    EspeakVoiceEngine engine { nullptr }; // synthesis only: nothing is played
    SpokenForm spokenForm { &engine };

    // False (with the reason on err) when the voice engine cannot start.
    bool prepare(TDM& tdm, QTextStream& err)
    {
        const IniFile ini(IniFile::defaultPath());
        pauses.publish(
            std::make_shared<const PauseTable>(PauseTable::fromRows(PauseSymbols::readRows(tdm.q_delaytime()))));
        pauses.setMarkdelay(StationSettings::read(ini, StationSettings::Delay2));
        datetimetype = StationSettings::read(ini, StationSettings::Datetimetype);
        if (!engine.isAvailable()) {
            err << Program << ": the voice engine cannot start: " << engine.failure() << Qt::endl;
            return false;
        }
        if (VoiceSettings::apply(engine, ini) < 0) {
            err << Program << ": no voice is installed; the engine's own voice speaks" << Qt::endl;
        }
        const QSqlDatabase db = tdm.database();
        spokenForm.publish(std::make_shared<const Lexicon>(SpeechTables::lexicon(db), SpeechTables::readings(db)));
        return true;
    }

    // The reading's sound, handed to sink as it is made; each piece handed to the voice goes to handed
    // as well. Returns the length in samples.
    qint64 render(const QString& text, const QDateTime& start, const ReadingRenderer::Sink& sink,
                  QStringList* handed = nullptr)
    {
        ReadingRenderer renderer(
            [this, handed](const QString& piece) {
                if (handed && !blank(piece)) {
                    handed->append(piece);
                }
                return engine.synthesize(piece);
            },
            engine.sampleRate());
        return renderer.render(text, pauses, datetimetype, start, &spokenForm, sink);
    }
};

// A piece on one line: its line breaks and tabs are written as \n and \t (and a backslash doubled).
QString oneLine(const QString& piece)
{
    QString line;
    for (const QChar c : piece) {
        if (c == QLatin1Char('\\')) {
            line += QStringLiteral("\\\\");
        } else if (c == QLatin1Char('\n')) {
            line += QStringLiteral("\\n");
        } else if (c == QLatin1Char('\r')) {
            line += QStringLiteral("\\r");
        } else if (c == QLatin1Char('\t')) {
            line += QStringLiteral("\\t");
        } else {
            line += c;
        }
    }
    return line;
}

} // namespace

namespace {

// The options without a value: a command, a switch of --import or --holidays, or --minimized.
const QStringList Flags = { QStringLiteral("help"),
                            QStringLiteral("h"),
                            QStringLiteral("version"),
                            QStringLiteral("headless"),
                            QStringLiteral("announcement"),
                            QStringLiteral("voices"),
                            QStringLiteral("spoken"),
                            QStringLiteral("update"),
                            QStringLiteral("skip-duplicates"),
                            QStringLiteral("dry-run"),
                            QStringLiteral("minimized") };

// The commands, by the option's name as QCommandLineParser reports it.
const QHash<QString, CommandLine::Command>& commandOptions()
{
    static const QHash<QString, CommandLine::Command> commands = {
        { QStringLiteral("help"), CommandLine::Command::Help },
        { QStringLiteral("h"), CommandLine::Command::Help },
        { QStringLiteral("version"), CommandLine::Command::Version },
        { QStringLiteral("headless"), CommandLine::Command::Headless },
        { QStringLiteral("announcement"), CommandLine::Command::Announcement },
        { QStringLiteral("voices"), CommandLine::Command::Voices },
        { QStringLiteral("spoken"), CommandLine::Command::Spoken },
        { QStringLiteral("render"), CommandLine::Command::Render },
        { QStringLiteral("export"), CommandLine::Command::Export },
        { QStringLiteral("import"), CommandLine::Command::Import },
        { QStringLiteral("holidays"), CommandLine::Command::Holidays },
        { QStringLiteral("plan"), CommandLine::Command::Plan },
    };
    return commands;
}

QString spelt(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The text of --spoken is optional, which QCommandLineParser has no form for: it becomes a --text, the
// next argument unless that is an option, or what follows "=".
QStringList withSpokenText(const QStringList& arguments)
{
    QStringList normalized;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg.startsWith(QStringLiteral("--spoken="))) {
            normalized << QStringLiteral("--spoken") << QStringLiteral("--text=") + arg.mid(9);
        } else if (arg == QStringLiteral("--spoken") && i + 1 < arguments.size()
                   && !arguments.at(i + 1).startsWith(QStringLiteral("--"))) {
            normalized << arg << QStringLiteral("--text=") + arguments.at(++i);
        } else {
            normalized << arg;
        }
    }
    return normalized;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine line;
    auto fail = [&line](const QString& error) {
        line.m_error = error;
        return line;
    };

    // A value given to an option that takes none; what the parser would say in its own words.
    for (const QString& arg : arguments) {
        if (arg.startsWith(QStringLiteral("--")) && arg.contains(QLatin1Char('='))) {
            const QString name = arg.mid(2, arg.indexOf(QLatin1Char('=')) - 2);
            if (Flags.contains(name) && name != QStringLiteral("spoken")) {
                return fail(QStringLiteral("--%1 takes no value").arg(name));
            }
        }
    }

    QCommandLineParser parser;
    for (const QString& flag : Flags) {
        if (flag != QStringLiteral("h")) {
            parser.addOption(QCommandLineOption(
                flag == QStringLiteral("help") ? QStringList { QStringLiteral("h"), flag } : QStringList { flag }));
        }
    }
    const QCommandLineOption date(QStringLiteral("date"), QString(), QStringLiteral("D"));
    const QCommandLineOption text(QStringLiteral("text"), QString(), QStringLiteral("T"));
    const QCommandLineOption render(QStringLiteral("render"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption exportFile(QStringLiteral("export"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption importFile(QStringLiteral("import"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("F"));
    const QCommandLineOption holidaysFile(QStringLiteral("holidays"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption plan(QStringLiteral("plan"), QString(), QStringLiteral("YYYY-MM"));
    // Where the station's files live: beside any command.
    const QCommandLineOption folder(QStringLiteral("folder"), QString(), QStringLiteral("DIR"));
    parser.addOptions({ date, text, render, exportFile, importFile, format, holidaysFile, plan, folder });

    if (!parser.parse(QStringList { Program } + withSpokenText(arguments))) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            // As the user wrote it, value and all.
            const QString name = spelt(unknown.first());
            for (const QString& arg : arguments) {
                if (arg == name || arg.startsWith(name + QLatin1Char('='))) {
                    return fail(QStringLiteral("unknown argument \"%1\"").arg(arg));
                }
            }
            return fail(QStringLiteral("unknown argument \"%1\"").arg(name));
        }
        // The only other refusal: a value option at the end of the line.
        for (const QString& option : { QStringLiteral("date"), QStringLiteral("text"), QStringLiteral("render"),
                                       QStringLiteral("export"), QStringLiteral("import"), QStringLiteral("format"),
                                       QStringLiteral("holidays"), QStringLiteral("plan"), QStringLiteral("folder") }) {
            if (parser.errorText().contains(QLatin1Char('\'') + QStringLiteral("--") + option + QLatin1Char('\''))) {
                return fail(QStringLiteral("--%1 needs a value").arg(option));
            }
        }
        return fail(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty()) {
        return fail(QStringLiteral("unknown argument \"%1\"").arg(parser.positionalArguments().first()));
    }

    // One command at most; the second one named is the one refused.
    std::optional<Command> command;
    QStringList importSwitches;
    QStringList seen;
    for (const QString& name : parser.optionNames()) {
        const bool repeated = seen.contains(name);
        seen.append(name);
        if (const auto found = commandOptions().constFind(name); found != commandOptions().constEnd()) {
            if (command) {
                return fail(QStringLiteral("%1 cannot be combined with another command").arg(spelt(name)));
            }
            command = *found;
        } else if (repeated) {
            return fail(QStringLiteral("%1 is given twice").arg(spelt(name)));
        } else if (name == QStringLiteral("update") || name == QStringLiteral("skip-duplicates")
                   || name == QStringLiteral("dry-run")) {
            importSwitches.append(spelt(name));
        }
    }

    if (parser.isSet(date)) {
        const QString given = parser.value(date);
        line.m_date = QDate::fromString(given, QStringLiteral("yyyy-MM-dd"));
        if (!line.m_date.isValid() || given.size() != 10) {
            return fail(QStringLiteral("\"%1\" is not a date (YYYY-MM-DD)").arg(given));
        }
    }
    if (parser.isSet(text)) {
        line.m_text = parser.value(text);
    }
    if (parser.isSet(folder)) {
        const QString given = parser.value(folder);
        if (given.isEmpty()) {
            return fail(QStringLiteral("--folder needs the path of a folder"));
        }
        line.m_folder = QDir::cleanPath(QFileInfo(given).absoluteFilePath());
    }
    line.m_minimized = parser.isSet(QStringLiteral("minimized"));
    if (parser.isSet(render)) {
        line.m_wavPath = parser.value(render);
        if (line.m_wavPath.isEmpty()) {
            return fail(QStringLiteral("--render needs the path of a WAV file"));
        }
    }
    for (const QCommandLineOption* option : { &exportFile, &importFile }) {
        if (parser.isSet(*option)) {
            line.m_file = parser.value(*option);
            if (line.m_file.isEmpty()) {
                return fail(QStringLiteral("--%1 needs the path of a file").arg(option->names().first()));
            }
        }
    }
    if (parser.isSet(holidaysFile)) {
        line.m_file = parser.value(holidaysFile);
        if (line.m_file.isEmpty()) {
            return fail(QStringLiteral("--holidays needs the path of an .ics file"));
        }
    }
    if (parser.isSet(plan)) {
        const QString given = parser.value(plan);
        line.m_month = QDate::fromString(given + QStringLiteral("-01"), QStringLiteral("yyyy-MM-dd"));
        if (!line.m_month.isValid() || given.size() != 7) {
            return fail(QStringLiteral("\"%1\" is not a month (YYYY-MM)").arg(given));
        }
    }

    line.m_command = command.value_or(Command::Station);
    if (parser.isSet(date) && line.m_command != Command::Announcement && line.m_command != Command::Render
        && line.m_command != Command::Spoken) {
        return fail(QStringLiteral("--date goes only with --announcement, --render or --spoken"));
    }
    if (line.m_text && line.m_command != Command::Render && line.m_command != Command::Spoken) {
        return fail(QStringLiteral("--text goes only with --render"));
    }
    if (line.m_text && blank(*line.m_text)) {
        return fail(line.m_command == Command::Spoken ? QStringLiteral("the text of --spoken is empty")
                                                      : QStringLiteral("--text is empty"));
    }
    if (line.m_minimized && line.m_command != Command::Station) {
        return fail(QStringLiteral("--minimized goes only with the station's window (no other command)"));
    }
    if (parser.isSet(format) && line.m_command != Command::Export) {
        return fail(QStringLiteral("--format goes only with --export"));
    }
    if (importSwitches == QStringList { QStringLiteral("--dry-run") } && line.m_command == Command::Holidays) {
        line.m_dryRun = true;
        return line;
    }
    if (!importSwitches.isEmpty() && line.m_command != Command::Import) {
        return fail(QStringLiteral("%1 goes only with --import").arg(importSwitches.first()));
    }
    if (importSwitches.contains(QStringLiteral("--update"))
        && importSwitches.contains(QStringLiteral("--skip-duplicates"))) {
        return fail(QStringLiteral("--update and --skip-duplicates exclude each other"));
    }
    line.m_duplicates = importSwitches.contains(QStringLiteral("--update")) ? ImportPlan::Duplicates::Update
                                                                            : ImportPlan::Duplicates::Skip;
    line.m_dryRun = importSwitches.contains(QStringLiteral("--dry-run"));
    if (line.m_command == Command::Export) {
        const std::optional<QString> formatName
            = parser.isSet(format) ? std::optional<QString>(parser.value(format)) : std::nullopt;
        const std::optional<ExportFormat> chosen
            = formatName ? ExportWriters::formatFromName(*formatName) : ExportWriters::formatFromSuffix(line.m_file);
        if (!chosen) {
            return fail(formatName ? QStringLiteral("unknown format \"%1\" (xls, txt, csv, csv-utf8, html, rtf, xlsx)")
                                         .arg(*formatName)
                                   : QStringLiteral("the format of \"%1\" cannot be told from its name: give --format")
                                         .arg(line.m_file));
        }
        line.m_format = *chosen;
    }
    return line;
}

QString CommandLine::version()
{
    return QStringLiteral("Kelvora 2.0.0");
}

QString CommandLine::usage()
{
    return QStringLiteral("Usage: kelvora [command]\n"
                          "Without a command the station starts with its window.\n"
                          "\n"
                          "  --minimized                 start with the window hidden in the tray (autostart)\n"
                          "  --folder DIR                keep the station's files in DIR (beside any command)\n"
                          "  --headless                  run the station without any window or tray icon;\n"
                          "                              SIGTERM or SIGINT end it as its close button does\n"
                          "  --announcement [--date D]   print the announcement start-up composes on day D\n"
                          "                              (YYYY-MM-DD, default today)\n"
                          "  --voices                    list the installed voices; * marks the chosen one\n"
                          "  --render FILE.wav [--date D] [--text T]\n"
                          "                              write one reading of day D's announcement (or of T) to a\n"
                          "                              16-bit mono WAV file as the station speaks it\n"
                          "  --spoken [TEXT] [--date D]  print what the voice is handed for each piece of one\n"
                          "                              reading of TEXT (or of day D's announcement), a piece\n"
                          "                              a line: numbers, dates and times in words, and the\n"
                          "                              pinyin of the lexicon and of the names; line breaks\n"
                          "                              inside a piece are written as \\n\n"
                          "  --export FILE [--format F]  write the roster to FILE as the roster editor exports it;\n"
                          "                              F is xls, txt, csv, csv-utf8, html, rtf or xlsx (default:\n"
                          "                              from FILE's extension)\n"
                          "  --import FILE [--update|--skip-duplicates] [--dry-run]\n"
                          "                              add the people of FILE (xls, xlsx, csv, txt) to the roster;\n"
                          "                              people already there (same name and birthday) are skipped\n"
                          "                              or, with --update, updated; --dry-run writes nothing\n"
                          "  --holidays FILE.ics [--dry-run]\n"
                          "                              mark the days off (all-day events whose title holds 休 or\n"
                          "                              假) and working days (班) of an iCalendar file in the\n"
                          "                              station's calendar; --dry-run writes nothing\n"
                          "  --plan YYYY-MM              print each day of the month: broadcast or not and why,\n"
                          "                              and who would be greeted\n"
                          "  --version                   print the version\n"
                          "  --help                      print this text\n"
                          "\n"
                          "The station's files (setinfo.ini, draft.dat, mp3files, kelvora.log) are in the\n"
                          "program's folder when it holds setinfo.ini or draft.dat; otherwise in\n"
                          "$XDG_CONFIG_HOME/kelvora (settings), $XDG_DATA_HOME/kelvora (draft.dat, mp3files)\n"
                          "and $XDG_STATE_HOME/kelvora (the log); --folder DIR puts them all in DIR.\n"
                          "The preview commands and --export only read them. --import exits with 0 when the\n"
                          "people could be taken (rows it cannot take are listed), 1 when none could.\n");
}

int CommandLine::run(QTextStream& out, QTextStream& err, Clock& clock) const
{
    if (!isValid()) {
        err << Program << ": " << m_error << Qt::endl << Qt::endl << usage();
        err.flush();
        return Usage;
    }
    int code = Success;
    try {
        switch (m_command) {
        case Command::Help:
            out << usage();
            break;
        case Command::Version:
            out << version() << Qt::endl;
            break;
        case Command::Announcement:
            code = announcement(out, err, clock);
            break;
        case Command::Voices:
            code = voices(out, err, clock);
            break;
        case Command::Render:
            code = render(out, err, clock);
            break;
        case Command::Spoken:
            code = spoken(out, err, clock);
            break;
        case Command::Export:
            code = exportRoster(out, err, clock);
            break;
        case Command::Import:
            code = importRoster(out, err, clock);
            break;
        case Command::Holidays:
            code = CalendarCommands::holidays(m_file, m_dryRun, out, err, clock);
            break;
        case Command::Plan:
            code = CalendarCommands::plan(m_month, out, err, clock);
            break;
        case Command::Station:
        case Command::Headless:
            err << Program << ": the station is not a preview command" << Qt::endl;
            code = Usage;
            break;
        }
    } catch (const RuntimeError& error) {
        err << Program << ": " << error.message() << Qt::endl;
        code = Failure;
    }
    out.flush();
    err.flush();
    return code;
}

int CommandLine::announcement(QTextStream& out, QTextStream& err, Clock& clock) const
{
    DayClock day(m_date.isValid() ? m_date : clock.currentDate(), clock);
    TDM tdm(commandServices(day), &registerCalendarFunctions);
    if (!openCommandDatabase(tdm, err)) {
        return Failure;
    }
    const QString text = previewText(tdm, day, std::nullopt, err, QString());
    if (!text.isEmpty()) {
        out << text << Qt::endl;
    }
    return Success;
}

int CommandLine::voices(QTextStream& out, QTextStream& err, Clock&) const
{
    EspeakVoiceEngine engine(nullptr);
    const QStringList names = engine.voices();
    if (names.isEmpty()) {
        err << Program << ": no voice is installed"
            << (engine.failure().isEmpty() ? QString() : QStringLiteral(" (%1)").arg(engine.failure())) << Qt::endl;
        return Failure;
    }
    const VoiceSettings::Choice chosen
        = VoiceSettings::choose(IniFile(IniFile::defaultPath()), VoiceSettings::VoiceList::of(&engine));
    for (int i = 0; i < names.size(); ++i) {
        out << (i == chosen.index ? QStringLiteral("* ") : QStringLiteral("  ")) << i << "  " << names.at(i)
            << Qt::endl;
    }
    if (!chosen.note.isEmpty()) {
        err << Program << ": " << chosen.note << Qt::endl;
    }
    return Success;
}

int CommandLine::render(QTextStream& out, QTextStream& err, Clock& clock) const
{
    // The target first, so a wrong path costs no synthesis.
    ReadingRenderer::checkTarget(m_wavPath);

    DayClock day(m_date.isValid() ? m_date : clock.currentDate(), clock);
    TDM tdm(commandServices(day), &registerCalendarFunctions);
    if (!openCommandDatabase(tdm, err)) {
        return Failure;
    }
    const QString text = previewText(tdm, day, m_text, err, QStringLiteral("; nothing written"));
    if (text.isEmpty()) {
        return Failure;
    }
    PreviewReading reading;
    if (!reading.prepare(tdm, err)) {
        return Failure;
    }
    // The sound goes to the file as it is made, so a reading of any length needs little memory; the file
    // takes the place of an older one only once it is whole.
    WavFileWriter wav(m_wavPath, reading.engine.sampleRate());
    const qint64 samples = reading.render(text, day.now(), [&wav](const QByteArray& pcm) { wav.append(pcm); });
    wav.commit();
    out << QStringLiteral("%1: %2 s")
               .arg(m_wavPath, QString::number(double(samples) / reading.engine.sampleRate(), 'f', 2))
        << Qt::endl;
    return Success;
}

int CommandLine::spoken(QTextStream& out, QTextStream& err, Clock& clock) const
{
    DayClock day(m_date.isValid() ? m_date : clock.currentDate(), clock);
    TDM tdm(commandServices(day), &registerCalendarFunctions);
    if (!openCommandDatabase(tdm, err)) {
        return Failure;
    }
    const QString text = previewText(tdm, day, m_text, err, QString());
    if (text.isEmpty()) {
        return Success;
    }
    PreviewReading reading;
    if (!reading.prepare(tdm, err)) {
        return Failure;
    }
    // The reading is synthesised as the station would, so that each piece's "%Date%" is the moment the
    // station would say it.
    QStringList handed;
    reading.render(
        text, day.now(), [](const QByteArray&) {}, &handed);
    for (const QString& piece : std::as_const(handed)) {
        out << oneLine(piece) << Qt::endl;
    }
    return Success;
}

int CommandLine::exportRoster(QTextStream& out, QTextStream& err, Clock& clock) const
{
    TDM tdm(commandServices(clock), &registerCalendarFunctions);
    if (!openCommandDatabase(tdm, err)) {
        return Failure;
    }
    // The roster as the editor's grid shows it when it opens: its columns, widths and order.
    RosterFilterModel shown;
    shown.setSourceModel(tdm.Q_birthday2());
    ExportLayout layout;
    layout.name = QStringLiteral("DBGridEh1");
    for (int column = 0; column < RosterFilterModel::ColumnCount; ++column) {
        // A roster file without a column (made before it existed) has none to show, as in the grid.
        if (shown.sourceColumn(column) < 0) {
            continue;
        }
        layout.columns.append(column);
        layout.widths.append(RosterFilterModel::width(column));
    }
    ExportTable table = exportTableFromModel(shown, layout);
    table.created = clock.now();
    const ExportAlterations altered = ExportWriters::write(m_file, m_format, table);
    out << QStringLiteral("%1: %2 people written as %3")
               .arg(m_file)
               .arg(table.rows.size())
               .arg(ExportWriters::formatName(m_format))
        << Qt::endl;
    if (!altered.isEmpty()) {
        err << ExportWriters::alterationNotice(m_file, table, altered) << Qt::endl;
    }
    return Success;
}

int CommandLine::importRoster(QTextStream& out, QTextStream& err, Clock& clock) const
{
    ImportSheet sheet;
    try {
        sheet = ImportReaders::read(m_file);
    } catch (const RuntimeError& error) {
        err << Program << ": cannot import " << m_file << ": " << error.message() << Qt::endl;
        return Failure;
    }
    const ImportMapping mapping = RosterImport::guessMapping(sheet);
    if (mapping.headerRow < 0) {
        err << Program << ": " << m_file << " has no caption row naming its columns (姓名, 生日, 入职, 部门, 备注)"
            << "; nothing imported" << Qt::endl;
        return Failure;
    }
    TDM tdm(commandServices(clock), &registerCalendarFunctions);
    if (!openCommandDatabase(tdm, err, !m_dryRun)) {
        return Failure;
    }
    const QDate today = clock.currentDate();
    const ImportPlan plan = m_dryRun
        ? RosterImport::plan(sheet, mapping, RosterImport::rosterKeys(tdm.database()), today, m_duplicates)
        : RosterImport::apply(tdm.database(), sheet, mapping, today, m_duplicates);
    if (plan.rows.isEmpty()) {
        err << Program << ": " << m_file << " holds a caption row but no people; nothing imported" << Qt::endl;
        return Failure;
    }
    out << (m_dryRun ? QStringLiteral("试导入，名册未改动：") : QStringLiteral("导入完成：")) << plan.summary()
        << Qt::endl;
    const QStringList skipped = plan.skippedLines();
    for (const QString& line : skipped) {
        out << line << Qt::endl;
    }
    if (!skipped.isEmpty() && !sheet.note.isEmpty()) {
        err << Program << ": " << sheet.note << Qt::endl;
    }
    return plan.takesAnything() ? Success : Failure;
}
