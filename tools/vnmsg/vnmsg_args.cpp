#include "vnmsg_args.h"

#include <QMap>

#include <algorithm>

using namespace VNOrvak;
using namespace Qt::StringLiterals;

const char kVnmsgUsage[] =
    "usage: vnmsg COMMAND [ARGS]\n"
    "  or:  vnmsg COMMAND --help\n"
    "  or:  vnmsg --version\n"
    "\n"
    "An administrator's view of a VN-Orvak installation and its shared messages\n"
    "folder. Where DIR is optional it defaults to the messages folder of the\n"
    "installation this workstation finds (see \"vnmsg env\").\n"
    "\n"
    "commands:\n"
    "  list [DIR] [--entity ID] [--new|--heard] [--json|--csv]\n"
    "                         one row per message: entity, new or heard, call\n"
    "                         date, length, size and name; other files apart\n"
    "  mark-heard NAME... [--dir DIR]\n"
    "                         give new messages their heard names\n"
    "  mark-new NAME... [--dir DIR]\n"
    "                         give heard messages their new names again\n"
    "  export NAME --wav OUT [--dir DIR]\n"
    "                         write a message as a 16-bit WAV file\n"
    "  play NAME [--dir DIR]  play a message on the sound card\n"
    "  purge --older-than DAYS [--include-new] [--dry-run] [--dir DIR]\n"
    "                         remove heard messages called in before DAYS days\n"
    "  log [--since DATE] [--follow] [--port N]\n"
    "                         the error log (or port N's log), one entry a line\n"
    "  heard [--entity ID] [--since DATE] [--json]\n"
    "                         which workstation marked which message heard, when\n"
    "  env [--program NAME]   the installation this workstation finds\n"
    "  scan DIR [--now \"YYYY-MM-DD HH:MM:SS\"] [--entity ID]...\n"
    "                         poll DIR once as a control would; print the list,\n"
    "                         the counts and, for each ID, the entity's messages\n"
    "  entities DIR           one line per entity: messages, new and heard\n"
    "  make-demo DIR [--route auto|soundcard|telephone] [--voice auto|speech|tone]\n"
    "                [--time-scale SECONDS]\n"
    "                         make a demo installation in DIR\n"
    "  help                   show this text\n"
    "\n"
    "Exit status: 0 done, 1 failed (a message on standard error, or a failing\n"
    "line per name), 2 a bad command line, 3 the folder or the installation is\n"
    "missing.\n"
    "\n"
    "examples:\n"
    "  vnmsg list --entity 201 --new\n"
    "  vnmsg mark-new MA000000201A\n"
    "  vnmsg export NA000000201A --wav /tmp/message.wav\n"
    "  vnmsg purge --older-than 90 --dry-run\n"
    "  vnmsg heard --since 2026-03-01\n";

namespace
{

const QStringList kCommands = {u"list"_s, u"mark-heard"_s, u"mark-new"_s, u"export"_s,
                               u"play"_s, u"purge"_s,      u"log"_s,      u"heard"_s,
                               u"env"_s,  u"scan"_s,       u"entities"_s, u"make-demo"_s};

const QMap<QString, QString> kHelp = {
    {u"list"_s, u"usage: vnmsg list [DIR] [--entity ID] [--new|--heard] [--json|--csv]\n"
                "\n"
                "Lists the messages of the messages folder DIR (default: the installation's),\n"
                "one row each: entity, new or heard, call date, length (m:ss at the\n"
                "installation's message rate), size in bytes and name, by entity. Files that\n"
                "are no messages (other names) are listed apart.\n"
                "\n"
                "  --entity ID   only this entity's messages (up to nine digits)\n"
                "  --new         only new messages;  --heard  only heard ones\n"
                "  --json        one JSON document;  --csv    comma-separated values\n"
                "\n"
                "examples:\n"
                "  vnmsg list\n"
                "  vnmsg list /srv/vnt/Data/messages --entity 201 --new\n"
                "  vnmsg list --json > messages.json"_s},
    {u"mark-heard"_s,
     u"usage: vnmsg mark-heard NAME... [--dir DIR]\n"
     "\n"
     "Gives each new message NAME (\"NA000000201A\" or its file name) its heard\n"
     "name, as a workstation does after playing it: never replacing another file,\n"
     "safe while workstations mark the same message. One line per name with its\n"
     "outcome; the exit status is 1 when any name failed. The mark goes to the\n"
     "installation's heard log.\n"
     "\n"
     "  --dir DIR     the messages folder (default: the installation's)\n"
     "\n"
     "examples:\n"
     "  vnmsg mark-heard NA000000201A NA000000201B\n"
     "  vnmsg mark-heard NA000000201A.vox --dir /srv/vnt/Data/messages"_s},
    {u"mark-new"_s, u"usage: vnmsg mark-new NAME... [--dir DIR]\n"
                    "\n"
                    "Gives each heard message NAME (\"MA000000201A\" or its file name, or its new\n"
                    "name) its new name again, so that workstations offer it as new. The same\n"
                    "rules as marking heard: no file is replaced, a message marked at the same\n"
                    "instant by a workstation is left to it. One line per name; exit status 1\n"
                    "when any failed.\n"
                    "\n"
                    "  --dir DIR     the messages folder (default: the installation's)\n"
                    "\n"
                    "examples:\n"
                    "  vnmsg mark-new MA000000201A\n"
                    "  vnmsg mark-new MA000000201A MA000000202C --dir ./messages"_s},
    {u"export"_s, u"usage: vnmsg export NAME --wav OUT [--dir DIR]\n"
                  "\n"
                  "Decodes the message NAME and writes it to OUT as a 16-bit mono WAV file at\n"
                  "the installation's message rate (\"VoxRate\", 8000 or 6000 Hz). An existing\n"
                  "OUT is never replaced. The message keeps its state.\n"
                  "\n"
                  "  --wav OUT     the WAV file to write\n"
                  "  --dir DIR     the messages folder (default: the installation's)\n"
                  "\n"
                  "examples:\n"
                  "  vnmsg export NA000000201A --wav message.wav\n"
                  "  vnmsg export MA000000201A.vox --wav /tmp/201.wav --dir ./messages"_s},
    {u"play"_s, u"usage: vnmsg play NAME [--dir DIR]\n"
                "\n"
                "Plays the message NAME on this machine's sound card at the installation's\n"
                "message rate and returns when it has ended. The message keeps its state\n"
                "(see mark-heard).\n"
                "\n"
                "  --dir DIR     the messages folder (default: the installation's)\n"
                "\n"
                "examples:\n"
                "  vnmsg play NA000000201A"_s},
    {u"purge"_s, u"usage: vnmsg purge --older-than DAYS [--include-new] [--dry-run] [--dir DIR]\n"
                 "\n"
                 "Removes the heard messages whose call date is more than DAYS days ago, and\n"
                 "prints each; new messages only with --include-new. Each removal is written\n"
                 "to the error log. A message that a workstation is marking at that moment\n"
                 "is never removed, nor one that changed since it was looked at.\n"
                 "\n"
                 "  --older-than DAYS  whole days, 0 or more (0: every heard message)\n"
                 "  --include-new      remove new messages too\n"
                 "  --dry-run          print what would be removed, remove nothing\n"
                 "  --dir DIR          the messages folder (default: the installation's)\n"
                 "\n"
                 "examples:\n"
                 "  vnmsg purge --older-than 90 --dry-run\n"
                 "  vnmsg purge --older-than 365 --include-new"_s},
    {u"log"_s, u"usage: vnmsg log [--since DATE] [--follow] [--port N]\n"
               "\n"
               "Prints this workstation's error log, one entry a line (the log wraps long\n"
               "entries over several lines; they are joined again), oldest first. With\n"
               "--port N, the activity log of message port N instead.\n"
               "\n"
               "  --since DATE  from DATE on (\"YYYY-MM-DD\" or \"YYYY-MM-DD HH:MM:SS\")\n"
               "  --follow      then wait for new entries and print them (Ctrl-C ends)\n"
               "  --port N      the port log of message port N\n"
               "\n"
               "examples:\n"
               "  vnmsg log --since 2026-03-14\n"
               "  vnmsg log --follow\n"
               "  vnmsg log --port 1 | grep Connection"_s},
    {u"heard"_s, u"usage: vnmsg heard [--entity ID] [--since DATE] [--json]\n"
                 "\n"
                 "Merges the heard logs of all workstations (in the installation's data\n"
                 "folder, \"heard/\"): one line per mark, oldest first: the time, the\n"
                 "workstation, the program, the entity, the message and what became of it.\n"
                 "\n"
                 "  --entity ID   only this entity's messages\n"
                 "  --since DATE  from DATE on (\"YYYY-MM-DD\" or \"YYYY-MM-DD HH:MM:SS\")\n"
                 "  --json        one JSON document\n"
                 "\n"
                 "examples:\n"
                 "  vnmsg heard --entity 201\n"
                 "  vnmsg heard --since 2026-03-14 --json"_s},
    {u"env"_s, u"usage: vnmsg env [--program NAME]\n"
               "\n"
               "Shows the installation this workstation finds: the settings file, the four\n"
               "folders and the shared messages folder. NAME's first two characters are\n"
               "the application prefix (default VN-Orvak). Exit status 3 when no settings\n"
               "file names an installation.\n"
               "\n"
               "examples:\n"
               "  vnmsg env\n"
               "  vnmsg env --program XY-Desk"_s},
    {u"scan"_s, u"usage: vnmsg scan DIR [--now \"YYYY-MM-DD HH:MM:SS\"] [--entity ID]...\n"
                "\n"
                "Polls the messages folder DIR once, as a control would, and prints the\n"
                "list, the counts, the latest call, the other names and, for each ID, the\n"
                "entity's messages. --now fixes \"today\".\n"
                "\n"
                "examples:\n"
                "  vnmsg scan ./messages --entity 201"_s},
    {u"entities"_s, u"usage: vnmsg entities DIR\n"
                    "\n"
                    "One line per entity of the messages folder DIR: its messages, new and heard.\n"
                    "\n"
                    "examples:\n"
                    "  vnmsg entities ./messages"_s},
    {u"make-demo"_s, u"usage: vnmsg make-demo DIR [--route auto|soundcard|telephone] [--voice "
                     "auto|speech|tone]\n"
                     "                      [--time-scale SECONDS]\n"
                     "\n"
                     "Makes a demo installation in DIR: a workstation's settings and a dozen\n"
                     "messages for five entities (spoken with espeak-ng and sox, else tones).\n"
                     "\n"
                     "examples:\n"
                     "  vnmsg make-demo /tmp/demo --voice tone"_s},
};

// What a command takes: its options (those with a value marked), and how
// many words stand on their own.
struct CommandShape {
    QStringList flags;
    QStringList valued;
    int minWords = 0;
    int maxWords = 0; // -1: any number
};

CommandShape shapeOf(const QString &command)
{
    if (command == u"list")
        return {{u"--new"_s, u"--heard"_s, u"--json"_s, u"--csv"_s}, {u"--entity"_s}, 0, 1};
    if (command == u"mark-heard" || command == u"mark-new")
        return {{}, {u"--dir"_s}, 1, -1};
    if (command == u"export")
        return {{}, {u"--wav"_s, u"--dir"_s}, 1, 1};
    if (command == u"play")
        return {{}, {u"--dir"_s}, 1, 1};
    if (command == u"purge")
        return {{u"--include-new"_s, u"--dry-run"_s}, {u"--older-than"_s, u"--dir"_s}, 0, 0};
    if (command == u"log")
        return {{u"--follow"_s}, {u"--since"_s, u"--port"_s}, 0, 0};
    if (command == u"heard")
        return {{u"--json"_s}, {u"--entity"_s, u"--since"_s}, 0, 0};
    if (command == u"env")
        return {{}, {u"--program"_s}, 0, 0};
    if (command == u"scan")
        return {{}, {u"--now"_s, u"--entity"_s}, 1, 1};
    if (command == u"entities")
        return {{}, {u"--entity"_s}, 1, 1};
    return {{}, {u"--route"_s, u"--voice"_s, u"--time-scale"_s}, 1, 1}; // make-demo
}

struct Words {
    QStringList positional;
    QList<std::pair<QString, QString>> options; // in the order given; flags have no value
};

// Splits the words after the command. "--" ends the options. False with
// `out.error` set when a word does not fit the command's shape.
bool splitWords(const QStringList &args, const CommandShape &shape, Words &words, VnmsgArgs &out)
{
    const QString &command = out.command;
    bool optionsEnd = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (optionsEnd || !arg.startsWith(u'-') || arg == u"-") {
            words.positional.append(arg);
        } else if (arg == u"--") {
            optionsEnd = true;
        } else if (shape.flags.contains(arg)) {
            words.options.append({arg, QString()});
        } else if (shape.valued.contains(arg)) {
            // A value that looks like an option is a forgotten value.
            if (i + 1 >= args.size() || args[i + 1].startsWith(u"--")) {
                out.error =
                    command + u": " + arg + u" wants a value (try vnmsg " + command + u" --help)";
                return false;
            }
            words.options.append({arg, args[++i]});
        } else {
            out.error =
                command + u": unknown option " + arg + u" (try vnmsg " + command + u" --help)";
            return false;
        }
    }
    const qsizetype n = words.positional.size();
    if (shape.maxWords >= 0 && n > shape.maxWords) {
        out.error = command + u": unexpected argument " + words.positional[shape.maxWords] +
                    u" (try vnmsg " + command + u" --help)";
        return false;
    }
    if (n < shape.minWords) {
        const bool folder = command == u"scan" || command == u"entities";
        out.error = command +
                    (folder                    ? u": which messages folder?"_s
                     : command == u"make-demo" ? u": in which folder?"_s
                                               : u": which message?"_s) +
                    u" (try vnmsg help)";
        return false;
    }
    return true;
}

const QString kStampFormat = u"yyyy-MM-dd HH:mm:ss"_s;

// A date as an administrator types it: "YYYY-MM-DD" (its midnight) or with a
// time, local.
QDateTime parseDate(const QString &text)
{
    QDateTime when = QDateTime::fromString(text, kStampFormat);
    if (!when.isValid())
        when = QDateTime::fromString(text, u"yyyy-MM-ddTHH:mm:ss"_s);
    if (!when.isValid()) {
        const QDate day = QDate::fromString(text, u"yyyy-MM-dd"_s);
        if (day.isValid())
            when = day.startOfDay();
    }
    return when;
}

// A whole number from `low` to `high` written in digits only, else -1.
int parseCount(const QString &text, int low, int high)
{
    if (text.isEmpty() || text.size() > 9)
        return -1;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
    }
    const int value = text.toInt();
    return value >= low && value <= high ? value : -1;
}

// An entity id: up to nine digits, kept as nine.
QString parseEntity(const QString &text)
{
    if (parseCount(text, 0, 999999999) < 0)
        return QString();
    return text.rightJustified(9, u'0');
}

void applyMakeDemo(const Words &words, VnmsgArgs &out)
{
    DemoOptions &options = out.demo;
    options.folder = words.positional.value(0);
    if (options.folder.isEmpty()) {
        out.error = u"make-demo: the folder name is empty"_s;
        return;
    }
    for (const auto &[name, value] : words.options) {
        if (name == u"--route") {
            if (value == u"auto")
                options.route = DemoRoute::Auto;
            else if (value == u"soundcard")
                options.route = DemoRoute::SoundCard;
            else if (value == u"telephone")
                options.route = DemoRoute::Telephone;
            else
                out.error = u"make-demo: --route wants auto, soundcard or telephone, not " + value;
        } else if (name == u"--voice") {
            if (value == u"auto")
                options.voice = DemoVoice::Auto;
            else if (value == u"speech")
                options.voice = DemoVoice::Speech;
            else if (value == u"tone")
                options.voice = DemoVoice::Tone;
            else
                out.error = u"make-demo: --voice wants auto, speech or tone, not " + value;
        } else {
            bool ok = false;
            options.timeScale = value.toDouble(&ok);
            // Also no infinity or NaN: the scale multiplies every wait.
            if (!ok || !(options.timeScale > 0) || !qIsFinite(options.timeScale))
                out.error = u"make-demo: --time-scale wants a number above 0, not " + value;
        }
        if (!out.error.isEmpty())
            return;
    }
}

// Every other command: the option values checked and stored.
void applyOptions(const Words &words, VnmsgArgs &out)
{
    const QString &command = out.command;
    const auto fail = [&](const QString &what) { out.error = command + u": " + what; };
    if (command == u"list" || command == u"scan" || command == u"entities")
        out.folder = words.positional.value(0);
    else
        out.names = words.positional;
    for (const auto &[name, value] : words.options) {
        if (name == u"--entity" && command == u"scan") {
            // Other text goes to the control as it is, as a host may pass it;
            // a number has nine digits at most.
            if (value.size() > 9 && std::all_of(value.begin(), value.end(),
                                                [](QChar c) { return c >= u'0' && c <= u'9'; }))
                return fail(u"--entity wants an entity id (up to nine digits), not " + value);
            out.entities.append(value);
        } else if (name == u"--entity" && command == u"entities") {
            return fail(u"--entity belongs to scan"_s);
        } else if (name == u"--entity") {
            out.entity = parseEntity(value);
            if (out.entity.isEmpty())
                return fail(u"--entity wants an entity id (up to nine digits), not " + value);
        } else if (name == u"--now") {
            out.now = QDateTime::fromString(value, kStampFormat);
            if (!out.now.isValid())
                return fail(u"--now wants \"YYYY-MM-DD HH:MM:SS\", not " + value);
        } else if (name == u"--since") {
            out.since = parseDate(value);
            if (!out.since.isValid())
                return fail(u"--since wants \"YYYY-MM-DD\" or \"YYYY-MM-DD HH:MM:SS\", not " +
                            value);
        } else if (name == u"--new" || name == u"--heard") {
            const VnmsgStates states = name == u"--new" ? VnmsgStates::New : VnmsgStates::Heard;
            if (out.states != VnmsgStates::All && out.states != states)
                return fail(u"--new and --heard exclude each other"_s);
            out.states = states;
        } else if (name == u"--json" || name == u"--csv") {
            const VnmsgFormat format = name == u"--json" ? VnmsgFormat::Json : VnmsgFormat::Csv;
            if (out.format != VnmsgFormat::Table && out.format != format)
                return fail(u"--json and --csv exclude each other"_s);
            out.format = format;
        } else if (name == u"--dir") {
            out.folder = value;
        } else if (name == u"--wav") {
            out.wavFile = value;
        } else if (name == u"--older-than") {
            out.olderThanDays = parseCount(value, 0, 36500);
            if (out.olderThanDays < 0)
                return fail(u"--older-than wants whole days from 0 to 36500, not " + value);
        } else if (name == u"--include-new") {
            out.includeNew = true;
        } else if (name == u"--dry-run") {
            out.dryRun = true;
        } else if (name == u"--follow") {
            out.follow = true;
        } else if (name == u"--port") {
            out.port = parseCount(value, 0, 9999);
            if (out.port < 0)
                return fail(u"--port wants a port number from 0 to 9999, not " + value);
        } else if (name == u"--program") {
            out.program = value;
        }
    }
    if (command == u"export" && out.wavFile.isEmpty())
        return fail(u"where to? --wav OUT is missing (try vnmsg export --help)"_s);
    if (command == u"purge" && out.olderThanDays < 0)
        return fail(u"how old? --older-than DAYS is missing (try vnmsg purge --help)"_s);
    for (const QString &name : std::as_const(out.names)) {
        if (name.isEmpty())
            return fail(u"a message name is empty"_s);
    }
    if ((command == u"list" || command == u"scan" || command == u"entities") &&
        words.positional.size() == 1 && out.folder.isEmpty())
        return fail(u"the folder name is empty"_s);
}

} // namespace

const QStringList &vnmsgCommands()
{
    return kCommands;
}

QString vnmsgCommandUsage(const QString &command)
{
    return kHelp.value(command, QString::fromLatin1(kVnmsgUsage).trimmed());
}

VnmsgArgs parseVnmsgArgs(const QStringList &args)
{
    VnmsgArgs out;
    if (args.isEmpty())
        return out;
    out.command = args[0];
    if (out.command.isEmpty()) {
        out.error = u"the command is empty (try vnmsg help)"_s;
        return out;
    }
    if (out.command == u"help" || out.command == u"--help" || out.command == u"-h") {
        out.command = u"help"_s;
        out.help = true;
        return out;
    }
    if (out.command == u"--version" || out.command == u"version") {
        out.command = u"version"_s;
        out.version = true;
        return out;
    }
    if (!kCommands.contains(out.command)) {
        out.error = u"unknown command " + out.command + u" (try vnmsg help)";
        return out;
    }
    const QStringList rest = args.mid(1);
    // --help wins wherever it stands, unless it is an option's value.
    const CommandShape shape = shapeOf(out.command);
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest[i] == u"--")
            break;
        if (rest[i] == u"--help" || rest[i] == u"-h") {
            out.help = true;
            return out;
        }
        if (shape.valued.contains(rest[i]))
            ++i;
    }
    Words words;
    if (!splitWords(rest, shape, words, out))
        return out;
    if (out.command == u"make-demo")
        applyMakeDemo(words, out);
    else
        applyOptions(words, out);
    return out;
}
