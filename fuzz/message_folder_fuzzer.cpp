// The listing over a real folder: the fuzzer's lines become files (or, ending
// in "/", sub-folders) with those very bytes as names, and one poll of a
// control over the folder must list exactly the message files, keep every
// other name the patterns take apart, build the list the step-by-step
// reference builds, show the operator nothing, and poll again to the same.

#include "fuzz_support.h"

#include "control/literal_message_store.h"
#include "control/message_control_core.h"
#include "control/message_name.h"
#include "shared/clock.h"

#include <QFile>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace VNOrvak;

namespace
{

class CountingPrompter final : public modVNQRN::Prompter
{
public:
    void messageBox(const QString &, modVNQRN::MsgBoxIcon, const QString &) override { ++boxes; }
    void setMousePointer(modVNQRN::MousePointer) override {}
    int boxes = 0;
};

void removeFolder(const QByteArray &path)
{
    if (DIR *dir = opendir(path.constData())) {
        while (const dirent *entry = readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                unlinkat(dirfd(dir), entry->d_name, entry->d_type == DT_DIR ? AT_REMOVEDIR : 0);
        }
        closedir(dir);
    }
    rmdir(path.constData());
}

bool codePointLess(const QString &a, const QString &b)
{
    const QList<uint> x = a.toUcs4();
    const QList<uint> y = b.toUcs4();
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzWorkstation &ws = FuzzWorkstation::instance();
    static CountingPrompter prompter;
    modVNQRN::setAppPrompter(&prompter);
    prompter.boxes = 0;
    const QByteArray folder = QFile::encodeName(ws.folder()) + "folder";
    removeFolder(folder);
    mkdir(folder.constData(), 0700);

    // The ordinary files made, as the patterns take them.
    QStringList newNames, heardNames;
    qint64 secs = 1700000000;
    for (QByteArray line : bytesOf(data, size).split('\n')) {
        const bool subFolder = line.endsWith('/');
        if (subFolder)
            line.chop(1);
        if (line.isEmpty() || line.size() > 200 || line.contains('/') || line.contains('\0') ||
            line == "." || line == "..")
            continue;
        const QByteArray path = folder + '/' + line;
        if (subFolder) {
            mkdir(path.constData(), 0700);
            continue;
        }
        const int fd = ::open(path.constData(), O_CREAT | O_EXCL | O_WRONLY, 0600);
        if (fd < 0)
            continue; // made already, as a file or a sub-folder
        const timespec when[2] = {{secs, 0}, {secs, 0}};
        futimens(fd, when);
        ::close(fd);
        secs += 3600;
        const char first = line[0];
        if (first == 'N' || first == 'n')
            newNames.append(QFile::decodeName(line));
        else if (first == 'M' || first == 'm')
            heardNames.append(QFile::decodeName(line));
    }
    std::sort(newNames.begin(), newNames.end(), codePointLess);
    std::sort(heardNames.begin(), heardNames.end(), codePointLess);

    MessageControlCore core;
    core.setTimerEnabled(false);
    core.store().msMsgDir = QFile::decodeName(folder) + u'/';
    int updates = 0;
    QObject::connect(&core, &MessageControlCore::MsgUpdated, [&updates] { ++updates; });
    core.tmrCalls_Timer();
    const MessageStore &store = core.store();
    FUZZ_CHECK(prompter.boxes == 0);

    LiteralMessageStore literal;
    literal.msMsgDir = store.msMsgDir;
    literal.today = modVNQRN::appClock().now().date();
    literal.Scan(newNames, heardNames);
    FUZZ_CHECK(store.msMsgList == literal.msMsgList);
    FUZZ_CHECK(store.mlMsgCnt == literal.mlMsgCnt);
    FUZZ_CHECK(store.mlNewMsgCnt == literal.mlNewMsgCnt);
    FUZZ_CHECK(store.mlMsgTodayCnt == literal.mlMsgTodayCnt);
    QStringList others = store.otherFiles;
    QStringList literalOthers = literal.otherNames;
    others.sort();
    literalOthers.sort();
    FUZZ_CHECK(others == literalOthers);

    // Every listed name is a message file's base name; every message file is
    // listed once.
    int messageFiles = 0;
    for (const QString &name : newNames + heardNames) {
        if (!IsMessageFileName(name))
            continue;
        ++messageFiles;
        FUZZ_CHECK(store.msMsgList.count(name.left(12)) == 1);
    }
    FUZZ_CHECK(store.mlMsgCnt == messageFiles);
    FUZZ_CHECK(store.msMsgList.size() == (messageFiles ? 13 * messageFiles - 1 : 0));
    for (const QString &other : store.otherFiles)
        FUZZ_CHECK(!IsMessageFileName(other));

    // Nothing changed: the same list, no event.
    const QString list = store.msMsgList;
    const int before = updates;
    core.tmrCalls_Timer();
    FUZZ_CHECK(store.msMsgList == list && updates == before);
    FUZZ_CHECK(prompter.boxes == 0);
    return 0;
}
