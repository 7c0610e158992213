#pragma once

#include <windows.h>

#include <string>

#include "about/credit_roll.h"
#include "framework/gdi.h"
#include "framework/wnd.h"

// A static control in which credit lines roll upward endlessly, one pixel per tick, over a
// solid or gradient background (optionally a tiled picture). Everything is drawn on an
// off-screen canvas that is copied to the window whole, so the window never flickers.
class CCreditStatic : public CWnd {
public:
    static constexpr UINT_PTR kTimerId = 150;

    CCreditStatic() = default;
    ~CCreditStatic() override;

    void SetCreditText(const std::string& text, char separator);
    bool SetCreditTextFromResource(UINT id, char separator);
    void ChooseSpeed(int index, int periodMs);
    void SetColourEntry(int index, COLORREF colour) { m_colours[index] = colour; }
    void SetClassHeight(int index, int height) { m_classHeights[index] = height; }
    void SetMarkCharacter(int index, char mark) { m_markChars[index] = mark; }
    void SetGradientMode(int mode) { m_gradientMode = mode; }
    void SetKeyedPictures(bool keyed) { m_keyPictures = keyed; }
    bool LoadBackgroundPicture(const char* name);
    bool LoadBackgroundPicture(UINT id) { return LoadBackgroundPicture(MAKEINTRESOURCEA(id)); }
    bool StartRoll();
    void StopRoll();

    bool IsRolling() const { return m_timerId != 0; }
    int StripWidth() const { return m_stripWidth; }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // A text line's look: its font and colour, and how much of it is drawn.
    struct LineStyle {
        credits::LineKind kind;
        CFont font; // none: the context's own font
        COLORREF colour;
        bool setColour;
        std::string text;
    };
    LineStyle StyleOf(const std::string& line);

    void OnTick();
    void RollStep(HDC windowDc, const RECT& client, RECT& strip, bool measure);
    void WidenStrip(int measured, const RECT& client, RECT& strip);
    void FillBackground(HDC dc, const RECT& client, const RECT& part) const;
    void FillGradient(HDC dc, const RECT& full, const RECT& part, COLORREF colour) const;
    void DrawPicture(HDC dc, HBITMAP picture, const RECT& target) const;
    void ComposeToWindow(HDC dc, const RECT& client, const RECT& strip);
    void Paint();
    void RenderStill(HDC windowDc, const RECT& client);
    bool LoadLinePicture(const std::string& line, CBitmap& picture, SIZE& size) const;

    COLORREF m_colours[5] = {RGB(0, 0, 0), RGB(255, 0, 0), RGB(255, 255, 0), RGB(0, 255, 255),
                             RGB(255, 255, 255)};
    int m_classHeights[4] = {21, 19, 17, 15};
    char m_markChars[4] = {'\t', '\n', '\r', '^'};
    int m_periods[3] = {70, 40, 10};
    int m_periodIndex = 1;
    credits::CreditRoll m_roll;
    int m_scrollStep = -1;
    CBitmap m_linePicture;
    CBitmap m_canvas;
    SIZE m_pictureSize = {0, 0};
    POINT m_picturePos = {0, 0};
    CPalette m_palette;
    CBitmap m_backPicture;
    SIZE m_backSize = {0, 0};
    int m_gradientMode = 0;
    bool m_keyPictures = false;
    int m_stripWidth = 0;
    UINT_PTR m_timerId = 0;
};
