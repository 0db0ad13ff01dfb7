// The console as a screen reader meets it: every interactive widget of the
// console and of the control has a name, the console's own widgets say what
// they are for, a playback's changes are announced, and the console's
// colours are readable.

#include "host/entity_picker.h"
#include "host/host_window.h"
#include "host/message_table.h"
#include "host/playback_panel.h"

#include "control/message_control.h"

#include "message_folder.h"
#include "support/fake_clock.h"
#include "support/qstring_printer.h"
#include "support/recording_prompter.h"
#include "support/test_environment.h"

#include "telephony/simulated_voice_board.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QWidget>

#include <cmath>

using namespace VNOrvak;
using namespace VoiceBocxLib;
using namespace Qt::StringLiterals;

namespace
{

bool interactive(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::EditableText:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::ComboBox:
    case QAccessible::ProgressBar:
    case QAccessible::Slider:
    case QAccessible::SpinBox:
        return true;
    default:
        return false;
    }
}

// Walks the accessible tree under `iface`: "role objectName" of every
// interactive element without a name, and of every widget of the console
// (outside the control's labels, which read their text) without a description.
void walk(QAccessibleInterface *iface, QStringList &unnamed, QStringList &undescribed,
          int depth = 0)
{
    if (!iface || depth > 40)
        return;
    QObject *object = iface->object();
    const QString what = QString::number(int(iface->role()), 16) + u' ' +
                         (object ? object->objectName() : u"(item)"_s);
    const bool isWidget = object && object->isWidgetType();
    if (interactive(iface->role()) && iface->text(QAccessible::Name).trimmed().isEmpty())
        unnamed << what;
    if (isWidget && interactive(iface->role()) &&
        iface->text(QAccessible::Description).trimmed().isEmpty())
        undescribed << what;
    // The rows and cells of item views are named by their texts.
    if (iface->role() == QAccessible::Tree || iface->role() == QAccessible::Table)
        return;
    for (int i = 0; i < iface->childCount(); ++i)
        walk(iface->child(i), unnamed, undescribed, depth + 1);
}

double luminance(const QColor &c)
{
    const auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}
double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class AccessibilityTest : public ::testing::Test
{
protected:
    AccessibilityTest()
    {
        ws.writeLocalIni(kSimulatedBoardSettings);
        for (const char *name : {"NA000000007A", "MA000000007B", "MA000000012A"})
            writeMessageFile(ws.messagesFolder(), QString::fromLatin1(name) + u".vox",
                             QDateTime(QDate(2026, 3, 14), QTime(8, 0)), QByteArray(20000, '\x11'));
    }
    TestWorkstation ws;
    FakeClock clock;
    RecordingPrompter prompter;
    HostWindow window;
};

TEST_F(AccessibilityTest, EveryInteractiveWidgetHasANameAndTheConsolesADescription)
{
    window.show();
    ASSERT_TRUE(window.start(u"VN-Console"_s));
    window.picker().pick(u"7"_s);
    QAccessibleInterface *root = QAccessible::queryAccessibleInterface(&window);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(QAccessible::Name), u"VN-Orvak Console");
    QStringList unnamed;
    QStringList undescribed;
    walk(root, unnamed, undescribed);
    EXPECT_TRUE(unnamed.isEmpty()) << qPrintable(unnamed.join(u", "));
    EXPECT_TRUE(undescribed.isEmpty()) << qPrintable(undescribed.join(u", "));

    // Every widget, shown or hidden (the walk sees the shown ones): the
    // focusable ones are named, and every widget says what it is for, except
    // the layout's plain containers.
    QStringList bare;
    for (QWidget *w : window.findChildren<QWidget *>()) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        if (!iface || w->objectName().isEmpty() || w->objectName().startsWith(u"qt_"))
            continue;
        if (w->focusPolicy() != Qt::NoFocus && iface->text(QAccessible::Name).isEmpty())
            bare << w->objectName() + u" (no name)";
        if (iface->text(QAccessible::Description).isEmpty() &&
            !w->objectName().startsWith(u"grp") && w->objectName() != u"lblEntityField")
            bare << w->objectName() + u" (no description)";
    }
    EXPECT_TRUE(bare.isEmpty()) << qPrintable(bare.join(u", "));
    // The control's buttons keep their captions' names, which carry the state.
    auto *play = QAccessible::queryAccessibleInterface(
        window.control().findChild<QWidget *>(u"cmdPlayAll"_s));
    EXPECT_EQ(play->text(QAccessible::Name), u"Play");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&window.picker())->text(QAccessible::Name),
              u"Entities");
}

// Screen readers hear a change through the status text's accessible name
// (with a name-change event and an alert, sent where an accessibility bridge
// is active).
TEST_F(AccessibilityTest, PlaybackChangesAreAnnounced)
{
    window.show();
    ASSERT_TRUE(window.start(u"VN-Console"_s));
    window.picker().pick(u"7"_s);
    QStringList spoken;
    QObject::connect(&window.playbackPanel(), &PlaybackPanel::announced,
                     [&](const QString &words) { spoken << words.section(u',', 0, 0); });
    QWidget *status = window.findChild<QWidget *>(u"lblNowPlaying"_s);
    QStringList names; // the status text's accessible name at each pause
    SimulatedVoiceBoard::last()->during(SimOp::PlayFile, 1, [&] {
        window.playback().refresh();
        window.runCommand(ConsoleCommand::PlayPause); // pause
        window.playback().refresh();
        names << QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name);
    });
    window.runCommand(ConsoleCommand::PlayPause);
    window.runCommand(ConsoleCommand::Stop);
    window.playback().refresh();

    EXPECT_EQ(spoken, (QStringList{u"Playing message 1 of 2 of entity 7"_s,
                                   u"Paused message 1 of 2 of entity 7"_s, u"Not playing"_s}));
    ASSERT_EQ(names.size(), 1);
    EXPECT_TRUE(names[0].startsWith(u"Paused message 1 of 2 of entity 7, received"_s))
        << qPrintable(names[0]);
}

TEST(ContrastTest, TheConsolesColoursReadAtFourAndAHalfToOneOrMore)
{
    const QColor white(Qt::white);
    EXPECT_GE(contrast(MessageTable::newColor(), white), 4.5);
    EXPECT_GE(contrast(MessageTable::heardColor(), white), 4.5);
    EXPECT_GE(contrast(MessageTable::newColor(), MessageTable::playingBackground()), 4.5);
    EXPECT_GE(contrast(MessageTable::heardColor(), MessageTable::playingBackground()), 4.5);
    EXPECT_GE(contrast(Qt::black, MessageTable::playingBackground()), 4.5);
}

} // namespace
