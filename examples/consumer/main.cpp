// A small host: a form with the message control, started for a program and
// shown one entity. Prints what the control reports, for the build check.
//     consumer [ENTITY]

#include "ui_console_form.h"

#include <control/message_control.h>
#include <shared/error.h>

#include <QApplication>
#include <QPushButton>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    Ui::ConsoleForm form;
    form.setupUi(&window);
    VNOrvak::MessageControl *control = form.messageControl;

    QObject::connect(control, &VNOrvak::MessageControl::MsgUpdated, [control] {
        std::printf("MsgUpdated MsgCnt=%d NewMsgCnt=%d\n", control->MsgCnt(), control->NewMsgCnt());
    });
    QObject::connect(control, &VNOrvak::MessageControl::IDChanged,
                     [&form](const QString &id, bool &hasNew, const QString &) {
                         std::printf("IDChanged %s HasNewMessages=%d\n", qPrintable(id), hasNew);
                         form.lblEntity->setText(id);
                     });
    try {
        control->InitializeForProgram(QStringLiteral("VN-Consumer"));
        control->InitializeForID(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
        control->Terminate();
    } catch (const modVNQRN::Error &e) {
        std::fprintf(stderr, "VN-Orvak error %d: %s (line %d)\n", e.number(),
                     qPrintable(e.description()), e.line());
        return 1;
    }
    auto *play = control->findChild<QPushButton *>(QStringLiteral("cmdPlayAll"));
    std::printf("Play button: %s\n", play && play->isEnabled() ? "enabled" : "disabled");
    return 0;
}
