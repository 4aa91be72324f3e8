// Lamp buttons in a real top-level frame: faces rendered into bitmaps and
// checked pixel by pixel, label fitting, clicks and repaint economy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/settings.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "dek-buttons.h"

namespace {

const wxColour kBlack(0, 0, 0);
const wxColour kLamp(255, 255, 127);
const wxColour kMagenta(255, 0, 255);

// Runs the toolkit's loop for a while so that paints and input arrive.
void Pump(int ms)
{
    const wxLongLong end = wxGetLocalTimeMillis() + ms;
    do {
        wxTheApp->Yield(true);
        wxMilliSleep(10);
    } while (wxGetLocalTimeMillis() < end);
}

// Runs the loop until `done` holds or two seconds have passed; the machine
// may be busy, so waits for something that should happen are generous.
template <class Done>
bool PumpUntil(Done done)
{
    const wxLongLong end = wxGetLocalTimeMillis() + 2000;
    while (!done()) {
        if (wxGetLocalTimeMillis() >= end)
            return false;
        wxTheApp->Yield(true);
        wxMilliSleep(5);
    }
    return true;
}

// The frame that owns the buttons; like the panel, it takes clicks through
// its static event table.
class ClickSink : public wxFrame {
public:
    ClickSink() : wxFrame(nullptr, wxID_ANY, "lamp buttons", wxPoint(20, 20), wxSize(500, 400)) {}

    std::vector<int> ids;
    std::vector<wxObject*> sources;

private:
    void OnButton(wxCommandEvent& event)
    {
        ids.push_back(event.GetId());
        sources.push_back(event.GetEventObject());
    }

    wxDECLARE_EVENT_TABLE();
};

wxBEGIN_EVENT_TABLE(ClickSink, wxFrame)
    EVT_BUTTON(wxID_ANY, ClickSink::OnButton)
wxEND_EVENT_TABLE()

wxColour PixelAt(const wxImage& img, int x, int y)
{
    return wxColour(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y));
}

std::string Describe(const wxColour& c)
{
    return c.GetAsString(wxC2S_CSS_SYNTAX).ToStdString();
}

// The face as the paint handler draws it, over a known background so that
// unpainted pixels show.
wxImage RenderFace(IclButton& b, const wxColour& background = kMagenta)
{
    const wxSize size = b.GetClientSize();
    wxBitmap bmp(size.x, size.y, 24);
    wxMemoryDC dc(bmp);
    dc.SetBackground(wxBrush(background));
    dc.Clear();
    b.Render(dc);
    dc.SelectObject(wxNullBitmap);
    return bmp.ConvertToImage();
}

// Bounding box of the pixels inside `area` that differ from `fill`.
wxRect InkBox(const wxImage& img, const wxRect& area, const wxColour& fill)
{
    int left = area.GetRight() + 1, right = area.x - 1, top = area.GetBottom() + 1, bottom = area.y - 1;
    for (int y = area.y; y <= area.GetBottom(); ++y)
        for (int x = area.x; x <= area.GetRight(); ++x)
            if (PixelAt(img, x, y) != fill) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < left)
        return wxRect();
    return wxRect(wxPoint(left, top), wxPoint(right, bottom));
}

bool AnyPixel(const wxImage& img, const wxRect& area, bool (*match)(const wxColour&))
{
    for (int y = area.y; y <= area.GetBottom(); ++y)
        for (int x = area.x; x <= area.GetRight(); ++x)
            if (match(PixelAt(img, x, y)))
                return true;
    return false;
}

bool SamePixels(const wxImage& a, const wxImage& b, const wxRect& area)
{
    for (int y = area.y; y <= area.GetBottom(); ++y)
        for (int x = area.x; x <= area.GetRight(); ++x)
            if (PixelAt(a, x, y) != PixelAt(b, x, y))
                return false;
    return true;
}

wxFont LabelFont(int points, const wxString& face)
{
    return wxFont(points, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false, face);
}

wxSize MeasureLabel(const wxString& text, int points, const wxString& face)
{
    wxBitmap bmp(8, 8, 24);
    wxMemoryDC dc(bmp);
    dc.SetFont(LabelFont(points, face));
    return dc.GetTextExtent(text);
}

// The largest size not above `points` at which the label clears the pane by
// more than 3 pixels each way, but never below 6.
int FittedPoints(const wxString& text, int points, const wxString& face, const wxRect& pane)
{
    for (; points > 6; --points) {
        const wxSize ext = MeasureLabel(text, points, face);
        if (ext.x < pane.width - 3 && ext.y < pane.height - 3)
            break;
    }
    return points;
}

// A pane of `fill` with the label drawn centred at a given size.
wxImage PaneWithLabel(const wxSize& size, const wxRect& pane, const wxString& text, int points,
                      const wxString& face, const wxColour& fill, const wxColour& ink)
{
    wxBitmap bmp(size.x, size.y, 24);
    wxMemoryDC dc(bmp);
    dc.SetBackground(wxBrush(kMagenta));
    dc.Clear();
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(fill));
    dc.DrawRectangle(pane);
    dc.SetFont(LabelFont(points, face));
    const wxSize ext = dc.GetTextExtent(text);
    dc.SetTextForeground(ink);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.DrawText(text, pane.x + (pane.width - ext.x) / 2, pane.y + (pane.height - ext.y) / 2);
    dc.SelectObject(wxNullBitmap);
    return bmp.ConvertToImage();
}

class LampButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frame = new ClickSink;
        frame->Show();
        Pump(100);
    }

    void TearDown() override
    {
        frame->Destroy();
        Pump(50);
        wxTheApp->ProcessIdle();
    }

    IclButton* MakeButton(int id, const wxSize& size, const wxPoint& pos = wxPoint(10, 10))
    {
        return new IclButton(frame, id, pos, size);
    }

    ClickSink* frame = nullptr;
};

// ---------------------------------------------------------------- drawing

TEST_F(LampButtonTest, NewButtonIsBlackWithRaisedBevelAndNoLabel)
{
    const wxColour light = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT);
    const wxColour dark = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
    ASSERT_NE(light, dark) << "the theme's bevel colours must differ for this test to mean anything";

    IclButton* b = MakeButton(wxID_ANY, wxSize(100, 60));
    const wxImage img = RenderFace(*b);

    EXPECT_EQ(Describe(PixelAt(img, 50, 0)), Describe(light)) << "top edge";
    EXPECT_EQ(Describe(PixelAt(img, 0, 30)), Describe(light)) << "left edge";
    EXPECT_EQ(Describe(PixelAt(img, 99, 30)), Describe(dark)) << "right edge";
    EXPECT_EQ(Describe(PixelAt(img, 50, 59)), Describe(dark)) << "bottom edge";
    // Dark lines go last, so they own the two corners they share with light ones.
    EXPECT_EQ(Describe(PixelAt(img, 99, 0)), Describe(dark)) << "top right";
    EXPECT_EQ(Describe(PixelAt(img, 0, 59)), Describe(dark)) << "bottom left";
    EXPECT_EQ(Describe(PixelAt(img, 0, 0)), Describe(light)) << "top left";
    EXPECT_EQ(Describe(PixelAt(img, 99, 59)), Describe(dark)) << "bottom right";

    const wxRect inner(1, 1, 98, 58);
    EXPECT_EQ(InkBox(img, inner, kBlack), wxRect()) << "face is plain black, no label";
    EXPECT_EQ(b->Pane(false).rect, inner);
}

TEST_F(LampButtonTest, LightingTurnsFacePaleYellowWithItsLabelColour)
{
    IclButton* b = MakeButton(wxID_ANY, wxSize(120, 60));
    b->SetText("M", false);
    b->SetTextColour(wxColour(255, 0, 0), wxColour(0, 0, 255), false);
    b->SetDekFont(190, "Courier New", false);

    const wxImage dark = RenderFace(*b);
    EXPECT_EQ(Describe(PixelAt(dark, 3, 3)), Describe(kBlack));
    EXPECT_TRUE(AnyPixel(dark, wxRect(1, 1, 118, 58),
                         [](const wxColour& c) { return c.Red() > 200 && c.Green() < 60 && c.Blue() < 60; }))
        << "unlit label in textOff";

    b->Light(true, false);
    EXPECT_TRUE(b->IsLit(false));
    const wxImage lit = RenderFace(*b);
    EXPECT_EQ(Describe(PixelAt(lit, 3, 3)), Describe(kLamp));
    EXPECT_EQ(Describe(PixelAt(lit, 116, 56)), Describe(kLamp));
    EXPECT_TRUE(AnyPixel(lit, wxRect(1, 1, 118, 58),
                         [](const wxColour& c) { return c.Blue() > 200 && c.Red() < 60 && c.Green() < 60; }))
        << "lit label in textOn";
    EXPECT_FALSE(AnyPixel(lit, wxRect(1, 1, 118, 58),
                          [](const wxColour& c) { return c.Red() > 200 && c.Green() < 60; }))
        << "no trace of textOff once lit";
}

TEST_F(LampButtonTest, SplitButtonDrawsLowerPaneBelowWithTwoBareRowsBetween)
{
    IclButton* b = MakeButton(wxID_ANY, wxSize(100, 60));
    const wxColour red(200, 0, 0), green(0, 200, 0), blue(0, 0, 200);
    b->SetColour(red, green, false);
    b->SetColour(blue, kLamp, true);
    b->SetText("CODE1", true);

    // Unsplit, the lower pane's label and colours are not shown at all.
    const wxImage whole = RenderFace(*b);
    EXPECT_EQ(InkBox(whole, wxRect(1, 1, 98, 58), red), wxRect());

    b->Split(true);
    b->Light(true, true);
    const wxImage img = RenderFace(*b);
    EXPECT_EQ(b->Pane(false).rect, wxRect(1, 1, 98, 28));
    EXPECT_EQ(b->Pane(true).rect, wxRect(1, 31, 98, 28));

    EXPECT_EQ(Describe(PixelAt(img, 3, 3)), Describe(red)) << "upper pane stays unlit";
    EXPECT_EQ(Describe(PixelAt(img, 3, 28)), Describe(red)) << "last row of upper pane";
    EXPECT_EQ(Describe(PixelAt(img, 3, 31)), Describe(kLamp)) << "first row of lower pane";
    EXPECT_EQ(Describe(PixelAt(img, 3, 58)), Describe(kLamp)) << "last row of lower pane";
    for (int x = 1; x <= 98; ++x) {
        ASSERT_EQ(Describe(PixelAt(img, x, 29)), Describe(kMagenta)) << "row 29 painted at x=" << x;
        ASSERT_EQ(Describe(PixelAt(img, x, 30)), Describe(kMagenta)) << "row 30 painted at x=" << x;
    }
    EXPECT_EQ(InkBox(img, wxRect(1, 1, 98, 28), red), wxRect()) << "the label set with top=true is not upstairs";
    const wxRect lowerInk = InkBox(img, wxRect(1, 31, 98, 28), kLamp);
    EXPECT_FALSE(lowerInk.IsEmpty()) << "CODE1 shows in the lower half";
}

TEST_F(LampButtonTest, ResizingRecomputesPanesForOddHeights)
{
    IclButton* b = MakeButton(wxID_ANY, wxSize(100, 60));
    b->Split(true);
    RenderFace(*b);
    ASSERT_EQ(b->Pane(true).rect, wxRect(1, 31, 98, 28));

    b->SetSize(80, 61);
    Pump(50);
    RenderFace(*b);
    EXPECT_EQ(b->Pane(false).rect, wxRect(1, 1, 78, 28));
    EXPECT_EQ(b->Pane(true).rect, wxRect(1, 31, 78, 29));

    // Back to one pane: it takes the whole face inside the bevel.
    b->Split(false);
    const wxImage img = RenderFace(*b);
    EXPECT_EQ(b->Pane(false).rect, wxRect(1, 1, 78, 59));
    EXPECT_EQ(Describe(PixelAt(img, 40, 29)), Describe(kBlack));
    EXPECT_EQ(Describe(PixelAt(img, 40, 30)), Describe(kBlack));
}

// Split, even to the state the button is already in, has the next paint
// measure the panes again: here it picks up a late SetNoEdges.
TEST_F(LampButtonTest, SplitUnchangedRemeasuresThePanes)
{
    IclButton* b = MakeButton(wxID_ANY, wxSize(90, 30));
    RenderFace(*b);
    ASSERT_EQ(b->Pane(false).rect, wxRect(1, 1, 88, 28));
    b->SetNoEdges(true);
    b->Split(false);
    RenderFace(*b);
    EXPECT_EQ(b->Pane(false).rect, wxRect(0, 0, 90, 30));
}

TEST_F(LampButtonTest, WithoutEdgesTheFaceFillsTheClientAreaEvenWhilePressed)
{
    IclButton* b = MakeButton(wxID_ANY, wxSize(90, 30));
    b->SetNoEdges(true);
    b->SetColour(wxColour(10, 20, 30), kLamp, false);
    const wxColour face(10, 20, 30);

    wxImage img = RenderFace(*b);
    EXPECT_EQ(b->Pane(false).rect, wxRect(0, 0, 90, 30));
    for (const wxPoint& p : {wxPoint(0, 0), wxPoint(89, 0), wxPoint(0, 29), wxPoint(89, 29), wxPoint(45, 0)})
        EXPECT_EQ(Describe(PixelAt(img, p.x, p.y)), Describe(face)) << "at " << p.x << "," << p.y;

    wxMouseEvent down(wxEVT_LEFT_DOWN);
    b->ProcessWindowEvent(down);
    img = RenderFace(*b);
    EXPECT_EQ(Describe(PixelAt(img, 0, 0)), Describe(face));
    EXPECT_EQ(Describe(PixelAt(img, 89, 29)), Describe(face));
    wxMouseEvent up(wxEVT_LEFT_UP);
    b->ProcessWindowEvent(up);  // let go of the mouse before the frame goes
}

TEST_F(LampButtonTest, LongLabelShrinksPointByPointUntilItFits)
{
    const wxString label = "ALLOCATE";
    IclButton* b = MakeButton(wxID_ANY, wxSize(80, 30));
    b->SetDekFont(190, "Courier New", false);
    b->SetText(label, false);
    const wxRect pane(1, 1, 78, 28);

    const int fitted = FittedPoints(label, 19, "Courier New", pane);
    ASSERT_GT(fitted, 6) << "the label should fit above the floor in this pane";
    ASSERT_LT(fitted, 19) << "the label should not fit at its preferred size";

    const wxImage img = RenderFace(*b);
    const wxImage expected = PaneWithLabel(b->GetClientSize(), pane, label, fitted, "Courier New", kBlack, *wxWHITE);
    const wxImage oneBigger =
        PaneWithLabel(b->GetClientSize(), pane, label, fitted + 1, "Courier New", kBlack, *wxWHITE);
    EXPECT_TRUE(SamePixels(img, expected, pane)) << "drawn at " << fitted << " pt, centred";
    EXPECT_FALSE(SamePixels(img, oneBigger, pane));

    const wxRect ink = InkBox(img, pane, kBlack);
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_LE(ink.width, pane.width - 4);
    EXPECT_NEAR(ink.x + ink.width / 2.0, pane.x + pane.width / 2.0, 3.0) << "centred across";
    EXPECT_EQ(b->Pane(false).fontPts, 19) << "the fitted size is not stored";

    // A bigger button draws the label at its preferred size again.
    b->SetSize(300, 60);
    Pump(50);
    const wxImage grown = RenderFace(*b);
    const wxRect bigPane(1, 1, 298, 58);
    EXPECT_TRUE(SamePixels(grown, PaneWithLabel(wxSize(300, 60), bigPane, label, 19, "Courier New", kBlack, *wxWHITE),
                           bigPane));
}

// Exactly 3 pixels of room is not enough: the label must clear the pane by
// more than that, across and down.
TEST_F(LampButtonTest, LabelLeavingOnlyThreePixelsSpareIsShrunk)
{
    const wxString label = "HOLD";
    const wxSize at12 = MeasureLabel(label, 12, "Courier New");
    const wxSize at11 = MeasureLabel(label, 11, "Courier New");
    ASSERT_LT(at11.x, at12.x);
    ASSERT_LT(at11.y, at12.y);

    const wxSize sizes[] = {wxSize(at12.x + 3 + 2, 200), wxSize(400, at12.y + 3 + 2)};
    for (const wxSize& size : sizes) {
        IclButton* b = MakeButton(wxID_ANY, size);
        b->SetTextSize(120, false);
        b->SetText(label, false);
        const wxRect pane(1, 1, size.x - 2, size.y - 2);
        const wxImage img = RenderFace(*b);
        EXPECT_TRUE(SamePixels(img, PaneWithLabel(size, pane, label, 11, "Courier New", kBlack, *wxWHITE), pane))
            << "drawn at 11 pt in a " << size.x << "x" << size.y << " button";
        b->Destroy();
    }
}

TEST_F(LampButtonTest, LabelTooLongEvenAtSixPointsIsDrawnAtSixPoints)
{
    const wxString label = "A LABEL FAR TOO LONG FOR ANY SMALL BUTTON";
    IclButton* b = MakeButton(wxID_ANY, wxSize(60, 24));
    b->SetDekFont(180, "Arial", false);
    b->SetText(label, false);
    const wxRect pane(1, 1, 58, 22);
    ASSERT_GE(MeasureLabel(label, 6, "Arial").x, pane.width - 3);

    const wxImage img = RenderFace(*b);
    EXPECT_TRUE(SamePixels(img, PaneWithLabel(b->GetClientSize(), pane, label, 6, "Arial", kBlack, *wxWHITE), pane));
    EXPECT_FALSE(SamePixels(img, PaneWithLabel(b->GetClientSize(), pane, label, 7, "Arial", kBlack, *wxWHITE), pane));
}

TEST_F(LampButtonTest, LabelSizesComeInTenthsWithASixPointFloor)
{
    IclButton* b = MakeButton(wxID_ANY, wxSize(80, 30));
    b->SetDekFont(190, "Arial", false);
    EXPECT_EQ(b->Pane(false).fontPts, 19);
    EXPECT_EQ(b->Pane(false).fontname, "Arial");
    EXPECT_EQ(b->Pane(true).fontname, "Courier New") << "the other pane is untouched";
    b->SetTextSize(199, false);
    EXPECT_EQ(b->Pane(false).fontPts, 19) << "truncated, not rounded";
    b->SetTextSize(55, false);
    EXPECT_EQ(b->Pane(false).fontPts, 6);
    b->SetTextSize(70, true);
    EXPECT_EQ(b->Pane(true).fontPts, 7);
    b->SetTextSize(-20, true);
    EXPECT_EQ(b->Pane(true).fontPts, 6);
    b->SetDekFont(0, "Arial", true);
    EXPECT_EQ(b->Pane(true).fontPts, 6);
}

// ---------------------------------------------------------------- clicks

TEST_F(LampButtonTest, PressAndReleaseEmitsOneClickToTheParent)
{
    IclButton* b = MakeButton(6011, wxSize(100, 60));
    const wxColour light = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT);
    const wxColour dark = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);

    wxMouseEvent down(wxEVT_LEFT_DOWN);
    b->ProcessWindowEvent(down);
    EXPECT_TRUE(b->IsPressed());
    EXPECT_TRUE(b->HasCapture());
    EXPECT_TRUE(frame->ids.empty()) << "nothing until the release";
    const wxImage sunk = RenderFace(*b);
    EXPECT_EQ(Describe(PixelAt(sunk, 50, 0)), Describe(dark)) << "top edge while held";
    EXPECT_EQ(Describe(PixelAt(sunk, 0, 30)), Describe(dark)) << "left edge while held";
    EXPECT_EQ(Describe(PixelAt(sunk, 99, 30)), Describe(light)) << "right edge while held";
    EXPECT_EQ(Describe(PixelAt(sunk, 50, 59)), Describe(light)) << "bottom edge while held";

    // A second press while held must neither capture twice nor click twice.
    b->ProcessWindowEvent(down);

    wxMouseEvent up(wxEVT_LEFT_UP);
    b->ProcessWindowEvent(up);
    EXPECT_FALSE(b->IsPressed());
    EXPECT_FALSE(b->HasCapture());
    ASSERT_EQ(frame->ids.size(), 1u);
    EXPECT_EQ(frame->ids[0], 6011);
    EXPECT_EQ(frame->sources[0], b);
    EXPECT_EQ(Describe(PixelAt(RenderFace(*b), 50, 0)), Describe(light)) << "raised again";

    b->ProcessWindowEvent(up);
    EXPECT_EQ(frame->ids.size(), 1u) << "a second release is not a second click";
}

TEST_F(LampButtonTest, RealClicksIncludingDragOffBeforeRelease)
{
    IclButton* b = MakeButton(6013, wxSize(100, 60), wxPoint(40, 40));
    IclButton* other = MakeButton(6014, wxSize(100, 60), wxPoint(250, 40));
    Pump(200);
    const wxPoint centre = b->ClientToScreen(wxPoint(50, 30));
    const wxPoint otherCentre = other->ClientToScreen(wxPoint(50, 30));
    const wxPoint outside = frame->ClientToScreen(wxPoint(200, 300));
    wxUIActionSimulator sim;
    auto clicks = [this](size_t n) { return PumpUntil([this, n] { return frame->ids.size() >= n; }); };

    sim.MouseMove(centre);
    sim.MouseDown();
    EXPECT_TRUE(PumpUntil([b] { return b->IsPressed(); }));
    sim.MouseUp();
    ASSERT_TRUE(clicks(1)) << "plain click";
    EXPECT_EQ(frame->ids[0], 6013);

    wxMilliSleep(600);  // keep GTK from merging the clicks into a double click
    sim.MouseMove(centre);
    sim.MouseDown();
    EXPECT_TRUE(PumpUntil([b] { return b->IsPressed(); }));
    sim.MouseMove(outside);
    Pump(100);
    EXPECT_TRUE(b->IsPressed()) << "still held while dragged off";
    sim.MouseUp();
    ASSERT_TRUE(clicks(2)) << "a release anywhere after a press is a click";
    EXPECT_EQ(frame->ids[1], 6013);
    EXPECT_FALSE(b->IsPressed());
    EXPECT_FALSE(b->HasCapture());

    // The click belongs to the button pressed, not the one released over.
    wxMilliSleep(600);
    sim.MouseMove(otherCentre);
    sim.MouseDown();
    EXPECT_TRUE(PumpUntil([other] { return other->IsPressed(); }));
    sim.MouseMove(centre);
    Pump(100);
    sim.MouseUp();
    ASSERT_TRUE(clicks(3));
    EXPECT_EQ(frame->ids[2], 6014);

    // Pressed on the frame and released over the button: no click.
    wxMilliSleep(600);
    sim.MouseMove(outside);
    sim.MouseDown();
    Pump(100);
    sim.MouseMove(centre);
    Pump(100);
    sim.MouseUp();
    Pump(300);
    EXPECT_EQ(frame->ids.size(), 3u);
    EXPECT_FALSE(b->IsPressed());
}

TEST_F(LampButtonTest, LosingTheCaptureAbandonsThePress)
{
    IclButton* b = MakeButton(6015, wxSize(100, 60));
    Pump(100);
    wxMouseEvent down(wxEVT_LEFT_DOWN);
    b->ProcessWindowEvent(down);
    ASSERT_TRUE(b->HasCapture());

    // Hiding the held button makes the display server break its grab.
    b->Hide();
    EXPECT_TRUE(PumpUntil([b] { return !b->HasCapture(); }));
    EXPECT_FALSE(b->IsPressed());
    b->Show();

    wxMouseEvent up(wxEVT_LEFT_UP);
    b->ProcessWindowEvent(up);
    EXPECT_TRUE(frame->ids.empty()) << "a lost press never turns into a click";
}

TEST_F(LampButtonTest, DestroyingAHeldButtonLetsGoOfTheMouse)
{
    IclButton* b = MakeButton(6016, wxSize(100, 60));
    wxMouseEvent down(wxEVT_LEFT_DOWN);
    b->ProcessWindowEvent(down);
    ASSERT_TRUE(b->HasCapture());
    delete b;  // child windows may be deleted directly; the toolkit asserts if one still holds the mouse
    EXPECT_EQ(wxWindow::GetCapture(), nullptr);
    EXPECT_TRUE(frame->ids.empty());
}

// ---------------------------------------------------------------- repaints

class PaintCounter {
public:
    explicit PaintCounter(IclButton* b)
    {
        b->Bind(wxEVT_PAINT, [this](wxPaintEvent& e) {
            ++count;
            e.Skip();
        });
    }
    // A paint since the count was last cleared. Lets the repaint settle and
    // clears the count, so that a late paint is not credited to the next step.
    bool Happened()
    {
        const bool painted = PumpUntil([this] { return count > 0; });
        Pump(100);
        count = 0;
        return painted;
    }
    int count = 0;
};

TEST_F(LampButtonTest, OnlyChangesRepaint)
{
    IclButton* b = MakeButton(wxID_ANY, wxSize(100, 60));
    b->SetText("HOLD", false);
    b->Split(true);
    PaintCounter paints(b);
    ASSERT_TRUE(PumpUntil([&paints] { return paints.count > 0; })) << "a shown button paints";
    Pump(200);

    paints.count = 0;
    b->Light(false, false);
    b->Light(false, true);
    b->SetText("HOLD", false);
    b->SetColour(kBlack, kLamp, true);
    Pump(200);
    EXPECT_EQ(paints.count, 0) << "unchanged state must not repaint";

    b->Light(true, true);
    EXPECT_TRUE(paints.Happened()) << "a lamp change repaints";

    b->SetText("HELD", false);
    EXPECT_TRUE(paints.Happened()) << "a label change repaints";

    b->SetColour(kBlack, wxColour(0, 255, 0), true);
    EXPECT_TRUE(paints.Happened()) << "a colour change repaints";

    wxMouseEvent down(wxEVT_LEFT_DOWN);
    b->ProcessWindowEvent(down);
    EXPECT_TRUE(paints.Happened()) << "a press repaints the frame sunk";

    wxMouseEvent up(wxEVT_LEFT_UP);
    b->ProcessWindowEvent(up);
    EXPECT_TRUE(paints.Happened()) << "a release repaints the frame raised";

    b->SetSize(120, 70);
    EXPECT_TRUE(paints.Happened()) << "a resize repaints";
}

// Not a test: renders sample buttons in a real frame and captures them, for
// the documentation (scripts/screenshot-buttons runs it with an output path).
TEST_F(LampButtonTest, DISABLED_Screenshot)
{
    const char* out = std::getenv("DEK_BUTTONS_SCREENSHOT");
    ASSERT_NE(out, nullptr) << "set DEK_BUTTONS_SCREENSHOT to the output file";
    frame->SetBackgroundColour(wxColour(64, 64, 64));
    frame->SetClientSize(560, 100);

    IclButton* code = MakeButton(wxID_ANY, wxSize(90, 60), wxPoint(10, 20));
    code->Split(true);
    code->SetText("CODE1", true);
    code->SetText("CODE2", false);
    code->Light(true, true);

    IclButton* lit = MakeButton(wxID_ANY, wxSize(90, 60), wxPoint(110, 20));
    lit->SetText("START", false);
    lit->SetTextColour(*wxWHITE, kBlack, false);
    lit->Light(true, false);

    IclButton* unlit = MakeButton(wxID_ANY, wxSize(90, 60), wxPoint(210, 20));
    unlit->SetText("STOP", false);
    unlit->SetColour(wxColour(128, 0, 0), wxColour(255, 0, 0), false);

    IclButton* plain = MakeButton(wxID_ANY, wxSize(130, 24), wxPoint(310, 38));
    plain->SetNoEdges(true);
    plain->SetColour(*wxWHITE, *wxWHITE, false);
    plain->SetTextColour(kBlack, kBlack, false);
    plain->SetDekFont(100, "Arial", false);
    plain->SetText("/data/deck.txt", false);

    IclButton* longLabel = MakeButton(wxID_ANY, wxSize(90, 60), wxPoint(450, 20));
    longLabel->SetDekFont(190, "Courier New", false);
    longLabel->SetText("ALLOCATE", false);

    Pump(500);
    const wxRect area(frame->ClientToScreen(wxPoint(0, 0)), frame->GetClientSize());
    const wxString geometry = wxString::Format("%dx%d+%d+%d", area.width, area.height, area.x, area.y);
    const char* argv[] = {"import", "-window", "root", "-crop", nullptr, "+repage", out, nullptr};
    const wxScopedCharBuffer crop = geometry.utf8_str();
    argv[4] = crop.data();
    EXPECT_EQ(wxExecute(argv, wxEXEC_SYNC), 0);
}

}  // namespace
