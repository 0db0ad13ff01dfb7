#include "heard_log.h"

#include "shared/clock.h"
#include "shared/error_log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace VNOrvak
{

namespace
{

QString cleanField(QString text)
{
    for (QChar &c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text;
}

// Appends `line` in one write, so that a reader never sees half of it
// unless the disk filled up. 0 or the errno.
int appendLine(const QString &path, const QByteArray &line)
{
    const QString folder = path.left(path.lastIndexOf(u'/') + 1);
    if (!folder.isEmpty() && !QDir().mkpath(folder))
        return QFileInfo(folder).exists() ? ENOTDIR : EACCES;
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    const ssize_t n = ::write(fd, line.constData(), size_t(line.size()));
    int error = n < 0 ? errno : n == line.size() ? 0 : ENOSPC;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

} // namespace

// The lines waiting to be written, shared with the writing thread, which may
// outlive the HeardLog when a share does not answer.
struct HeardLog::Writer {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<QString, QByteArray>> queue;
    bool busy = false;    // a line is being written
    bool closing = false; // no more lines come
    bool failing = false; // the last write failed (and was logged)
    bool started = false;

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return closing || !queue.empty(); });
            if (queue.empty())
                return;
            auto [path, line] = std::move(queue.front());
            queue.pop_front();
            busy = true;
            lock.unlock();
            const int error = appendLine(path, line);
            lock.lock();
            busy = false;
            if (error != 0 && !failing)
                reportOnce(path, error);
            failing = error != 0;
            changed.notify_all();
        }
    }

    // The error log belongs to the user-interface thread (its environment
    // record): the line is handed to it.
    static void reportOnce(const QString &path, int error)
    {
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return;
        const QString text = u"The heard log " + path + u" cannot be written: " +
                             QString::fromLocal8Bit(std::strerror(error)) +
                             u". Marks are not recorded there until it can.";
        QMetaObject::invokeMethod(
            app, [text] { modVNQRN::WriteLog(text); }, Qt::QueuedConnection);
    }
};

QString heardLogFolder(const QString &dataPath)
{
    return dataPath + u"heard/";
}

QString heardLogFileName(const QString &host, const QString &program)
{
    QString name = host + u'-' + program;
    for (QChar &c : name) {
        const bool plain = c.unicode() < 128 && (c.isLetterOrNumber() || c == u'.' || c == u'-');
        if (!plain)
            c = u'_';
    }
    return name + u".txt";
}

QString heardOutcomeName(HeardOutcome outcome)
{
    switch (outcome) {
    case HeardOutcome::Renamed:
        return QStringLiteral("Renamed");
    case HeardOutcome::HeardElsewhere:
        return QStringLiteral("HeardElsewhere");
    case HeardOutcome::Purged:
        return QStringLiteral("Purged");
    case HeardOutcome::HeardBeforePlay:
        return QStringLiteral("HeardBeforePlay");
    case HeardOutcome::Failed:
        return QStringLiteral("Failed");
    case HeardOutcome::AlreadyHeard:
        return QStringLiteral("AlreadyHeard");
    case HeardOutcome::NewerCopyKept:
        return QStringLiteral("NewerCopyKept");
    case HeardOutcome::HeardNameTaken:
        return QStringLiteral("HeardNameTaken");
    case HeardOutcome::InUse:
        return QStringLiteral("InUse");
    }
    return QStringLiteral("Unknown");
}

QByteArray formatHeardLogLine(const HeardLogEntry &entry)
{
    const QStringList fields = {entry.time.toUTC().toString(Qt::ISODate),
                                cleanField(entry.host),
                                cleanField(entry.program),
                                cleanField(entry.entity),
                                cleanField(entry.message),
                                cleanField(entry.outcome)};
    return fields.join(u'\t').toUtf8() + '\n';
}

std::optional<HeardLogEntry> parseHeardLogLine(QStringView line)
{
    const QList<QStringView> fields = line.split(u'\t');
    if (fields.size() != 6)
        return std::nullopt;
    HeardLogEntry entry;
    entry.time = QDateTime::fromString(fields[0].toString(), Qt::ISODate);
    if (!entry.time.isValid() || fields[4].isEmpty())
        return std::nullopt;
    entry.host = fields[1].toString();
    entry.program = fields[2].toString();
    entry.entity = fields[3].toString();
    entry.message = fields[4].toString();
    entry.outcome = fields[5].toString();
    return entry;
}

HeardLog::HeardLog(QObject *parent) : QObject(parent), m_writer(std::make_shared<Writer>()) {}

HeardLog::~HeardLog()
{
    waitWritten(kCloseWaitMs);
    {
        std::lock_guard lock(m_writer->mutex);
        m_writer->closing = true;
    }
    m_writer->changed.notify_all();
}

void HeardLog::setPlace(const QString &dataPath, const QString &program, const QString &host)
{
    m_host = host.isEmpty() ? QSysInfo::machineHostName() : host;
    m_program = program;
    m_path = heardLogFolder(dataPath) + heardLogFileName(m_host, program);
}

void HeardLog::record(const QString &name, const QString &outcome)
{
    if (m_path.isEmpty())
        return;
    try {
        HeardLogEntry entry;
        // The product's wall clock, to the second.
        entry.time =
            QDateTime::fromSecsSinceEpoch(modVNQRN::appClock().now().toSecsSinceEpoch(), Qt::UTC);
        entry.host = m_host;
        entry.program = m_program;
        entry.entity = name.mid(2, 9);
        entry.message = name;
        entry.outcome = outcome;
        std::lock_guard lock(m_writer->mutex);
        m_writer->queue.emplace_back(m_path, formatHeardLogLine(entry));
        if (!m_writer->started) {
            // Holds the queue itself: it may outlive this object.
            std::thread([writer = m_writer] { writer->run(); }).detach();
            m_writer->started = true;
        }
        m_writer->changed.notify_all();
    } catch (...) {
        // A line that cannot be queued (no memory, no thread) is lost; the
        // mark itself stands.
    }
}

void HeardLog::recordOutcome(const QString &name, HeardOutcome outcome)
{
    record(name, heardOutcomeName(outcome));
}

bool HeardLog::waitWritten(int ms)
{
    bool done = false;
    {
        std::unique_lock lock(m_writer->mutex);
        done = m_writer->changed.wait_for(lock, std::chrono::milliseconds(ms), [this] {
            return m_writer->queue.empty() && !m_writer->busy;
        });
    }
    // A failure's line for the error log, handed over by the writer.
    if (QCoreApplication::instance())
        QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
    return done;
}

} // namespace VNOrvak
