// The main window on a 144-DPI screen (run by high_dpi_test.sh in a Wine
// prefix whose LogPixels is 144): the whole layout half as large again, every
// control inside the client area, no two controls that take input on top of
// each other, and every caption fitting its box in the scaled font.
#include "tests/win32/window_test_support.h"

namespace {

RECT rectangleOf(HWND child) {
    RECT box;
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&box), 2);
    return box;
}

class HighDpiTest : public MainWindowTest {
protected:
    void SetUp() override {
        HDC screen = GetDC(nullptr);
        int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        ASSERT_EQ(144, dpi) << "needs a screen of 144 DPI, as high_dpi_test.sh sets up";
        MainWindowTest::SetUp();
    }
};

TEST_F(HighDpiTest, ClientAreaIsHalfAsLargeAgain) {
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(645, client.right) << "430 x 1.5";
    EXPECT_EQ(563, client.bottom) << "375 x 1.5, rounded";
}

TEST_F(HighDpiTest, ControlRectanglesAreScaled) {
    static const struct {
        int number;
        RECT expected;  // left, top, right, bottom
    } cases[] = {
        {TemplateList, {23, 48, 23 + 443, 48 + 35}},      // 15, 32, 295 x 23
        {EditButton, {473, 47, 473 + 150, 47 + 36}},      // 315, 31, 100 x 24
        {SourceField, {23, 183, 23 + 570, 183 + 33}},     // 15, 122, 380 x 22
        {SourceBrowseButton, {596, 183, 596 + 30, 183 + 33}},  // 397, 122, 20 x 22
        {OkButton, {168, 503, 168 + 150, 503 + 36}},      // 112, 335, 100 x 24
        {CancelButton, {326, 503, 326 + 150, 503 + 36}},  // 217, 335, 100 x 24
    };
    for (const auto& c : cases) {
        RECT box = rectangleOf(handleOf(c.number));
        EXPECT_EQ(c.expected.left, box.left) << "control " << c.number;
        EXPECT_EQ(c.expected.top, box.top) << "control " << c.number;
        EXPECT_EQ(c.expected.right, box.right) << "control " << c.number;
        EXPECT_EQ(c.expected.bottom, box.bottom) << "control " << c.number;
    }
}

TEST_F(HighDpiTest, NothingClippedOrOverlapping) {
    RECT client;
    GetClientRect(window, &client);
    std::vector<HWND> inputs;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        SCOPED_TRACE("control " + std::to_string(GetWindowLongPtrW(child, GWLP_ID)));
        RECT box = rectangleOf(child);
        EXPECT_TRUE(box.left >= 0 && box.top >= 0 && box.right <= client.right &&
                    box.bottom <= client.bottom)
            << "inside the client area";

        // The caption in the control's own font, with room for a check box's
        // square or a button's edges.
        std::u16string caption = textOf(child);
        if (!caption.empty()) {
            HDC dc = GetDC(child);
            auto font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
            HGDIOBJ previous = SelectObject(dc, font);
            SIZE extent{};
            GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(caption.c_str()),
                                  static_cast<int>(caption.size()), &extent);
            SelectObject(dc, previous);
            ReleaseDC(child, dc);
            const bool checkBox = (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) ==
                                      BS_AUTOCHECKBOX && classOf(child) == L"Button";
            const int margin = checkBox ? 30 : 6;  // a check box's square and gap at 144 DPI
            EXPECT_LE(extent.cx + margin, box.right - box.left) << "caption fits across";
            EXPECT_LE(extent.cy, box.bottom - box.top) << "caption fits down";
        }
        if (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) inputs.push_back(child);
    }
    for (size_t i = 0; i < inputs.size(); ++i)
        for (size_t j = i + 1; j < inputs.size(); ++j) {
            RECT a = rectangleOf(inputs[i]), b = rectangleOf(inputs[j]), both;
            EXPECT_FALSE(IntersectRect(&both, &a, &b))
                << "controls " << GetWindowLongPtrW(inputs[i], GWLP_ID) << " and "
                << GetWindowLongPtrW(inputs[j], GWLP_ID) << " overlap";
        }
}

}  // namespace
