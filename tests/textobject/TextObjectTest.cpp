#include "TextMarkers.h"
#include "TextObject.h"

#include "Palette.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QMetaProperty>

#include <algorithm>
#include <cstdint>

namespace {

TEST(TextObject, StartsAsAnEmptyBlanshStyleObject)
{
    TTextObject text;
    EXPECT_EQ(text.TextStyle, TTextObject::BlanshStyle);
    EXPECT_EQ(text.TextType, TTextObject::ttIndexed);
    EXPECT_EQ(text.TextAlign, 1);
    EXPECT_FALSE(text.AsciiZ || text.SingleLine || text.CRC || text.ClearBounds || text.LinuxFormat
                 || text.NoErrors);
    EXPECT_EQ(text.OpenMode(), TTextObject::omRead);
    EXPECT_EQ(text.Status() | text.FileSize() | text.Position() | text.Line() | text.Count(), 0);
    EXPECT_TRUE(text.Lines().Empty());
    EXPECT_TRUE(text.Log().Empty());
    EXPECT_TRUE(text.FileName.empty());
}

TEST(TextObject, PublishesItsPropertiesInOrderAndTakesThemByName)
{
    TTextObject text;
    const QMetaObject* meta = text.metaObject();
    QStringList names;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        names << QString::fromLatin1(meta->property(i).name());
    EXPECT_EQ(names.join(','), "TextType,TextStyle,NoErrors,AsciiZ,CRC,SingleLine,ClearBounds,LinuxFormat,TextAlign");

    // A form sets enumerations by their names.
    EXPECT_TRUE(text.setProperty("TextStyle", "IniStyle"));
    EXPECT_TRUE(text.setProperty("TextType", "ttStringDepeneded"));
    EXPECT_TRUE(text.setProperty("TextAlign", 4));
    EXPECT_TRUE(text.setProperty("LinuxFormat", true));
    EXPECT_EQ(text.TextStyle, TTextObject::IniStyle);
    EXPECT_EQ(text.TextType, TTextObject::ttStringDepeneded);
    EXPECT_EQ(text.TextAlign, 4);
    EXPECT_TRUE(text.LinuxFormat);
    EXPECT_EQ(text.property("AsciiZ").toBool(), false);
}

TEST(TextObject, RegistersOnTheTranslationToolsPage)
{
    TTextObject::Register();
    TTextObject::Register();
    const auto classes = eit::PaletteClasses("Translation Tools");
    EXPECT_EQ(std::count(classes.begin(), classes.end(), "TTextObject"), 1);
}

TEST(TextObject, NewOnBlanshStyleReturnsZeroForEveryModeAndEmptiesTheLog)
{
    TTextObject text;
    for (int mode : {0, 1, 2, 255}) {
        text.Write("x");
        EXPECT_EQ(text.Read(), eit::kOutOfText);
        ASSERT_EQ(text.New(TTextObject::omRead), 0);
        text.Write("y");
        text.SetPosition(0);
        text.Read();
        ASSERT_EQ(text.Log().Count(), 1);
        EXPECT_EQ(text.New(static_cast<TTextObject::TOpenModes>(mode), 77), 0);
        EXPECT_TRUE(text.Log().Empty());
        EXPECT_TRUE(text.Lines().Empty());
    }
}

TEST(TextObject, AnUnknownStyleDoesNothing)
{
    TTextObject text;
    text.TextStyle = static_cast<TTextObject::TObjectStyle>(7);
    text.Write("x");
    text.Rewrite("x");
    text.SetPosition(3);
    EXPECT_EQ(text.New(TTextObject::omWrite), 0);
    EXPECT_EQ(text.Read(), "");
    EXPECT_EQ(text.GetSize(), 0);
    EXPECT_TRUE(text.Lines().Empty());
    EXPECT_EQ(text.Position(), 0);
}

TEST(TextObject, SizeTotalsSaturateInsteadOfWrappingAround)
{
    // Each text takes INT32_MAX bytes once aligned, so two of them overflow 32 bits.
    for (const auto style : {TTextObject::IniStyle, TTextObject::BlanshStyle}) {
        SCOPED_TRACE(style);
        eit::test::TempDir dir;
        TTextObject text;
        text.TextStyle = style;
        text.FileName = dir.File("texts.txt");
        ASSERT_EQ(text.New(TTextObject::omWrite), 0);
        text.Write("a");
        text.Write("b");
        ASSERT_EQ(text.New(TTextObject::omRead), 0);
        if (style == TTextObject::BlanshStyle) {
            text.Write("a");
            text.Write("b");
        }
        text.TextAlign = INT32_MAX;
        EXPECT_EQ(text.GetSize(), INT32_MAX);
        text.TextAlign = 1;
        EXPECT_EQ(text.GetSize(), 2);
    }
}

} // namespace
