#include <gtest/gtest.h>

#include <QDomDocument>
#include <QPluginLoader>
#include <QPushButton>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <memory>

namespace
{

// The plugin as Designer finds it: a Qt plugin with the custom-widget
// interface, naming a class and header that uic-generated code can use.
TEST(DesignerPluginTest, OffersTheControlUnderTheNameAndHeaderFormsUse)
{
    QPluginLoader loader(QStringLiteral(VNORVAK_DESIGNER_PLUGIN));
    ASSERT_TRUE(loader.load()) << qPrintable(loader.errorString());
    auto *plugin = qobject_cast<QDesignerCustomWidgetInterface *>(loader.instance());
    ASSERT_NE(plugin, nullptr);

    EXPECT_EQ(plugin->name(), u"VNOrvak::MessageControl");
    // The header a generated form includes, as the package installs it.
    EXPECT_EQ(plugin->includeFile(), u"control/message_control.h");

    // The XML Designer drops on a form names the same class and header.
    QDomDocument dom;
    ASSERT_TRUE(dom.setContent(plugin->domXml()));
    const auto first = [&](const char *tag) {
        return dom.elementsByTagName(QString::fromLatin1(tag)).item(0).toElement();
    };
    EXPECT_EQ(first("widget").attribute(QStringLiteral("class")), plugin->name());
    EXPECT_EQ(first("header").text(), plugin->includeFile());

    // On the form: the control with its buttons, its polling switched off.
    QWidget form;
    std::unique_ptr<QWidget> control(plugin->createWidget(&form));
    ASSERT_NE(control, nullptr);
    EXPECT_STREQ(control->metaObject()->className(), "VNOrvak::MessageControl");
    EXPECT_NE(control->findChild<QPushButton *>(QStringLiteral("cmdPlayAll")), nullptr);
    EXPECT_FALSE(control->property("Enabled").toBool());
}

} // namespace
