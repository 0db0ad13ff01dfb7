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

#include <algorithm>

#include <gtest/gtest.h>

using VNOrvak::ListMessageFiles;
using VNOrvak::MessageStore;
using namespace Qt::StringLiterals;

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
        return QString(pick("NNNNMMMnm")) + pick("AABNz0 _") + id() + pick("ABCNMabz09,");
    }

    // Names of other forms: short, long, 11 and 13 characters, id texts
    // that are no whole number, a non-ASCII ordering character.
    QString oddBase()
    {
        const QString odd[] = {u"N" + QString::number(below(100)),
                               u"Notes"_s,
                               u"NA" + id().mid(1) + u'B',
                               wellFormed() + u'X',
                               u"NA00000X007A"_s,
                               u"NA0000001.5A"_s,
                               u"NA 00000007A"_s,
                               u"MA&H0000010A"_s,
                               u"NA000000007"_s + QChar(0xe9)};
        return odd[below(9)];
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
            // Kinds 4 to 6 reuse an earlier base: its twin, or it with another extension.
            const int kind = out.isEmpty() ? 0 : below(odd ? 10 : 7);
            QString base =
                kind < 4 ? wellFormed() : out[below(int(out.size()))].section(u'.', 0, 0);
            if (kind == 4 && !base.isEmpty())
                base[0] = base[0] == u'N' ? u'M' : u'N';
            else if (kind == 7 || kind == 8)
                base = oddBase();
            else if (kind == 9) // a comma in the name: the list of files splits it
                base = wellFormed() + u',' + wellFormed();
            const QString name = base + extension();
            if (!name.isEmpty() && (name[0].toUpper() == u'N' || name[0].toUpper() == u'M') &&
                !out.contains(name))
                out.append(name);
        }
        return out;
    }

    QDateTime modified(const QDate &today)
    {
        return QDateTime(today.addDays(-below(3)), QTime(0, 0)).addSecs(below(86400));
    }

private:
    QRandomGenerator m_rng;
};

// The folder's ordinary files as the patterns "N*.*" and "M*.*" return them:
// by first letter in either case, each group in code-point order.
std::pair<QStringList, QStringList> patternNames(const QString &folder)
{
    QStringList all =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    std::sort(all.begin(), all.end(), [](const QString &a, const QString &b) {
        const QList<uint> x = a.toUcs4();
        const QList<uint> y = b.toUcs4();
        return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end());
    });
    QStringList newNames, heardNames;
    for (const QString &name : all) {
        if (name.front().toUpper() == u'N')
            newNames.append(name);
        else if (name.front().toUpper() == u'M')
            heardNames.append(name);
    }
    return {newNames, heardNames};
}

// The model, starting from where the store stands.
LiteralMessageStore modelOf(const MessageStore &store, const QDate &today)
{
    LiteralMessageStore model;
    model.msMsgDir = store.msMsgDir;
    model.msMsgList = store.msMsgList;
    model.today = today;
    return model;
}

void expectSame(const MessageStore &store, const LiteralMessageStore &model, const QString &what)
{
    SCOPED_TRACE(qPrintable(what));
    EXPECT_EQ(store.msMsgList.toStdString(), model.msMsgList.toStdString());
    EXPECT_EQ(store.mlMsgCnt, model.mlMsgCnt);
    EXPECT_EQ(store.mlNewMsgCnt, model.mlNewMsgCnt);
    EXPECT_EQ(store.mlMsgTodayCnt, model.mlMsgTodayCnt);
    QStringList others = store.otherFiles, modelOthers = model.otherNames;
    others.sort();
    modelOthers.sort();
    EXPECT_EQ(others, modelOthers);
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

TEST_F(OrderingModel, GeneratedFoldersAndBatchesMatchTheModel)
{
    const QDate today = clock.now().date();
    for (quint32 seed = 1; seed <= 300; ++seed) {
        FolderGenerator gen(seed);
        const QString folder = ws.root() + u"f" + QString::number(seed) + u'/';
        for (const QString &name : gen.names(gen.below(40), seed % 2 == 0))
            writeMessageFile(folder, name, gen.modified(today));
        if (seed % 7 == 0) // a sub-folder named like a message is no message
            QDir().mkpath(folder + u"NA000000007A.vox");

        const VNOrvak::MessageListing listing = ListMessageFiles(folder);
        const auto [newNames, heardNames] = patternNames(folder);
        MessageStore store;
        store.msMsgDir = folder;
        if (seed % 4 == 1) // a list set by hand, out of order
            store.msMsgList = QStringLiteral("NA000000009A,NA000000001A");
        LiteralMessageStore model = modelOf(store, today);
        store.AddListedMessages(listing);
        model.Scan(newNames, heardNames);
        expectSame(store, model,
                   u"seed " + QString::number(seed) + u": " + (newNames + heardNames).join(u' '));

        // Then a batch in any order (heard names before their new twins),
        // mostly without files behind the names.
        QStringList batch = gen.names(gen.below(25), seed % 3 == 0);
        for (qsizetype i = batch.size() - 1; i > 0; --i)
            batch.swapItemsAt(i, gen.below(static_cast<int>(i + 1)));
        store.AddMessages(batch.join(u", "));
        model.AddMessages(batch.join(u", "));
        expectSame(store, model, u"seed " + QString::number(seed) + u", then " + batch.join(u' '));
        if (::testing::Test::HasFailure())
            return;
    }
}
