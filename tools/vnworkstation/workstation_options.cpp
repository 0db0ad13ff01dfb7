#include "workstation_options.h"

#include <QCommandLineParser>

#include <limits>

namespace
{

struct NumberOption {
    const char *name;
    const char *help;
    const char *valueName;
    qint64 min;
    qint64 max;
};

// The longest run or interval a soak makes sense with: a day, in the unit
// of the option; beyond it the product's timers would overflow.
constexpr qint64 kDayMs = 24 * 3600 * 1000;

const NumberOption kNumbers[] = {
    {"seed", "Seed of the operator's choices.", "n", 0, std::numeric_limits<quint32>::max()},
    {"seconds", "Run time; 0 runs until SIGTERM or SIGINT.", "n", 0, kDayMs / 1000},
    {"poll-ms", "Poll interval in milliseconds (0 keeps the MsgTimer setting).", "ms", 0, kDayMs},
    {"think-ms", "Mean pause between two operator actions.", "ms", 1, kDayMs},
    {"heartbeat-ms", "Interval of the 'alive' lines.", "ms", 10, kDayMs},
};

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Runs one unattended workstation with a random operator."));
    parser.addHelpOption();
    const auto text = [](const char *s) { return QString::fromLatin1(s); };
    const WorkstationOptions defaults;
    parser.addOption({text("program"), text("Host program name."), text("name"), defaults.program});
    parser.addOption({text("workstation"), text("Name of this workstation in the log."),
                      text("name"), defaults.workstation});
    parser.addOption({text("log"), text("Event log (JSON lines), '-' for standard output."),
                      text("file"), defaults.log});
    for (const NumberOption &n : kNumbers)
        parser.addOption({text(n.name), text(n.help), text(n.valueName)});
}

} // namespace

WorkstationOptions parseWorkstationOptions(const QStringList &args)
{
    WorkstationOptions options;
    QCommandLineParser parser;
    describe(parser);
    // QCommandLineParser skips the first word, the program's path.
    if (!parser.parse(QStringList{QStringLiteral("vnworkstation")} + args)) {
        options.error = parser.errorText();
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        options.error = u"unexpected argument " + parser.positionalArguments().first();
        return options;
    }
    options.help = parser.isSet(QStringLiteral("help"));
    options.program = parser.value(QStringLiteral("program"));
    options.workstation = parser.value(QStringLiteral("workstation"));
    options.log = parser.value(QStringLiteral("log"));
    if (options.program.isEmpty() || options.log.isEmpty()) {
        options.error = QStringLiteral("--program and --log want a value");
        return options;
    }
    for (const NumberOption &n : kNumbers) {
        const QString name = QString::fromLatin1(n.name);
        if (!parser.isSet(name))
            continue;
        bool ok = false;
        const qint64 value = parser.value(name).toLongLong(&ok);
        if (!ok || value < n.min || value > n.max) {
            options.error = u"--" + name + u" wants a whole number from " + QString::number(n.min) +
                            u" to " + QString::number(n.max) + u", not " + parser.value(name);
            return options;
        }
        if (name == u"seed")
            options.seed = static_cast<quint32>(value);
        else if (name == u"seconds")
            options.seconds = static_cast<int>(value);
        else if (name == u"poll-ms")
            options.pollMs = static_cast<int>(value);
        else if (name == u"think-ms")
            options.thinkMs = static_cast<int>(value);
        else
            options.heartbeatMs = static_cast<int>(value);
    }
    return options;
}

QString workstationUsage()
{
    QCommandLineParser parser;
    describe(parser);
    return parser.helpText();
}
