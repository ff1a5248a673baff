#include <gtest/gtest.h>

#include "VtableCall.h"
#include "media/Properties.h"
#include "media/Rect.h"

namespace Qel {
namespace {

using Testing::callSlot;

template <class T>
T widthBySlot(const Rect<T>& rect)
{
    return callSlot<T>(&rect, 1);
}

template <class T>
T heightBySlot(const Rect<T>& rect)
{
    return callSlot<T>(&rect, 2);
}

TEST(PropertiesTest, IntegerRectanglesCountBothEdgesAndFloatOnesDoNot)
{
    EXPECT_EQ(widthBySlot<int>(RectInt(0, 0, 639, 479)), 640);
    EXPECT_EQ(heightBySlot<int>(RectInt(0, 0, 639, 479)), 480);
    EXPECT_EQ(widthBySlot<double>(RectFloat(0.0, 0.0, 640.0, 480.0)), 640.0);
    EXPECT_EQ(heightBySlot<double>(RectFloat(0.0, 0.0, 640.0, 480.0)), 480.0);

    EXPECT_EQ(widthBySlot<int>(RectInt(10, 20, 10, 20)), 1);
    EXPECT_EQ(heightBySlot<int>(RectInt(10, 20, 10, 20)), 1);
    EXPECT_EQ(widthBySlot<double>(RectFloat(10, 20, 10, 20)), 0.0);
    EXPECT_EQ(heightBySlot<double>(RectFloat(10, 20, 10, 20)), 0.0);

    EXPECT_EQ(widthBySlot<int>(RectInt(5, 5, 2, 5)), -2);
    EXPECT_EQ(widthBySlot<double>(RectFloat(5, 5, 2, 5)), -3.0);
}

TEST(PropertiesTest, RecordsStartAtTheHostDefaults)
{
    ImageProperties image;
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.factor1, 1);
    EXPECT_EQ(image.factor2, 1);
    EXPECT_EQ(image.factor3, 1);
    EXPECT_EQ(widthBySlot<double>(image.rectFloat), 0.0);
    EXPECT_EQ(heightBySlot<double>(image.rectFloat), 0.0);
    EXPECT_EQ(widthBySlot<int>(image.rectInt), 1);
    EXPECT_EQ(heightBySlot<int>(image.rectInt), 1);
    EXPECT_EQ(image.extra, 0);
    EXPECT_FALSE(image.flag);

    AudioProperties audio;
    EXPECT_EQ(audio.sampleRate, 0);
    EXPECT_EQ(audio.channels, 0u);
    EXPECT_EQ(audio.bitsPerSample, 0u);
}

} // namespace
} // namespace Qel
