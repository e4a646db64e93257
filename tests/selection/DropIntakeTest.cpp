#include "CoreFixture.h"
#include "NamedCase.h"
#include "selection/DropEffect.h"

#include <gtest/gtest.h>

namespace {

using Paths = std::vector<std::filesystem::path>;

DropPayload files(Paths paths)
{
    return {std::move(paths)};
}

const DropPayload withoutFiles{};

// One step of a drop sequence and what the window shows after it.
struct Step
{
    enum Kind { DragOver, Drop } kind;
    DropPayload payload;
    Paths list;
    std::string caption;
    bool image1Visible;
};

struct Sequence : tables::NamedCase
{
    std::vector<Step> steps;
};

class DropSequence : public ::testing::TestWithParam<Sequence>
{
};

TEST_P(DropSequence, ListCaptionAndDropZoneFollowEachStep)
{
    CoreFixture core;
    core.load();
    for (std::size_t i = 0; i < GetParam().steps.size(); ++i) {
        const Step& step = GetParam().steps[i];
        SCOPED_TRACE("step " + std::to_string(i));
        if (step.kind == Step::DragOver)
            core.form.Form_OLEDragOver();
        else
            core.form.Image1_OLEDragDrop(step.payload);

        EXPECT_EQ(core.form.List1().paths(), step.list);
        EXPECT_EQ(core.view.caption, step.caption);
        EXPECT_EQ(core.form.isImage1Visible(), step.image1Visible);
        EXPECT_EQ(core.view.dropZoneVisible, step.image1Visible);
    }
    // Taking a drop never touches a file and never opens a page.
    EXPECT_TRUE(core.reset.calls.empty());
    EXPECT_TRUE(core.launcher.launches.empty());
}

const std::string two = "2 File(s)/Folder(s) selected. Click RESET";
const std::string one = "1 File(s)/Folder(s) selected. Click RESET";

INSTANTIATE_TEST_SUITE_P(
        Cases, DropSequence,
        ::testing::Values(
                Sequence{"DragOverShowsDropZone", {{Step::DragOver, {}, {}, "", true}}},
                Sequence{"FilesThenFolderReplacesTheList",
                         {{Step::DragOver, {}, {}, "", true},
                          {Step::Drop,
                           files({"/home/u/a.doc", "/home/u/b.xls"}),
                           {"/home/u/a.doc", "/home/u/b.xls"},
                           two,
                           false},
                          {Step::DragOver, {}, {"/home/u/a.doc", "/home/u/b.xls"}, two, true},
                          {Step::Drop, files({"/home/u/Photos"}), {"/home/u/Photos"}, one, false}}},
                // The list is emptied by any drop; the caption must not keep promising it.
                Sequence{"TextAfterFilesEmptiesListAndCaption",
                         {{Step::DragOver, {}, {}, "", true},
                          {Step::Drop, files({"C:\\x", "C:\\y"}), {"C:\\x", "C:\\y"}, two, false},
                          {Step::DragOver, {}, {"C:\\x", "C:\\y"}, two, true},
                          {Step::Drop, withoutFiles, {}, "", true}}},
                Sequence{"TextOnFreshWindowChangesNothingVisible",
                         {{Step::DragOver, {}, {}, "", true},
                          {Step::Drop, withoutFiles, {}, "", true}}},
                Sequence{"OrderAndDuplicatesKept",
                         {{Step::Drop,
                           files({"b", "a", "b"}),
                           {"b", "a", "b"},
                           "3 File(s)/Folder(s) selected. Click RESET",
                           false}}}),
        tables::caseName);

TEST(DropIntake, HundredThousandPathsAreTakenWholeAndCountedRight)
{
    CoreFixture core;
    core.load();
    Paths many;
    for (int i = 0; i < 100000; ++i)
        many.emplace_back("/data/file-" + std::to_string(i));

    core.form.Form_OLEDragOver();
    core.form.Image1_OLEDragDrop(files(many));

    ASSERT_EQ(core.form.List1().count(), 100000u);
    EXPECT_EQ(core.form.List1().at(99999), "/data/file-99999");
    EXPECT_EQ(core.form.List1().at(32767), "/data/file-32767");
    EXPECT_EQ(core.view.caption, "100000 File(s)/Folder(s) selected. Click RESET");
}

struct EffectCase
{
    OfferedEffects offered;
    DropEffect answered;
};

TEST(DropIntake, AnsweredEffectIsNeverMove)
{
    const EffectCase cases[] = {
            {{true, true, true}, DropEffect::Copy},   {{true, false, false}, DropEffect::Copy},
            {{false, true, true}, DropEffect::Link},  {{false, false, true}, DropEffect::Link},
            {{false, true, false}, DropEffect::None}, {{false, false, false}, DropEffect::None},
    };
    for (const EffectCase& c : cases) {
        EXPECT_EQ(answerDropEffect(c.offered), c.answered)
                << "copy " << c.offered.copy << " move " << c.offered.move << " link "
                << c.offered.link;
    }
}

}  // namespace
