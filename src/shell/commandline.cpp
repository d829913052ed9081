#include "commandline.h"

#include "birthdays/dayannouncement.h"
#include "birthdays/exporttable.h"
#include "birthdays/importsheet.h"
#include "birthdays/rosterfiltermodel.h"
#include "common/clock.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "common/runtimeerror.h"
#include "data/speechtables.h"
#include "data/tdm.h"
#include "speech/espeakvoiceengine.h"
#include "speech/pausesymbols.h"
#include "speech/readingrenderer.h"
#include "speech/spokenform.h"
#include "speech/voicesettings.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSqlTableModel>
#include <QTextStream>

namespace {

const QString Program = QStringLiteral("kelvora");

// The chosen day at the time of day the command runs: the day-window query, the ages and the
// composition see that day, as a start-up on it would.
class DayClock final : public Clock
{
public:
    explicit DayClock(const QDate& day)
        : m_now(day, Clock::currentTime())
        , m_previous(&Clock::instance())
    {
        Clock::setInstance(this);
    }
    ~DayClock() override { Clock::setInstance(m_previous); }
    QDateTime now() const override { return m_now; }
    void wait(int ms) override { m_previous->wait(ms); }
    void sleep(int ms) override { m_previous->sleep(ms); }

private:
    QDateTime m_now;
    Clock* m_previous;
};

// The announcement a start-up on the clock's day composes into the (then empty) editor.
QString composeAnnouncement(TDM& tdm)
{
    const IniFile ini(IniFile::defaultPath());
    const AnnouncementSettings settings = AnnouncementSettings::read(ini);
    CompositionInputs inputs;
    inputs.readGroup = settings.readGroup;
    inputs.nextMonth = settings.nextMonth;
    inputs.mainread = settings.mainread;
    inputs.organisation = settings.organisation;
    inputs.today = Clock::currentDate();
    BirthdayQueries queries;
    queries.monthDay
        = [&tdm](const QString& tokens, const QString& threshold) { return tdm.qry_month_day(tokens, threshold); };
    queries.month = [&tdm](const QString& month, const QString& threshold) { return tdm.qry_month(month, threshold); };
    const DayAnnouncement day = DayAnnouncements::forDay(settings.showdays, QString::number(settings.days), inputs,
                                                         queries, IniFile::defaultPath());
    return DayAnnouncements::editorTextAfter(day.composition, QString());
}

// Read-only for the previews and the export; the import writes.
bool openDatabase(TDM& tdm, QTextStream& err, bool forWriting = false)
{
    if (!QFileInfo::exists(TDM::databasePath())) {
        err << Program << ": " << TDM::databasePath() << " does not exist" << Qt::endl;
        return false;
    }
    if (!(forWriting ? tdm.openForWriting() : tdm.openReadOnly())) {
        err << Program << ": cannot open the database " << tdm.failure() << Qt::endl;
        return false;
    }
    return true;
}

bool blank(const QString& text)
{
    return text.trimmed().isEmpty();
}

// The text a preview reads: the given one, or the announcement of the clock's day. Empty, with the
// reason on err (and what follows from it), when that day has nobody to greet.
QString previewText(TDM& tdm, const std::optional<QString>& given, QTextStream& err, const QString& consequence)
{
    const QString text = given ? *given : composeAnnouncement(tdm);
    if (blank(text)) {
        err << Program << ": no announcement on " << Clock::currentDate().toString(Qt::ISODate) << " (nobody to greet)"
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
    EspeakVoiceEngine engine;
    SpokenForm spokenForm { &engine };

    // False (with the reason on err) when the voice engine cannot start.
    bool prepare(TDM& tdm, QTextStream& err)
    {
        const IniFile ini(IniFile::defaultPath());
        pauses.publish(
            std::make_shared<const PauseTable>(PauseTable::fromRows(PauseSymbols::readRows(tdm.q_delaytime()))));
        pauses.setMarkdelay(ini.readInteger(QStringLiteral("System"), QStringLiteral("Delay2"), 800));
        datetimetype = ini.readInteger(QStringLiteral("Speaker"), QStringLiteral("Datetimetype"), 1);
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

    // The reading's sound; each piece handed to the voice goes to handed as well.
    QByteArray render(const QString& text, QStringList* handed = nullptr)
    {
        ReadingRenderer renderer(
            [this, handed](const QString& piece) {
                if (handed && !blank(piece)) {
                    handed->append(piece);
                }
                return engine.synthesize(piece);
            },
            engine.sampleRate());
        return renderer.render(text, pauses, datetimetype, Clock::currentDateTime(), &spokenForm);
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

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine line;
    std::optional<Command> command;
    bool dateGiven = false;
    std::optional<QString> formatName;
    QStringList importOptions; // --update, --skip-duplicates, --dry-run as given
    auto fail = [&line](const QString& error) {
        line.m_error = error;
        return line;
    };
    auto setCommand = [&](Command c, const QString& name) {
        if (command) {
            line.m_error = QStringLiteral("%1 cannot be combined with another command").arg(name);
            return false;
        }
        command = c;
        return true;
    };

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString arg = arguments.at(i);
        std::optional<QString> inlineValue;
        if (arg.startsWith(QStringLiteral("--")) && arg.contains(QLatin1Char('='))) {
            inlineValue = arg.mid(arg.indexOf(QLatin1Char('=')) + 1);
            arg = arg.left(arg.indexOf(QLatin1Char('=')));
        }
        // The value of an option: after "=" or the next argument.
        auto value = [&](QString* out) {
            if (inlineValue) {
                *out = *inlineValue;
                return true;
            }
            if (i + 1 >= arguments.size()) {
                line.m_error = QStringLiteral("%1 needs a value").arg(arg);
                return false;
            }
            *out = arguments.at(++i);
            return true;
        };
        const bool takesValue = arg == QStringLiteral("--date") || arg == QStringLiteral("--text")
            || arg == QStringLiteral("--render") || arg == QStringLiteral("--spoken")
            || arg == QStringLiteral("--export") || arg == QStringLiteral("--import")
            || arg == QStringLiteral("--format") || arg == QStringLiteral("--folder");
        if (inlineValue && !takesValue) {
            return fail(QStringLiteral("%1 takes no value").arg(arg));
        }

        // The commands that take nothing more.
        static const QHash<QString, Command> plainCommands = {
            { QStringLiteral("--help"), Command::Help },
            { QStringLiteral("-h"), Command::Help },
            { QStringLiteral("--version"), Command::Version },
            { QStringLiteral("--headless"), Command::Headless },
            { QStringLiteral("--announcement"), Command::Announcement },
            { QStringLiteral("--voices"), Command::Voices },
        };
        if (arg == QStringLiteral("--spoken")) {
            // Its text is optional: the next argument unless it is an option.
            if (!setCommand(Command::Spoken, arg)) {
                return line;
            }
            std::optional<QString> text = inlineValue;
            if (!text && i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(QStringLiteral("--"))) {
                text = arguments.at(++i);
            }
            if (text && line.m_text) {
                return fail(QStringLiteral("--text is given twice"));
            }
            if (text) {
                line.m_text = text;
            }
            continue;
        }
        if (const auto plain = plainCommands.constFind(arg); plain != plainCommands.constEnd()) {
            if (!setCommand(*plain, arg)) {
                return line;
            }
        } else if (arg == QStringLiteral("--render")) {
            if (!setCommand(Command::Render, arg) || !value(&line.m_wavPath)) {
                return line;
            }
            if (line.m_wavPath.isEmpty()) {
                return fail(QStringLiteral("--render needs the path of a WAV file"));
            }
        } else if (arg == QStringLiteral("--export") || arg == QStringLiteral("--import")) {
            if (!setCommand(arg == QStringLiteral("--export") ? Command::Export : Command::Import, arg)
                || !value(&line.m_file)) {
                return line;
            }
            if (line.m_file.isEmpty()) {
                return fail(QStringLiteral("%1 needs the path of a file").arg(arg));
            }
        } else if (arg == QStringLiteral("--format")) {
            QString name;
            if (formatName) {
                return fail(QStringLiteral("--format is given twice"));
            }
            if (!value(&name)) {
                return line;
            }
            formatName = name;
        } else if (arg == QStringLiteral("--update") || arg == QStringLiteral("--skip-duplicates")
                   || arg == QStringLiteral("--dry-run")) {
            if (importOptions.contains(arg)) {
                return fail(QStringLiteral("%1 is given twice").arg(arg));
            }
            importOptions.append(arg);
        } else if (arg == QStringLiteral("--folder") || arg == QStringLiteral("--minimized")) {
            // Where the station's files live, and how its window starts: beside any command.
            if (arg == QStringLiteral("--minimized")) {
                if (line.m_minimized) {
                    return fail(QStringLiteral("--minimized is given twice"));
                }
                line.m_minimized = true;
                continue;
            }
            QString folder;
            if (!line.m_folder.isEmpty()) {
                return fail(QStringLiteral("--folder is given twice"));
            }
            if (!value(&folder)) {
                return line;
            }
            if (folder.isEmpty()) {
                return fail(QStringLiteral("--folder needs the path of a folder"));
            }
            line.m_folder = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
        } else if (arg == QStringLiteral("--date")) {
            QString text;
            if (dateGiven) {
                return fail(QStringLiteral("--date is given twice"));
            }
            if (!value(&text)) {
                return line;
            }
            dateGiven = true;
            line.m_date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
            if (!line.m_date.isValid() || text.size() != 10) {
                return fail(QStringLiteral("\"%1\" is not a date (YYYY-MM-DD)").arg(text));
            }
        } else if (arg == QStringLiteral("--text")) {
            QString text;
            if (line.m_text) {
                return fail(QStringLiteral("--text is given twice"));
            }
            if (!value(&text)) {
                return line;
            }
            line.m_text = text;
        } else {
            return fail(QStringLiteral("unknown argument \"%1\"").arg(arguments.at(i)));
        }
    }

    line.m_command = command.value_or(Command::Station);
    if (dateGiven && line.m_command != Command::Announcement && line.m_command != Command::Render
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
    if (formatName && line.m_command != Command::Export) {
        return fail(QStringLiteral("--format goes only with --export"));
    }
    if (!importOptions.isEmpty() && line.m_command != Command::Import) {
        return fail(QStringLiteral("%1 goes only with --import").arg(importOptions.first()));
    }
    if (importOptions.contains(QStringLiteral("--update"))
        && importOptions.contains(QStringLiteral("--skip-duplicates"))) {
        return fail(QStringLiteral("--update and --skip-duplicates exclude each other"));
    }
    line.m_duplicates = importOptions.contains(QStringLiteral("--update")) ? ImportPlan::Duplicates::Update
                                                                           : ImportPlan::Duplicates::Skip;
    line.m_dryRun = importOptions.contains(QStringLiteral("--dry-run"));
    if (line.m_command == Command::Export) {
        const std::optional<ExportFormat> format
            = formatName ? ExportWriters::formatFromName(*formatName) : ExportWriters::formatFromSuffix(line.m_file);
        if (!format) {
            return fail(formatName ? QStringLiteral("unknown format \"%1\" (xls, txt, csv, csv-utf8, html, rtf, xlsx)")
                                         .arg(*formatName)
                                   : QStringLiteral("the format of \"%1\" cannot be told from its name: give --format")
                                         .arg(line.m_file));
        }
        line.m_format = *format;
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

int CommandLine::run(QTextStream& out, QTextStream& err) const
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
            code = announcement(out, err);
            break;
        case Command::Voices:
            code = voices(out, err);
            break;
        case Command::Render:
            code = render(out, err);
            break;
        case Command::Spoken:
            code = spoken(out, err);
            break;
        case Command::Export:
            code = exportRoster(out, err);
            break;
        case Command::Import:
            code = importRoster(out, err);
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

int CommandLine::announcement(QTextStream& out, QTextStream& err) const
{
    const DayClock clock(m_date.isValid() ? m_date : Clock::currentDate());
    TDM tdm;
    if (!openDatabase(tdm, err)) {
        return Failure;
    }
    const QString text = previewText(tdm, std::nullopt, err, QString());
    if (!text.isEmpty()) {
        out << text << Qt::endl;
    }
    return Success;
}

int CommandLine::voices(QTextStream& out, QTextStream& err) const
{
    EspeakVoiceEngine engine;
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

int CommandLine::render(QTextStream& out, QTextStream& err) const
{
    // The target first, so a wrong path costs no synthesis.
    ReadingRenderer::checkTarget(m_wavPath);

    const DayClock clock(m_date.isValid() ? m_date : Clock::currentDate());
    TDM tdm;
    if (!openDatabase(tdm, err)) {
        return Failure;
    }
    const QString text = previewText(tdm, m_text, err, QStringLiteral("; nothing written"));
    if (text.isEmpty()) {
        return Failure;
    }
    PreviewReading reading;
    if (!reading.prepare(tdm, err)) {
        return Failure;
    }
    const QByteArray pcm = reading.render(text);
    ReadingRenderer::writeWav(m_wavPath, pcm, reading.engine.sampleRate());
    out << QStringLiteral("%1: %2 s")
               .arg(m_wavPath, QString::number(double(pcm.size() / 2) / reading.engine.sampleRate(), 'f', 2))
        << Qt::endl;
    return Success;
}

int CommandLine::spoken(QTextStream& out, QTextStream& err) const
{
    const DayClock clock(m_date.isValid() ? m_date : Clock::currentDate());
    TDM tdm;
    if (!openDatabase(tdm, err)) {
        return Failure;
    }
    const QString text = previewText(tdm, m_text, err, QString());
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
    reading.render(text, &handed);
    for (const QString& piece : std::as_const(handed)) {
        out << oneLine(piece) << Qt::endl;
    }
    return Success;
}

int CommandLine::exportRoster(QTextStream& out, QTextStream& err) const
{
    TDM tdm;
    if (!openDatabase(tdm, err)) {
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
    const ExportTable table = exportTableFromModel(shown, layout);
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

int CommandLine::importRoster(QTextStream& out, QTextStream& err) const
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
    TDM tdm;
    if (!openDatabase(tdm, err, !m_dryRun)) {
        return Failure;
    }
    const QDate today = Clock::currentDate();
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
