// The message store fed arbitrary folder listings: the fast store must build
// the same list and counts as the step-by-step reference, keep the same names
// apart, and selecting an entity and marking names heard must keep the list's
// length.

#include "fuzz_support.h"

#include "control/literal_message_store.h"
#include "control/message_store.h"
#include "shared/error.h"

#include <QStringList>

using namespace VNOrvak;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzWorkstation::instance();
    const QString text = QString::fromLatin1(bytesOf(data, size));
    // Lines are file names; a line starting with "#" names the entity to select.
    MessageListing listing;
    QString entity = QStringLiteral("000000007");
    qint64 secs = 1700000000;
    for (const QString &line : text.split(u'\n')) {
        if (line.startsWith(u'#')) {
            entity = line.mid(1);
            continue;
        }
        // A listing holds plain file names: no folder, no comma-free promise.
        if (line.isEmpty() || line.contains(u'/') || line.contains(u'\0'))
            continue;
        const QChar first = line.front().toUpper();
        if (first != u'N' && first != u'M')
            continue;
        ListedFile file{line, secs};
        secs += 37;
        (first == u'N' ? listing.newFiles : listing.heardFiles).append(file);
    }

    MessageStore store;
    store.msMsgDir = FuzzWorkstation::instance().folder() + u"none/";
    store.AddListedMessages(listing);

    LiteralMessageStore literal;
    literal.msMsgDir = store.msMsgDir;
    QStringList newNames, heardNames;
    for (const ListedFile &f : listing.newFiles)
        newNames << f.name;
    for (const ListedFile &f : listing.heardFiles)
        heardNames << f.name;
    literal.Scan(newNames, heardNames);
    FUZZ_CHECK(store.msMsgList == literal.msMsgList);
    FUZZ_CHECK(store.mlMsgCnt == literal.mlMsgCnt);
    FUZZ_CHECK(store.mlNewMsgCnt == literal.mlNewMsgCnt);
    FUZZ_CHECK(store.otherFiles == literal.otherNames);
    // Only message names: the list steps 13 characters a name.
    FUZZ_CHECK(store.msMsgList.size() == (store.mlMsgCnt ? 13 * store.mlMsgCnt - 1 : 0));

    store.msEntityID = entity;
    try {
        store.SelectEntityMessages();
    } catch (const modVNQRN::Error &error) {
        // An id found at the very start of the list names no message: the
        // selection fails with "Invalid procedure call" and the caller hears of it.
        FUZZ_CHECK(error.number() == modVNQRN::errInvalidCall);
        FUZZ_CHECK(store.msMsgList.startsWith(entity.left(std::max<qsizetype>(1, entity.size()))) ||
                   store.msMsgList.mid(1).startsWith(entity));
        return 0;
    }
    FUZZ_CHECK(store.mlEntityMsgCnt >= 0);
    const qsizetype length = store.msMsgList.size();
    QString entityList = store.msEntityList;
    while (!entityList.isEmpty()) {
        const QString name = MessageStore::GetRightItem(entityList);
        if (name.size() == 12)
            store.MarkHeardInList(name);
    }
    FUZZ_CHECK(store.msMsgList.size() == length || store.msMsgList.size() == length - 1);
    return 0;
}
