#include "about/AboutText.h"
#include "CoreFixture.h"
#include "web/WebHost.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(AboutText, IsSixteenLinesInFourParagraphsByteForByte)
{
    const std::string expected = "Copyright (C) Quorvane Software. All rights reserved.\r\n"
                                 "www.host.example\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "Files & Folders can be easly reset by Flagwash.\r\n"
                                 "But there's other much more dangerous malware\r\n"
                                 "traces which Flagwash cannot recover!\r\n"
                                 "If Flagwash helped you to get rid of the\r\n"
                                 "problems caused by those malware and need to\r\n"
                                 "protect yourself against dangerous infections\r\n"
                                 "you may try our fine security solution;\r\n"
                                 "\r\n"
                                 "Helvik - Garrowmend!\r\n";
    EXPECT_EQ(AboutText("www.host.example", "\r\n"), expected);
}

TEST(AboutText, ShownTitledWithAppTitleAndTheRealWebHost)
{
    CoreFixture core;
    core.load();
    core.form.imgAbout_Click();

    ASSERT_EQ(core.view.boxes.size(), 1u);
    const ShownBox& box = core.view.boxes[0];
    EXPECT_EQ(box.title, core.form.state().AppTitle);
    const std::size_t firstBreak = box.text.find("\r\n");
    const std::size_t secondBreak = box.text.find("\r\n", firstBreak + 2);
    EXPECT_EQ(box.text.substr(firstBreak + 2, secondBreak - firstBreak - 2), WebHost);

    std::size_t lines = 0;
    for (std::size_t at = box.text.find("\r\n"); at != std::string::npos;
         at = box.text.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, 16u);
    EXPECT_EQ(std::count(box.text.begin(), box.text.end(), '\n'), 16);  // no bare LF anywhere
    EXPECT_EQ(std::count(box.text.begin(), box.text.end(), '\r'), 16);
}

}  // namespace
