// The store's list and counts against the step-by-step model on many
// generated folders.

#include "literal_message_store.h"
#include "message_folder.h"

#include "control/message_listing.h"
#include "control/message_store.h"
#include "control/ole_date.h"
#include "support/fake_clock.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "shared/environment.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using VNOrvak::ListMessageFiles;
using VNOrvak::MessageStore;

namespace
{

class FolderGenerator
{
public:
    explicit FolderGenerator(quint32 seed) : m_rng(seed) {}

    int below(int n) { return static_cast<int>(m_rng.bounded(n)); }
    QChar pick(const char *chars)
    {
        return QChar::fromLatin1(chars[below(static_cast<int>(qstrlen(chars)))]);
    }

    QString id()
    {
        // A few ids so that entities share names and ordering characters.
        static const int pool[] = {0, 3, 7, 7, 42, 999, 123456789, 999999999};
        return QString::number(pool[below(8)]).rightJustified(9, u'0');
    }

    QString wellFormed()
    {
        return QString(pick("NNNMMnm")) + pick("AABN0 _") + id() + pick("ABCNMabz09");
    }

    QString oddBase()
    {
        switch (below(9)) {
        case 0:
            return QStringLiteral("N") + QString::number(below(100)); // short
        case 1:
            return QStringLiteral("Notes");
        case 2:
            return QStringLiteral("NA") + id().mid(1) + QStringLiteral("B"); // 11
        case 3:
            return wellFormed() + QStringLiteral("X"); // 13
        case 4:
            return QStringLiteral("NA00000X007A"); // id text that is no whole number
        case 5:
            return QStringLiteral("NA0000001.5A");
        case 6:
            return QStringLiteral("NA 00000007A");
        case 7:
            return QStringLiteral("MA&H0000010A");
        default:
            return QStringLiteral("NA000000007") + QChar(0xe9); // non-ASCII key
        }
    }

    QString extension()
    {
        static const char *const exts[] = {".vox", ".vox", ".vox", ".wav", ".txt", "", ".vox.bak"};
        return QString::fromLatin1(exts[below(7)]);
    }

    // A folder of `count` files; `odd` allows names the ordering does not define.
    QStringList names(int count, bool odd)
    {
        QStringList out;
        while (out.size() < count) {
            const int kind = below(odd ? 10 : 7);
            QString base;
            if (kind < 4 || out.isEmpty()) {
                base = wellFormed();
            } else if (kind == 4) { // a twin of an earlier name
                base = out[below(static_cast<int>(out.size()))].section(u'.', 0, 0);
                if (!base.isEmpty())
                    base[0] = base[0] == u'N' ? u'M' : u'N';
            } else if (kind < 7) { // the same base with another extension
                base = out[below(static_cast<int>(out.size()))].section(u'.', 0, 0);
            } else if (kind < 9) {
                base = oddBase();
            } else { // a comma in the name: the list of files splits it
                base = wellFormed() + u',' + wellFormed();
            }
            const QString name = base + extension();
            if (!name.isEmpty() && (name[0].toUpper() == u'N' || name[0].toUpper() == u'M') &&
                !out.contains(name))
                out.append(name);
        }
        return out;
    }

    QDateTime modified(const QDate &today)
    {
        const QDate day = today.addDays(-below(3));
        return QDateTime(day, QTime(0, 0)).addSecs(below(86400));
    }

private:
    QRandomGenerator m_rng;
};

void expectSame(const MessageStore &store, const LiteralMessageStore &model, const QString &what)
{
    SCOPED_TRACE(qPrintable(what));
    EXPECT_EQ(store.msMsgList.toStdString(), model.msMsgList.toStdString());
    EXPECT_EQ(store.mlMsgCnt, model.mlMsgCnt);
    EXPECT_EQ(store.mlNewMsgCnt, model.mlNewMsgCnt);
    EXPECT_EQ(store.mlMsgTodayCnt, model.mlMsgTodayCnt);
    if (model.lastSecs == LiteralMessageStore::kNone)
        EXPECT_EQ(store.mdLastMsgDate, VNOrvak::oleZeroDate());
    else
        EXPECT_EQ(store.mdLastMsgDate.toSecsSinceEpoch(), model.lastSecs);
}

class OrderingModel : public ::testing::Test
{
protected:
    OrderingModel() { modVNQRN::gsLocalPath = ws.root(); }

    TestWorkstation ws;
    RecordingPrompter prompter;
    FakeClock clock;
};

} // namespace

TEST_F(OrderingModel, ScanOfGeneratedFoldersMatchesTheModel)
{
    const QDate today = clock.now().date();
    for (quint32 seed = 1; seed <= 300; ++seed) {
        FolderGenerator gen(seed);
        const QString folder = ws.root() + u"f" + QString::number(seed) + u'/';
        const bool odd = seed % 2 == 0;
        for (const QString &name : gen.names(gen.below(40), odd))
            writeMessageFile(folder, name, gen.modified(today));
        if (seed % 7 == 0) // a sub-folder named like a message is no message
            QDir().mkpath(folder + u"NA000000007A.vox");

        const VNOrvak::MessageListing listing = ListMessageFiles(folder);
        QStringList names;
        for (const auto &f : listing.newFiles + listing.heardFiles)
            names.append(f.name);

        MessageStore store;
        store.msMsgDir = folder;
        store.AddListedMessages(listing);

        LiteralMessageStore model;
        model.msMsgDir = folder;
        model.today = today;
        model.AddMessages(names.join(u','));

        expectSame(store, model, u"seed " + QString::number(seed) + u": " + names.join(u' '));
        if (::testing::Test::HasFailure())
            return;
    }
}

TEST_F(OrderingModel, AddingInAnyOrderToAnExistingListMatchesTheModel)
{
    // Heard names before their new twins, batches on a list that is already
    // there (well-formed or not), no files behind the names.
    for (quint32 seed = 1000; seed < 1300; ++seed) {
        FolderGenerator gen(seed);
        const bool odd = seed % 3 == 0;
        QStringList first = gen.names(gen.below(25), odd);
        QStringList second = gen.names(gen.below(25), seed % 5 == 0);
        for (QStringList *part : {&first, &second})
            for (qsizetype i = part->size() - 1; i > 0; --i)
                part->swapItemsAt(i, gen.below(static_cast<int>(i + 1)));

        MessageStore store;
        store.msMsgDir = ws.root() + u"none/";
        LiteralMessageStore model;
        model.msMsgDir = store.msMsgDir;
        model.today = clock.now().date();
        if (seed % 4 == 1) // a list set by hand, out of order
            store.msMsgList = model.msMsgList = QStringLiteral("NA000000009A,NA000000001A");
        store.AddMessages(first.join(u", "));
        model.AddMessages(first.join(u", "));
        store.AddMessages(second.join(u','));
        model.AddMessages(second.join(u','));

        expectSame(store, model, u"seed " + QString::number(seed));
        if (::testing::Test::HasFailure())
            return;
    }
}

// The time these take is measured by bench/bench_scan (with --stray for the second).
TEST_F(OrderingModel, TwentyThousandMessagesWithOrWithoutAStrayFile)
{
    FolderGenerator gen(7);
    QStringList names;
    for (int i = 0; i < 20000; ++i) {
        const QString id = QString::number(gen.below(2000) * 1000 + i % 7).rightJustified(9, u'0');
        names.append(QString(gen.pick("NM")) + u'A' + id + gen.pick("ABCDEF") + u".vox");
    }
    MessageStore store;
    store.msMsgDir = ws.root() + u"none/";
    VNOrvak::MessageListing listing;
    for (const QString &n : names)
        listing.newFiles.append({n, 1700000000});
    store.AddListedMessages(listing);

    LiteralMessageStore model; // the literal walk takes seconds; check a slice
    model.msMsgDir = store.msMsgDir;
    model.AddMessages(names.mid(0, 2000).join(u','));
    MessageStore slice;
    slice.msMsgDir = store.msMsgDir;
    VNOrvak::MessageListing part;
    part.newFiles = listing.newFiles.mid(0, 2000);
    slice.AddListedMessages(part);
    EXPECT_EQ(slice.msMsgList, model.msMsgList);
    EXPECT_GT(store.mlMsgCnt, 15000);

    // One stray file among them puts the list on its exact slow path.
    VNOrvak::MessageListing stray = listing;
    stray.newFiles.insert(10000, {QStringLiteral("Notes.txt"), 1700000000});
    MessageStore withStray;
    withStray.msMsgDir = store.msMsgDir;
    withStray.AddListedMessages(stray);
    EXPECT_EQ(withStray.mlMsgCnt, store.mlMsgCnt + 1);
    EXPECT_TRUE(withStray.msMsgList.startsWith(u"Notes,"));
}
