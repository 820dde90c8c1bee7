// The clickable captions that copy an editor's text to its twin on the other tab, with the
// source's green flash, and the regular-expression look of the two editor pairs, driven
// through real clicks on the real window.

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "tests/support/program_window.h"
#include "ui/colours.h"

namespace {

using namespace testing_support;

tk::Colour background(Gadget gadget) { return tk::getGadgetColour(gadget, tk::backColour); }
tk::Colour textColour(Gadget gadget) { return tk::getGadgetColour(gadget, tk::frontColour); }

// What one flash looked like from inside its pause.
struct Flash {
    Gadget source;
    tk::Colour colour;
    int milliseconds;
};

class CopyToTwin : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialiseForDesktop();
        setFlashPauseHook([this](Gadget source, int milliseconds) {
            flashes_.push_back({source, background(source), milliseconds});
        });
    }

    void open(int tab) {
        openWindow(tab);
        ASSERT_NE(app.copySound, 0);
        ASSERT_NE(app.errorSound, 0);
    }

    void TearDown() override {
        setFlashPauseHook(nullptr);
        ProgramWindowTest::TearDown();
    }

    void showTab(int tab) {
        tk::setGadgetState(app.g.mainPanel, tab);
        processEvents();
    }

    std::vector<Flash> flashes_;
};

tk::Colour named(const char* name) { return colour(name); }

// The editors' look while their row's regular-expression box is checked.
void expectRegularExpressionLook(std::initializer_list<Gadget> editors) {
    for (Gadget editor : editors) {
        EXPECT_EQ(background(editor), named("mistR")) << "editor " << editor;
        EXPECT_EQ(textColour(editor), named("Dpink")) << "editor " << editor;
    }
}

// ---- The copy and its flash ----------------------------------------------------------------

TEST_F(CopyToTwin, SearchCaptionCopiesIntoThePolygonEditorAndFlashesOnlyTheSource) {
    open(workTab);
    const Gadgets& g = app.g;
    click(option("reg1"));
    ASSERT_EQ(tk::getGadgetState(option("reg1")), 1);
    tk::setGadgetText(g.searchEditor1, u"(\\d+)\r\nsecond line");
    tk::setGadgetText(g.edi5, u"old text");
    const tk::Colour targetBack = background(g.edi5);
    const tk::Colour targetFront = textColour(g.edi5);
    const int copies = voiceStarts(app.copySound);
    const int errors = voiceStarts(app.errorSound);

    auto started = std::chrono::steady_clock::now();
    click(g.searchLabel1);
    auto took = std::chrono::steady_clock::now() - started;

    EXPECT_EQ(tk::getGadgetText(g.edi5), u"(\\d+)\r\nsecond line");
    ASSERT_EQ(flashes_.size(), 1u);
    EXPECT_EQ(flashes_[0].source, g.searchEditor1);
    EXPECT_EQ(flashes_[0].colour, named("Sgreen"));
    EXPECT_EQ(flashes_[0].milliseconds, 70);
    EXPECT_GE(took, std::chrono::milliseconds(70));
    // Back to the row's regular-expression look, text colour untouched by the flash.
    EXPECT_EQ(background(g.searchEditor1), named("mistR"));
    EXPECT_EQ(textColour(g.searchEditor1), named("Dpink"));
    EXPECT_EQ(background(g.edi5), targetBack);
    EXPECT_EQ(textColour(g.edi5), targetFront);
    EXPECT_EQ(voiceStarts(app.copySound), copies + 1);
    EXPECT_EQ(voiceStarts(app.errorSound), errors);
}

TEST_F(CopyToTwin, WorkEditorReturnsToTheSystemColourWhileRegularExpressionsAreOff) {
    open(workTab);
    const Gadgets& g = app.g;
    ASSERT_EQ(tk::getGadgetState(option("reg1")), 0);
    tk::setGadgetText(g.replaceEditor1, u"replacement");
    click(g.replaceLabel1);

    EXPECT_EQ(tk::getGadgetText(g.edi6), u"replacement");
    ASSERT_EQ(flashes_.size(), 1u);
    EXPECT_EQ(flashes_[0].source, g.replaceEditor1);
    EXPECT_EQ(flashes_[0].colour, named("Sgreen"));
    EXPECT_EQ(background(g.replaceEditor1), tk::systemWindowColour());
    EXPECT_EQ(background(g.edi6), named("Lyellow"));
}

TEST_F(CopyToTwin, PolygonEditorReturnsToLightYellowWhileRegularExpressionsAreOff) {
    open(polygonTab);
    const Gadgets& g = app.g;
    ASSERT_EQ(tk::getGadgetState(option("reg2")), 0);
    tk::setGadgetText(g.edi6, u"sample replacement");
    tk::setGadgetText(g.replaceEditor1, u"before");
    const tk::Colour targetBack = background(g.replaceEditor1);
    click(g.replaceLabel2);

    EXPECT_EQ(tk::getGadgetText(g.replaceEditor1), u"sample replacement");
    ASSERT_EQ(flashes_.size(), 1u);
    EXPECT_EQ(flashes_[0].source, g.edi6);
    EXPECT_EQ(flashes_[0].colour, named("Sgreen"));
    EXPECT_EQ(background(g.edi6), named("Lyellow"));
    EXPECT_EQ(background(g.replaceEditor1), targetBack);
    EXPECT_EQ(targetBack, tk::systemWindowColour());
}

TEST_F(CopyToTwin, PolygonEditorReturnsToMistyRoseWhileRegularExpressionsAreOn) {
    open(polygonTab);
    const Gadgets& g = app.g;
    click(option("reg2"));
    ASSERT_EQ(tk::getGadgetState(option("reg2")), 1);
    tk::setGadgetText(g.edi5, u"[a-z]+");
    click(g.searchLabel2);

    EXPECT_EQ(tk::getGadgetText(g.searchEditor1), u"[a-z]+");
    ASSERT_EQ(flashes_.size(), 1u);
    EXPECT_EQ(flashes_[0].source, g.edi5);
    EXPECT_EQ(flashes_[0].colour, named("Sgreen"));
    EXPECT_EQ(background(g.edi5), named("mistR"));
    EXPECT_EQ(textColour(g.edi5), named("Dpink"));
    // The Work pair keeps its own look: reg1 is off.
    EXPECT_EQ(background(g.searchEditor1), tk::systemWindowColour());
}

TEST_F(CopyToTwin, RestoredColourFollowsTheOtherRowsCheckBoxNotTheTargets) {
    // reg1 on and reg2 off: a copy from the Polygon tab restores Lyellow, from Work mistR.
    app.options["reg1"].state = 1;
    open(polygonTab);
    const Gadgets& g = app.g;
    tk::setGadgetText(g.edi5, u"from polygon");
    click(g.searchLabel2);
    EXPECT_EQ(background(g.edi5), named("Lyellow"));
    EXPECT_EQ(background(g.searchEditor1), named("mistR"));

    showTab(workTab);
    click(g.searchLabel1);
    EXPECT_EQ(tk::getGadgetText(g.edi5), u"from polygon");
    EXPECT_EQ(background(g.searchEditor1), named("mistR"));
    EXPECT_EQ(background(g.edi5), named("Lyellow"));
    EXPECT_EQ(flashes_.size(), 2u);
}

TEST_F(CopyToTwin, EmptySourceCopiesNothingDoesNotFlashAndSoundsTheError) {
    open(workTab);
    const Gadgets& g = app.g;
    tk::setGadgetText(g.searchEditor1, u"");
    tk::setGadgetText(g.edi5, u"kept");
    const tk::Colour sourceBack = background(g.searchEditor1);
    const int copies = voiceStarts(app.copySound);
    const int errors = voiceStarts(app.errorSound);

    click(g.searchLabel1);

    EXPECT_EQ(tk::getGadgetText(g.edi5), u"kept");
    EXPECT_TRUE(flashes_.empty());
    EXPECT_EQ(background(g.searchEditor1), sourceBack);
    EXPECT_EQ(voiceStarts(app.errorSound), errors + 1);
    EXPECT_EQ(voiceStarts(app.copySound), copies);
}

// ---- The regular-expression look ---------------------------------------------------------

TEST_F(CopyToTwin, RegularExpressionBoxOfTheWorkRowColoursBothWorkEditors) {
    open(workTab);
    const Gadgets& g = app.g;
    click(option("reg1"));
    expectRegularExpressionLook({g.searchEditor1, g.replaceEditor1});
    EXPECT_EQ(background(g.edi5), named("Lyellow"));

    click(option("reg1"));
    for (Gadget editor : {g.searchEditor1, g.replaceEditor1}) {
        EXPECT_EQ(background(editor), tk::systemWindowColour());
        EXPECT_EQ(textColour(editor), named("black"));
    }
}

TEST_F(CopyToTwin, RegularExpressionBoxOfThePolygonRowColoursItsTwoEditorsButNotTheSample) {
    open(polygonTab);
    const Gadgets& g = app.g;
    click(option("reg2"));
    expectRegularExpressionLook({g.edi5, g.edi6});
    EXPECT_EQ(background(g.edi4), named("Lyellow"));
    EXPECT_EQ(background(g.searchEditor1), tk::systemWindowColour());

    click(option("reg2"));
    for (Gadget editor : {g.edi5, g.edi6}) {
        EXPECT_EQ(background(editor), named("Lyellow"));
        EXPECT_EQ(textColour(editor), named("black"));
    }
    EXPECT_EQ(background(g.edi4), named("Lyellow"));
}

TEST_F(CopyToTwin, StoredRegularExpressionOptionsGiveTheLookAtStartUp) {
    app.options["reg1"].state = 1;
    app.options["reg2"].state = 1;
    open(workTab);
    const Gadgets& g = app.g;
    expectRegularExpressionLook({g.searchEditor1, g.replaceEditor1, g.edi5, g.edi6});
    EXPECT_EQ(background(g.edi4), named("Lyellow"));
}

}  // namespace
