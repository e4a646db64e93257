#include "QtArguments.h"
#include "QtWindowFixture.h"

namespace {

// A name that is not UTF-8, one that looks like a Qt option, and one that is not there.
char program[] = "flagwash";
char latin1[] = "/media/stick/caf\xe9.doc";
char optionLike[] = "-style";
char missing[] = "/media/stick/gone";
char* arguments[] = {program, latin1, optionLike, missing, nullptr};

class StartedWithFiles : public QtWindowFixture
{
protected:
    StartedWithFiles()
        : QtWindowFixture(commandLineFiles(4, arguments))
    { }
};

TEST_F(StartedWithFiles, TheyAreOneDropShownInTheCaptionAndResetOnlyByReset)
{
    EXPECT_EQ(window->windowTitle(), "3 File(s)/Folder(s) selected. Click RESET");
    ASSERT_EQ(form->List1().count(), 3u);
    EXPECT_EQ(form->List1().at(0).native(), std::string("/media/stick/caf\xe9.doc"));
    EXPECT_EQ(form->List1().at(1).native(), "-style");
    EXPECT_EQ(form->List1().at(2).native(), "/media/stick/gone");
    EXPECT_FALSE(control(Layout::ControlId::Image1)->isVisible());
    EXPECT_TRUE(reset.calls.empty());

    whileBoxesClose([&] { clickOn(Layout::ControlId::imgStart); });
    EXPECT_EQ(reset.calls.size(), 3u);
    EXPECT_EQ(window->windowTitle(), QString());
}

TEST(QtArgumentsTest, QtIsGivenOnlyTheProgramAndThePlatform)
{
    QtArguments withPlatform("flagwash", "xcb;wayland");
    ASSERT_EQ(withPlatform.count(), 3);
    EXPECT_STREQ(withPlatform.values()[1], "-platform");
    EXPECT_STREQ(withPlatform.values()[2], "xcb;wayland");
    EXPECT_EQ(withPlatform.values()[3], nullptr);

    QtArguments without("flagwash", {});
    EXPECT_EQ(without.count(), 1);
    EXPECT_EQ(without.values()[1], nullptr);
}

}  // namespace
