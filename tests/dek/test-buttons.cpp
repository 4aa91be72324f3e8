// Lamp buttons in a real top-level frame: faces checked pixel by pixel, label fitting, clicks, repaints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <vector>

#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/settings.h>
#include <wx/utils.h>

#include "dek-buttons.h"

namespace {

const wxColour kBlack(0, 0, 0);
const wxColour kLamp(255, 255, 127);
const wxColour kMagenta(255, 0, 255);

// Runs the loop until `done` holds or `ms` have passed; without `done`, for `ms`.
bool PumpUntil(std::function<bool()> done, int ms = 2000)
{
    const wxLongLong end = wxGetLocalTimeMillis() + ms;
    while (!(done && done())) {
        if (wxGetLocalTimeMillis() >= end)
            return false;
        wxTheApp->Yield(true);
        wxMilliSleep(5);
    }
    return true;
}
void Pump(int ms) { PumpUntil(nullptr, ms); }

// Like the panel, takes clicks through its static event table.
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
std::string Css(const wxColour& c) { return c.GetAsString(wxC2S_CSS_SYNTAX).ToStdString(); }
std::string Px(const wxImage& img, int x, int y) { return Css(PixelAt(img, x, y)); }

// The pixels at `points`: l the theme's bevel highlight, d its shadow, ? anything else.
std::string Bevel(const wxImage& img, std::initializer_list<wxPoint> points)
{
    const wxColour light = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT);
    const wxColour dark = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
    std::string s;
    for (const wxPoint& p : points)
        s += PixelAt(img, p.x, p.y) == light ? 'l' : PixelAt(img, p.x, p.y) == dark ? 'd' : '?';
    return s;
}
// The middles of the top, left, right and bottom edges of a 100x60 face.
std::string Edges(const wxImage& img) { return Bevel(img, {{50, 0}, {0, 30}, {99, 30}, {50, 59}}); }

// The face as the paint handler draws it, over magenta so that unpainted pixels show.
wxImage RenderFace(IclButton& b)
{
    const wxSize size = b.GetClientSize();
    wxBitmap bmp(size.x, size.y, 24);
    wxMemoryDC dc(bmp);
    dc.SetBackground(wxBrush(kMagenta));
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
    return right < left ? wxRect() : wxRect(wxPoint(left, top), wxPoint(right, bottom));
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

// A pane of black with the label drawn centred in white at a given size.
wxImage PaneWithLabel(const wxSize& size, const wxRect& pane, const wxString& text, int points, const wxString& face)
{
    wxBitmap bmp(size.x, size.y, 24);
    wxMemoryDC dc(bmp);
    dc.SetBackground(wxBrush(kMagenta));
    dc.Clear();
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(kBlack));
    dc.DrawRectangle(pane);
    dc.SetFont(LabelFont(points, face));
    const wxSize ext = dc.GetTextExtent(text);
    dc.SetTextForeground(*wxWHITE);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.DrawText(text, pane.x + (pane.width - ext.x) / 2, pane.y + (pane.height - ext.y) / 2);
    dc.SelectObject(wxNullBitmap);
    return bmp.ConvertToImage();
}

// Whether `b`'s single pane shows the label drawn at `points` and no other size.
bool DrawnAt(IclButton& b, const wxString& text, int points, const wxString& face)
{
    const wxSize size = b.GetClientSize();
    const wxRect pane(1, 1, size.x - 2, size.y - 2);
    return SamePixels(RenderFace(b), PaneWithLabel(size, pane, text, points, face), pane);
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
    void Mouse(IclButton* b, wxEventType type)
    {
        wxMouseEvent ev(type);
        b->ProcessWindowEvent(ev);
    }
    void Key(IclButton* b, wxEventType type, int key = WXK_SPACE)
    {
        wxKeyEvent ev(type);
        ev.m_keyCode = key;
        b->ProcessWindowEvent(ev);
    }

    ClickSink* frame = nullptr;
};

TEST_F(LampButtonTest, NewButtonIsBlackAndRaisedAndAPressSinksItAndClicksOnRelease)
{
    ASSERT_NE(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT),
              wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW))
        << "the theme's bevel colours must differ for this test to mean anything";
    IclButton* b = MakeButton(6011, wxSize(100, 60));
    const wxImage img = RenderFace(*b);
    EXPECT_EQ(Edges(img), "lldd");
    // Dark lines go last, so they own the two corners they share with light ones.
    EXPECT_EQ(Bevel(img, {{0, 0}, {99, 0}, {0, 59}, {99, 59}}), "lddd");
    EXPECT_EQ(InkBox(img, wxRect(1, 1, 98, 58), kBlack), wxRect()) << "face is plain black, no label";
    EXPECT_EQ(b->Pane(false).rect, wxRect(1, 1, 98, 58));

    Mouse(b, wxEVT_LEFT_DOWN);
    EXPECT_TRUE(b->IsPressed() && b->HasCapture() && frame->ids.empty()) << "nothing until the release";
    EXPECT_EQ(Edges(RenderFace(*b)), "ddll") << "sunk while held";
    Mouse(b, wxEVT_LEFT_DOWN);  // a second press while held must neither capture twice nor click twice
    Mouse(b, wxEVT_LEFT_UP);
    EXPECT_FALSE(b->IsPressed() || b->HasCapture());
    EXPECT_EQ(frame->ids, std::vector<int>{6011});
    EXPECT_EQ(frame->sources, std::vector<wxObject*>{b});
    EXPECT_EQ(Edges(RenderFace(*b)), "lldd") << "raised again";
    Mouse(b, wxEVT_LEFT_UP);
    EXPECT_EQ(frame->ids.size(), 1u) << "a second release is not a second click";

    // Space and Return press it as the mouse does, the key's repeats included.
    for (int key : {WXK_SPACE, WXK_RETURN}) {
        Key(b, wxEVT_KEY_DOWN, key);
        Key(b, wxEVT_KEY_DOWN, key);
        EXPECT_EQ(Edges(RenderFace(*b)), "ddll") << "sunk while held";
        Key(b, wxEVT_KEY_UP, key);
    }
    EXPECT_EQ(frame->ids, std::vector<int>(3, 6011));
    EXPECT_EQ(frame->sources, std::vector<wxObject*>(3, b));
    Key(b, wxEVT_KEY_DOWN);
    wxFocusEvent away(wxEVT_KILL_FOCUS);
    b->ProcessWindowEvent(away);
    Key(b, wxEVT_KEY_UP);
    Key(b, wxEVT_KEY_DOWN, 'a');
    Key(b, wxEVT_KEY_UP, 'a');
    EXPECT_EQ(frame->ids.size(), 3u) << "a press the focus left, and other keys, are no click";
    EXPECT_TRUE(b->AcceptsFocusFromKeyboard() && !MakeButton(wxID_ANY, wxSize(9, 9))->AcceptsFocusFromKeyboard())
        << "the keyboard passes a display by";
}

TEST_F(LampButtonTest, LightingTurnsFacePaleYellowWithItsLabelColour)
{
    IclButton* b = MakeButton(wxID_ANY, wxSize(120, 60));
    b->SetText("M", false);
    b->SetTextColour(wxColour(255, 0, 0), wxColour(0, 0, 255), false);
    b->SetDekFont(190, "Courier New", false);
    const wxRect face(1, 1, 118, 58);
    const wxImage dark = RenderFace(*b);
    EXPECT_EQ(Px(dark, 3, 3), Css(kBlack));
    EXPECT_TRUE(AnyPixel(dark, face,
                         [](const wxColour& c) { return c.Red() > 200 && c.Green() < 60 && c.Blue() < 60; }))
        << "unlit label in textOff";

    b->Light(true, false);
    const wxImage lit = RenderFace(*b);
    EXPECT_EQ(Px(lit, 3, 3) + Px(lit, 116, 56), Css(kLamp) + Css(kLamp));
    EXPECT_TRUE(AnyPixel(lit, face, [](const wxColour& c) { return c.Blue() > 200 && c.Red() < 60 && c.Green() < 60; }))
        << "lit label in textOn";
    EXPECT_FALSE(AnyPixel(lit, face, [](const wxColour& c) { return c.Red() > 200 && c.Green() < 60; }))
        << "no trace of textOff once lit";
}

TEST_F(LampButtonTest, SplitButtonDrawsLowerPaneBelowWithTwoBareRowsBetweenAndResizes)
{
    IclButton* b = MakeButton(wxID_ANY, wxSize(100, 60));
    const wxColour red(200, 0, 0), green(0, 200, 0), blue(0, 0, 200);
    b->SetColour(red, green, false);
    b->SetColour(blue, kLamp, true);
    b->SetText("CODE1", true);
    EXPECT_EQ(InkBox(RenderFace(*b), wxRect(1, 1, 98, 58), red), wxRect()) << "unsplit, the lower pane is not shown";

    b->Split(true);
    b->Light(true, true);
    const wxImage img = RenderFace(*b);
    EXPECT_EQ(b->Pane(false).rect, wxRect(1, 1, 98, 28));
    EXPECT_EQ(b->Pane(true).rect, wxRect(1, 31, 98, 28));
    // The first and last rows of the unlit upper and the lit lower pane.
    EXPECT_EQ(Px(img, 3, 3) + Px(img, 3, 28) + Px(img, 3, 31) + Px(img, 3, 58),
              Css(red) + Css(red) + Css(kLamp) + Css(kLamp));
    EXPECT_EQ(InkBox(img, wxRect(1, 29, 98, 2), kMagenta), wxRect()) << "rows 29 and 30 are not painted";
    EXPECT_EQ(InkBox(img, wxRect(1, 1, 98, 28), red), wxRect()) << "the label set with top=true is not upstairs";
    EXPECT_FALSE(InkBox(img, wxRect(1, 31, 98, 28), kLamp).IsEmpty()) << "CODE1 shows in the lower half";

    b->SetSize(80, 61);  // an odd height
    Pump(50);
    RenderFace(*b);
    EXPECT_EQ(b->Pane(false).rect, wxRect(1, 1, 78, 28));
    EXPECT_EQ(b->Pane(true).rect, wxRect(1, 31, 78, 29));
    // Back to one pane: it takes the whole face inside the bevel.
    b->Split(false);
    const wxImage whole = RenderFace(*b);
    EXPECT_EQ(b->Pane(false).rect, wxRect(1, 1, 78, 59));
    EXPECT_EQ(Px(whole, 40, 29) + Px(whole, 40, 30), Css(red) + Css(red));
}

// Split, even to the state it is in, has the next paint measure the panes again.
TEST_F(LampButtonTest, WithoutEdgesTheFaceFillsTheClientAreaOnceSplitRemeasuresIt)
{
    IclButton* b = MakeButton(wxID_ANY, wxSize(90, 30));
    RenderFace(*b);
    ASSERT_EQ(b->Pane(false).rect, wxRect(1, 1, 88, 28));
    b->SetNoEdges(true);
    b->Split(false);
    const wxColour face(10, 20, 30);
    b->SetColour(face, kLamp, false);
    wxImage img = RenderFace(*b);
    EXPECT_EQ(b->Pane(false).rect, wxRect(0, 0, 90, 30));
    for (const wxPoint& p : {wxPoint(0, 0), wxPoint(89, 0), wxPoint(0, 29), wxPoint(89, 29), wxPoint(45, 0)})
        EXPECT_EQ(Px(img, p.x, p.y), Css(face)) << "at " << p.x << "," << p.y;
    Mouse(b, wxEVT_LEFT_DOWN);
    img = RenderFace(*b);
    EXPECT_EQ(Px(img, 0, 0) + Px(img, 89, 29), Css(face) + Css(face)) << "even while pressed";
    Mouse(b, wxEVT_LEFT_UP);  // let go of the mouse before the frame goes
}

TEST_F(LampButtonTest, LongLabelShrinksPointByPointUntilItFits)
{
    const wxString label = "ALLOCATE";
    IclButton* b = MakeButton(wxID_ANY, wxSize(80, 30));
    b->SetDekFont(190, "Courier New", false);
    b->SetText(label, false);
    const wxRect pane(1, 1, 78, 28);
    // The largest size not above 19 clearing the pane by more than 3 pixels each way.
    auto fits = [&](int points) {
        const wxSize ext = MeasureLabel(label, points, "Courier New");
        return ext.x < pane.width - 3 && ext.y < pane.height - 3;
    };
    int fitted = 19;
    while (fitted > 6 && !fits(fitted))
        --fitted;
    ASSERT_GT(fitted, 6) << "the label should fit above the floor in this pane";
    ASSERT_LT(fitted, 19) << "the label should not fit at its preferred size";
    EXPECT_TRUE(DrawnAt(*b, label, fitted, "Courier New")) << "drawn at " << fitted << " pt, centred";
    EXPECT_FALSE(DrawnAt(*b, label, fitted + 1, "Courier New"));
    EXPECT_EQ(b->Pane(false).fontPts, 19) << "the fitted size is not stored";
    b->SetSize(300, 60);
    Pump(50);
    EXPECT_TRUE(DrawnAt(*b, label, 19, "Courier New")) << "a bigger button draws it at its preferred size again";
}

// Exactly 3 pixels of room, across or down, is not enough; never below 6 points.
TEST_F(LampButtonTest, LabelLeavingOnlyThreePixelsSpareIsShrunkButNotBelowSixPoints)
{
    const wxString label = "HOLD";
    const wxSize at12 = MeasureLabel(label, 12, "Courier New"), at11 = MeasureLabel(label, 11, "Courier New");
    ASSERT_TRUE(at11.x < at12.x && at11.y < at12.y);
    for (const wxSize& size : {wxSize(at12.x + 3 + 2, 200), wxSize(400, at12.y + 3 + 2)}) {
        IclButton* b = MakeButton(wxID_ANY, size);
        b->SetTextSize(120, false);
        b->SetText(label, false);
        EXPECT_TRUE(DrawnAt(*b, label, 11, "Courier New")) << "in a " << size.x << "x" << size.y << " button";
        b->Destroy();
    }

    const wxString tooLong = "A LABEL FAR TOO LONG FOR ANY SMALL BUTTON";
    IclButton* b = MakeButton(wxID_ANY, wxSize(60, 24));
    b->SetDekFont(180, "Arial", false);
    b->SetText(tooLong, false);
    ASSERT_GE(MeasureLabel(tooLong, 6, "Arial").x, 58 - 3);
    EXPECT_TRUE(DrawnAt(*b, tooLong, 6, "Arial"));
    EXPECT_FALSE(DrawnAt(*b, tooLong, 7, "Arial"));
}

TEST_F(LampButtonTest, LabelSizesComeInTenthsWithASixPointFloor)
{
    IclButton* b = MakeButton(wxID_ANY, wxSize(80, 30));
    b->SetDekFont(190, "Arial", false);
    EXPECT_EQ(b->Pane(false).fontname + " " + b->Pane(true).fontname, "Arial Courier New");
    std::vector<int> pts = {b->Pane(false).fontPts};
    for (const auto& [tenths, top] : {std::pair{199, false}, {55, false}, {70, true}, {-20, true}}) {
        b->SetTextSize(tenths, top);
        pts.push_back(b->Pane(top).fontPts);
    }
    b->SetDekFont(0, "Arial", true);
    pts.push_back(b->Pane(true).fontPts);
    EXPECT_EQ(pts, (std::vector<int>{19, 19, 6, 7, 6, 6})) << "truncated, not rounded";
}

TEST_F(LampButtonTest, LosingTheCaptureAbandonsThePressAndDestroyingAHeldButtonLetsGo)
{
    IclButton* b = MakeButton(6015, wxSize(100, 60));
    Pump(100);
    Mouse(b, wxEVT_LEFT_DOWN);
    ASSERT_TRUE(b->HasCapture());
    // Hiding the held button makes the display server break its grab.
    b->Hide();
    EXPECT_TRUE(PumpUntil([b] { return !b->HasCapture(); }) && !b->IsPressed());
    b->Show();
    Mouse(b, wxEVT_LEFT_UP);
    EXPECT_TRUE(frame->ids.empty()) << "a lost press never turns into a click";

    Mouse(b, wxEVT_LEFT_DOWN);
    ASSERT_TRUE(b->HasCapture());
    delete b;  // child windows may be deleted directly; the toolkit asserts if one still holds the mouse
    EXPECT_TRUE(wxWindow::GetCapture() == nullptr && frame->ids.empty());
}

TEST_F(LampButtonTest, ChangesRepaint)
{
    IclButton* b = MakeButton(wxID_ANY, wxSize(100, 60));
    b->SetText("HOLD", false);
    b->Split(true);
    int paints = 0;
    b->Bind(wxEVT_PAINT, [&paints](wxPaintEvent& e) {
        ++paints;
        e.Skip();
    });
    // Lets the repaint settle and clears the count, so that a late paint is not credited to the next step.
    auto painted = [&paints] {
        const bool any = PumpUntil([&paints] { return paints > 0; });
        Pump(200);
        paints = 0;
        return any;
    };
    ASSERT_TRUE(painted()) << "a shown button paints";
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"lamp", [b] { b->Light(true, true); }}, {"label", [b] { b->SetText("HELD", false); }},
        {"colour", [b] { b->SetColour(kBlack, wxColour(0, 255, 0), true); }},
        {"press", [&] { Mouse(b, wxEVT_LEFT_DOWN); }}, {"release", [&] { Mouse(b, wxEVT_LEFT_UP); }},
        {"resize", [b] { b->SetSize(120, 70); }}};
    for (const auto& [what, change] : changes) {
        change();
        EXPECT_TRUE(painted()) << what;
    }
}

// Not a test: captures sample buttons for the documentation (scripts/screenshot-buttons).
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
    const wxScopedCharBuffer crop =
        wxString::Format("%dx%d+%d+%d", area.width, area.height, area.x, area.y).utf8_str();
    const char* argv[] = {"import", "-window", "root", "-crop", crop.data(), "+repage", out, nullptr};
    EXPECT_EQ(wxExecute(argv, wxEXEC_SYNC), 0);
}

}  // namespace
