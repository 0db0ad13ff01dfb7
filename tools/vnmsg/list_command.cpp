#include "command.h"
#include "installation.h"
#include "message_table.h"

#include <cstring>
#include <ctime>

namespace
{

// The call date in local time, "YYYY-MM-DD HH:MM:SS" (19 characters).
// localtime_r: a QDateTime per row would cost more than the listing itself.
QByteArray callDate(qint64 secs)
{
    const std::time_t t = static_cast<std::time_t>(secs);
    std::tm local{};
    char text[32];
    if (!::localtime_r(&t, &local) ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0)
        return QByteArrayLiteral("-");
    return QByteArray(text);
}

QByteArray lengthOf(const MessageRow &row, int rate)
{
    return messageLength(row.size, rate).toLatin1();
}

QByteArray csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text.toUtf8();
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

bool wanted(const MessageRow &row, const VnmsgArgs &args, const QByteArray &entity)
{
    if (!entity.isEmpty() && std::memcmp(row.name.data() + 2, entity.constData(), 9) != 0)
        return false;
    if (args.states == VnmsgStates::New)
        return row.isNew();
    if (args.states == VnmsgStates::Heard)
        return !row.isNew();
    return true;
}

void writeTable(QByteArray &out, const std::vector<const MessageRow *> &rows,
                const QStringList &others, int rate)
{
    out += "Entity     State  Call date            Length        Size  Name\n";
    for (const MessageRow *row : rows) {
        out += row->entity();
        out += row->isNew() ? "  new    " : "  heard  ";
        out += callDate(row->modifiedSecs);
        out += lengthOf(*row, rate).rightJustified(9);
        out += QByteArray::number(row->size).rightJustified(12);
        out += "  ";
        out.append(row->name.data(), 12);
        out += '\n';
    }
    out += "Messages=" + QByteArray::number(qsizetype(rows.size())) +
           " OtherNames=" + QByteArray::number(others.size()) + '\n';
    for (const QString &name : others)
        out += "Other " + jsonString(name) + '\n';
}

void writeJson(QByteArray &out, const QString &folder, const std::vector<const MessageRow *> &rows,
               const QStringList &others, int rate)
{
    out += "{\"folder\": " + jsonString(folder) + ", \"rate\": " + QByteArray::number(rate) +
           ",\n \"messages\": [";
    const char *separator = "\n  ";
    for (const MessageRow *row : rows) {
        out += separator;
        separator = ",\n  ";
        out += "{\"entity\": \"" + row->entity() + "\", \"state\": \"";
        out += row->isNew() ? "new" : "heard";
        out += "\", \"callDate\": \"" + callDate(row->modifiedSecs) + "\", \"length\": \"" +
               lengthOf(*row, rate) +
               "\", \"seconds\": " + QByteArray::number(double(row->size) * 2 / rate, 'f', 3) +
               ", \"size\": " + QByteArray::number(row->size) + ", \"name\": \"";
        out.append(row->name.data(), 12);
        out += "\"}";
    }
    out += rows.empty() ? "],\n" : "\n ],\n";
    out += " \"otherNames\": [";
    for (qsizetype i = 0; i < others.size(); ++i)
        out += (i ? ", " : "") + jsonString(others[i]);
    out += "]}\n";
}

void writeCsv(QByteArray &out, const std::vector<const MessageRow *> &rows,
              const QStringList &others, int rate)
{
    out += "entity,state,call_date,length,size,name\n";
    for (const MessageRow *row : rows) {
        out += row->entity();
        out += row->isNew() ? ",new," : ",heard,";
        out += callDate(row->modifiedSecs) + ',' + lengthOf(*row, rate) + ',' +
               QByteArray::number(row->size) + ',';
        out.append(row->name.data(), 12);
        out += '\n';
    }
    // Other names apart: no entity, state "other".
    for (const QString &name : others)
        out += ",other,,,," + csvField(name) + '\n';
}

} // namespace

int runListCommand(const VnmsgArgs &args)
{
    const Installation installation = findInstallation();
    QString folder;
    if (const int rc = messagesFolderFor(QStringLiteral("list"), args.folder, installation, folder))
        return rc;
    MessageTable table;
    QString error;
    if (!readMessageTable(folder, table, error)) {
        printError(u"list: cannot read " + folder + u": " + error);
        return kExitFailed;
    }
    const QByteArray entity = args.entity.toLatin1();
    std::vector<const MessageRow *> rows;
    rows.reserve(table.messages.size());
    for (const MessageRow &row : table.messages) {
        if (wanted(row, args, entity))
            rows.push_back(&row);
    }
    // Other names belong to no entity: shown only when the list is not narrowed.
    const QStringList others =
        entity.isEmpty() && args.states == VnmsgStates::All ? table.otherNames : QStringList();
    QByteArray out;
    out.reserve(qsizetype(rows.size()) * 160 + 256);
    if (args.format == VnmsgFormat::Json)
        writeJson(out, folder, rows, others, installation.voxRate);
    else if (args.format == VnmsgFormat::Csv)
        writeCsv(out, rows, others, installation.voxRate);
    else
        writeTable(out, rows, others, installation.voxRate);
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return kExitOk;
}
