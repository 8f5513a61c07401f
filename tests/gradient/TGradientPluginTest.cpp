#include "GradientTestSupport.h"

#include <QPluginLoader>
#include <QVariant>
#include <QWidget>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <gtest/gtest.h>

#include <memory>

TEST(TGradientPlugin, OffersTGradientInTheTranslationToolsGroup)
{
    eit::test::EnsureApplication();
    QPluginLoader loader(QStringLiteral(EIT_GRADIENT_PLUGIN));
    auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
    ASSERT_NE(plugin, nullptr) << loader.errorString().toStdString();
    EXPECT_EQ(plugin->name(), "TGradient");
    EXPECT_EQ(plugin->group(), "Translation Tools");
    EXPECT_EQ(plugin->includeFile(), "TGradient.h");
    EXPECT_FALSE(plugin->isContainer());
    EXPECT_TRUE(plugin->domXml().contains("class=\"TGradient\""));

    QWidget form;
    std::unique_ptr<QWidget> widget(plugin->createWidget(&form));
    ASSERT_NE(widget, nullptr);
    EXPECT_STREQ(widget->metaObject()->className(), "TGradient");
    EXPECT_EQ(widget->parentWidget(), &form);
    EXPECT_TRUE(widget->setProperty("LeftTop", 0xFFu));
    EXPECT_EQ(widget->property("LeftTop").toUInt(), 0xFFu);
}
