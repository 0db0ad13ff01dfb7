#include "demo_tour.h"

#include "entity_picker.h"
#include "host_window.h"
#include "problem_banner.h"
#include "status_line.h"
#include "tour_runner.h"

#include "control/message_control.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QTreeWidgetItem>

#include <memory>

namespace VNOrvak
{

namespace
{

// The playback state as the control's playback tells it, and its buttons.
class PlayButtons
{
public:
    explicit PlayButtons(MessageControl &control) : m_control(control) {}

    QPushButton *button(const char *name) const
    {
        return m_control.findChild<QPushButton *>(QString::fromLatin1(name));
    }
    PlaybackState::Phase phase() const { return m_control.playback().state().phase; }
    bool playing() const { return phase() == PlaybackState::Phase::Playing; }
    bool paused() const { return phase() == PlaybackState::Phase::Paused; }
    bool idle() const { return phase() == PlaybackState::Phase::Idle; }

private:
    MessageControl &m_control;
};

// A click as the operator's: nothing happens on a disabled button.
std::function<void()> clickOn(std::shared_ptr<PlayButtons> buttons, const char *name)
{
    return [buttons, name] {
        if (QPushButton *b = buttons->button(name))
            b->click();
    };
}

} // namespace

QString tourEntity(const EntityPicker &picker)
{
    for (int i = 0; i < picker.topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = picker.topLevelItem(i);
        if (!row->text(2).isEmpty() && row->text(1).toInt() > 1)
            return row->text(0);
    }
    return picker.topLevelItemCount() > 0 ? picker.topLevelItem(0)->text(0) : QString();
}

void addDemoTour(TourRunner &runner, HostWindow &window)
{
    // Shared by the steps' functions, which outlive this call.
    auto buttons = std::make_shared<PlayButtons>(window.control());
    auto entity = std::make_shared<QString>();
    const auto idleAndDone = [buttons, &runner] {
        return buttons->idle() && runner.runningActions() == 0;
    };

    runner.addStep({QStringLiteral("Pick an entity"),
                    QStringLiteral("the entity's messages are shown, ready to play"),
                    [&window, entity] {
                        *entity = tourEntity(window.picker());
                        window.picker().pick(*entity);
                    },
                    [&window, buttons, entity] {
                        QPushButton *play = buttons->button("cmdPlayAll");
                        return !entity->isEmpty() && window.picker().selectedId() == *entity &&
                               buttons->idle() && play && play->isEnabled();
                    }});
    runner.addStep({QStringLiteral("Play"), QStringLiteral("playing"),
                    clickOn(buttons, "cmdPlayAll"), [buttons] { return buttons->playing(); }});
    runner.addStep(
        {QStringLiteral("Pause"), QStringLiteral("paused"), clickOn(buttons, "cmdPlayAll"),
         [buttons, &runner] { return buttons->paused() && runner.runningActions() == 0; }});
    runner.addStep({QStringLiteral("Resume"), QStringLiteral("playing"),
                    clickOn(buttons, "cmdPlayAll"), [buttons] { return buttons->playing(); }});
    runner.addStep({QStringLiteral("Stop"), QStringLiteral("stopped and idle"),
                    clickOn(buttons, "cmdPlayLast"), idleAndDone});
    runner.addStep({QStringLiteral("New Msg"), QStringLiteral("playing the first new message"),
                    clickOn(buttons, "cmdNewMsg"), [buttons] { return buttons->playing(); }});
    runner.addStep({QStringLiteral("New message heard"),
                    QStringLiteral("played to its end and idle"),
                    {},
                    idleAndDone});
    runner.addStep({QStringLiteral("Next"), QStringLiteral("playing the next entity's messages"),
                    clickOn(buttons, "cmdNextMsg"), [buttons] { return buttons->playing(); }});
    runner.addStep({QStringLiteral("Stop"), QStringLiteral("stopped and idle"),
                    clickOn(buttons, "cmdPlayLast"), idleAndDone});
    runner.addStep({QStringLiteral("Only entities with new messages"),
                    QStringLiteral("only the entities with new messages listed"),
                    [&window] { window.onlyNewFilter().setChecked(true); },
                    [&window] { return window.picker().onlyNew(); }});

    // The messages folder goes away for a while (moved aside) and comes back.
    auto folder = std::make_shared<QString>();
    const auto moveBack = [folder] {
        if (!folder->isEmpty() && !QDir().exists(*folder))
            QDir().rename(*folder + u".away", *folder);
    };
    const auto status = [&window](const char *words) {
        window.refreshStatus();
        return window.statusLine().text().contains(QString::fromLatin1(words));
    };
    runner.addStep(
        {QStringLiteral("Messages folder missing"),
         QStringLiteral("the status line and the band say the messages folder is missing"),
         [&window, folder] {
             window.onlyNewFilter().setChecked(false);
             *folder = window.control().core().store().msMsgDir;
             if (folder->endsWith(u'/'))
                 folder->chop(1);
             QDir().rename(*folder, *folder + u".away");
         },
         [&window, status] {
             return status("Messages folder: missing") && window.picker().stale() &&
                    !window.banner().isHidden();
         }});
    runner.addStep({QStringLiteral("Messages folder back"),
                    QStringLiteral("the status line says the messages folder is found again"),
                    moveBack, [&window, status] {
                        return status("Messages folder: found") && !window.picker().stale() &&
                               window.banner().isHidden();
                    }});
    runner.setCleanup([&window, moveBack] {
        moveBack();
        window.stopPlayback();
    });
}

} // namespace VNOrvak
