// Painting on the character screen: where texts land, brushes and fonts in
// the cells, the colour requests controls send their parent, z-order.
#include "platform/text.h"
#include "window_fixture.h"

using namespace window_test;

namespace {

struct TextJob {
  RECT rect;
  UINT format;
  std::u16string text;
};
std::vector<TextJob> jobs;
HFONT jobFont = nullptr;

LRESULT painterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(window, &ps);
  if (jobFont != nullptr) SelectObject(dc, jobFont);
  for (auto& job : jobs) DrawTextW(dc, job.text.c_str(), -1, &job.rect, job.format);
  EndPaint(window, &ps);
  return 0;
}

class Painting : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    jobs.clear();
    jobFont = nullptr;
    WNDCLASSW wc{};
    wc.lpfnWndProc = painterProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = u"Painter";
    RegisterClassW(&wc);
  }
  HWND painter(HWND parent, RECT r) {
    return CreateWindowExW(0, u"Painter", u"", WS_CHILD | WS_VISIBLE, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent, nullptr, nullptr, nullptr);
  }
};

TEST_F(Painting, TextsStandOnTheRowOfTheirVerticalCentreAlignedInTheirColumns) {
  struct Case {
    RECT rect;
    UINT format;
    std::u16string text;
    int row;
    std::string expected;  // the row's first 12 columns
  };
  const Case cases[] = {
      {{0, 0, 60, 22}, DT_LEFT, u"ab", 1, "ab          "},
      {{0, 0, 60, 22}, DT_RIGHT, u"ab", 1, "        ab  "},
      {{0, 0, 60, 22}, DT_CENTER, u"ab", 1, "    ab      "},
      {{0, 4, 60, 22}, DT_LEFT, u"form", 1, "form        "},       // a form line: 4..22 in the client
      {{0, 26, 30, 44}, DT_LEFT, u"abcdefgh", 2, "abcde       "},  // cut at the rectangle
      {{12, 44, 72, 66}, DT_LEFT | DT_SINGLELINE, u"&Name", 3, "  Name      "},
      {{12, 44, 72, 66}, DT_LEFT | DT_NOPREFIX, u"&Name", 3, "  &Name     "},
  };
  HWND main = topLevel();
  for (const auto& c : cases) {
    jobs = {TextJob{c.rect, c.format, c.text}};
    HWND p = painter(main, RECT{0, 0, 240, 264});
    auto lines = screenLines();
    DestroyWindow(p);
    EXPECT_EQ(lines[static_cast<std::size_t>(c.row)].substr(0, 12), c.expected)
        << platform::toUtf8(c.text) << " format " << c.format;
  }
}

TEST_F(Painting, TextsAreClippedToTheirWindow) {
  HWND main = topLevel();
  jobs = {TextJob{{0, 0, 240, 22}, DT_LEFT, u"0123456789"}};
  painter(main, RECT{6, 0, 36, 22});  // five columns wide, from column 1
  EXPECT_EQ(screenLines()[1].substr(0, 8), " 01234  ");
}

TEST_F(Painting, BrushesColourTheCellsAndBoldFontsShow) {
  LOGFONTW lf{};
  lf.lfWeight = FW_BOLD;
  lf.lfHeight = -13;
  std::copy_n(u"Tahoma", 7, lf.lfFaceName);
  HFONT bold = CreateFontIndirectW(&lf);
  WNDCLASSW wc{};
  wc.lpfnWndProc = painterProc;
  wc.hbrBackground = CreateSolidBrush(RGB(0, 0, 255));
  wc.lpszClassName = u"BluePainter";
  RegisterClassW(&wc);
  HWND main = topLevel();
  CreateWindowExW(0, u"BluePainter", u"", WS_CHILD | WS_VISIBLE, 0, 0, 60, 22, main, nullptr, nullptr, nullptr);
  jobs = {TextJob{{0, 0, 60, 22}, DT_LEFT, u"Go"}};
  jobFont = bold;
  platform::ScreenImage screen = platform::renderScreen();
  EXPECT_EQ(screen.at(5, 1).background, RGB(0, 0, 255));  // erased with the class brush
  EXPECT_EQ(screen.at(10, 1).background, RGB(255, 255, 255));
  EXPECT_TRUE(screen.at(0, 1).bold);
  EXPECT_FALSE(screen.at(5, 1).bold);
  EXPECT_TRUE(DeleteObject(bold));
  EXPECT_FALSE(DeleteObject(bold));
}

TEST_F(Painting, DeviceContextsRefuseUseAfterRelease) {
  HWND main = topLevel();
  HDC dc = GetDC(main);
  RECT r{0, 0, 12, 22};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  EXPECT_EQ(FillRect(dc, &r, red), 1);
  EXPECT_TRUE(InvertRect(dc, &r));
  ReleaseDC(main, dc);
  EXPECT_EQ(FillRect(dc, &r, red), 0);
  EXPECT_FALSE(InvertRect(dc, &r));
  EXPECT_EQ(SetBkColor(dc, 0), 0xFFFFFFFFu);
}

// A parent that colours its static texts and edit boxes.
COLORREF staticColour = RGB(255, 0, 0);
HBRUSH staticBrush = nullptr;
LRESULT colouringParent(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_CTLCOLORSTATIC || m == WM_CTLCOLOREDIT) {
    SetBkColor(reinterpret_cast<HDC>(wp), staticColour);
    return reinterpret_cast<LRESULT>(staticBrush);
  }
  return DefWindowProcW(w, m, wp, lp);
}

TEST_F(Painting, ControlsPaintWithTheBrushTheirParentAnswers) {
  staticBrush = CreateSolidBrush(staticColour);
  WNDCLASSW wc{};
  wc.lpfnWndProc = colouringParent;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = u"Colouring";
  RegisterClassW(&wc);
  HWND main = CreateWindowExW(0, u"Colouring", u"Tessra", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  CreateWindowExW(0, u"STATIC", u"Label", WS_CHILD | WS_VISIBLE, 0, 4, 60, 18, main, nullptr, nullptr, nullptr);
  CreateWindowExW(0, u"EDIT", u"Text", WS_CHILD | WS_VISIBLE, 0, 26, 60, 18, main, nullptr, nullptr, nullptr);
  platform::ScreenImage screen = platform::renderScreen();
  for (int row : {1, 2}) {
    EXPECT_EQ(screen.at(0, row).background, staticColour) << "row " << row;  // a text cell
    EXPECT_EQ(screen.at(8, row).background, staticColour) << "row " << row;  // background behind the text
    EXPECT_EQ(screen.at(12, row).background, RGB(255, 255, 255)) << "row " << row;  // beside the control
  }
  DeleteObject(staticBrush);
}

TEST_F(Painting, TheFirstCreatedChildIsOnTopAndHiddenChildrenAreNotDrawn) {
  HWND main = topLevel();
  jobs = {TextJob{{0, 0, 240, 22}, DT_LEFT, u"under"}};
  HWND top = painter(main, RECT{0, 0, 120, 22});
  HWND below = painter(main, RECT{0, 0, 120, 22});
  (void)below;
  // Both paint the same text; make the top one differ by hiding it first.
  EXPECT_EQ(screenLines()[1].substr(0, 6), "under ");
  ShowWindow(top, SW_HIDE);
  jobs = {TextJob{{0, 0, 120, 22}, DT_RIGHT, u"x"}};
  EXPECT_EQ(screenLines()[1].substr(0, 20), std::string(19, ' ') + "x");
}

TEST_F(Painting, TitleRowShowsTheActiveWindowsText) {
  HWND main = topLevel(u"Tessra");
  EXPECT_EQ(screenLines()[0].substr(0, 7), "Tessra ");
  SetWindowTextW(main, u"Other");
  EXPECT_EQ(screenLines()[0].substr(0, 6), "Other ");
}

}  // namespace

// A form scrolled by an odd number of pixels leaves controls that hold no
// row's centre; each still shows on the row of its own centre.
TEST_F(Painting, AControlBetweenRowCentresStillShows) {
  HWND main = topLevel();
  for (int top = 0; top < 22; ++top) {
    HWND label = CreateWindowExW(0, u"STATIC", u"Shown", WS_CHILD | WS_VISIBLE, 0, 44 + top, 60, 18, main, nullptr,
                                 nullptr, nullptr);
    const int row = 1 + (44 + top + 9) / 22;  // the title row comes first
    EXPECT_EQ(screenLines()[static_cast<std::size_t>(row)].substr(0, 5), "Shown") << "top " << top;
    DestroyWindow(label);
  }
}
