#include "message_control_plugin.h"

#include "control/message_control.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace VNOrvak
{

MessageControlPlugin::MessageControlPlugin(QObject *parent) : QObject(parent) {}

QString MessageControlPlugin::name() const
{
    return QStringLiteral("VNOrvak::MessageControl");
}

QString MessageControlPlugin::group() const
{
    return QStringLiteral("VN-Orvak");
}

QString MessageControlPlugin::toolTip() const
{
    return QStringLiteral("Voice-message review control");
}

QString MessageControlPlugin::whatsThis() const
{
    return QStringLiteral(
        "Reviews the voice messages of one entity: counts, call dates and the buttons New Msg, "
        "Previous, Next, Play and Play Last. Call InitializeForProgram once, then "
        "InitializeForID for each entity, and Terminate before the window closes.");
}

QString MessageControlPlugin::includeFile() const
{
    return QStringLiteral("control/message_control.h");
}

QIcon MessageControlPlugin::icon() const
{
    // A red frame around a button, as the control marks new messages.
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QPen(Qt::red, 2));
    painter.drawRect(2, 4, 17, 13);
    painter.fillRect(6, 8, 10, 6, Qt::darkBlue);
    return QIcon(pixmap);
}

QWidget *MessageControlPlugin::createWidget(QWidget *parent)
{
    auto *control = new MessageControl(parent);
    control->SetEnabled(false);
    return control;
}

QString MessageControlPlugin::domXml() const
{
    return QStringLiteral("<ui language=\"c++\" displayname=\"MessageControl\">\n"
                          " <widget class=\"VNOrvak::MessageControl\" name=\"messageControl\"/>\n"
                          " <customwidgets>\n"
                          "  <customwidget>\n"
                          "   <class>VNOrvak::MessageControl</class>\n"
                          "   <extends>QWidget</extends>\n"
                          "   <header>control/message_control.h</header>\n"
                          "  </customwidget>\n"
                          " </customwidgets>\n"
                          "</ui>\n");
}

} // namespace VNOrvak
