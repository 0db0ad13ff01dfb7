#pragma once

#include <QObject>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

namespace VNOrvak
{

/// Puts MessageControl in Qt Designer's widget box (group "VN-Orvak"), so a
/// host developer drops it on a form like any widget. Forms refer to it as
/// VNOrvak::MessageControl from "control/message_control.h".
class MessageControlPlugin : public QObject, public QDesignerCustomWidgetInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetInterface")
    Q_INTERFACES(QDesignerCustomWidgetInterface)

public:
    explicit MessageControlPlugin(QObject *parent = nullptr);

    QString name() const override;
    QString group() const override;
    QString toolTip() const override;
    QString whatsThis() const override;
    QString includeFile() const override;
    QIcon icon() const override;
    bool isContainer() const override { return false; }
    /// A control that does not poll: on a form being designed there is no
    /// installation, and scanning the designer's folder would be pointless.
    QWidget *createWidget(QWidget *parent) override;
    bool isInitialized() const override { return m_initialized; }
    void initialize(QDesignerFormEditorInterface *) override { m_initialized = true; }
    QString domXml() const override;

private:
    bool m_initialized = false;
};

} // namespace VNOrvak
