#include "about/credit_static.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr COLORREF kPictureKey = RGB(192, 192, 192);
constexpr UINT kTextFlags = DT_CENTER | DT_SINGLELINE | DT_NOPREFIX;
constexpr int kBoldWeight = 700;
constexpr int kThinWeight = 100;
constexpr BYTE kPitchAndFamily = 6;

int Width(const RECT& r) {
    return r.right - r.left;
}
int Height(const RECT& r) {
    return r.bottom - r.top;
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    const COLORREF previous = ::SetBkColor(dc, colour);
    ::ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(dc, previous);
}

// Selects a palette into a context for one scope.
class CSelectPalette {
public:
    CSelectPalette(HDC dc, HPALETTE palette, bool realize)
        : m_dc(dc), m_previous(::SelectPalette(dc, palette, FALSE)) {
        if (realize)
            ::RealizePalette(dc);
    }
    ~CSelectPalette() {
        if (m_previous != nullptr)
            ::SelectPalette(m_dc, m_previous, FALSE);
    }
    CSelectPalette(const CSelectPalette&) = delete;
    CSelectPalette& operator=(const CSelectPalette&) = delete;

private:
    HDC m_dc;
    HPALETTE m_previous;
};

} // namespace

CCreditStatic::~CCreditStatic() = default;

void CCreditStatic::SetCreditText(const std::string& text, char separator) {
    m_roll.SetLines(credits::SplitCreditText(text, separator));
}

bool CCreditStatic::SetCreditTextFromResource(UINT id, char separator) {
    // A string resource counts its length in 16 bits.
    std::vector<char> buffer(65536);
    const int copied =
        ::LoadStringA(Instance(), id, buffer.data(), static_cast<int>(buffer.size()));
    if (copied <= 0)
        return false;
    SetCreditText(std::string(buffer.data(), static_cast<size_t>(copied)), separator);
    return true;
}

void CCreditStatic::ChooseSpeed(int index, int periodMs) {
    if (periodMs != 0)
        m_periods[index] = periodMs;
    m_periodIndex = index;
}

bool CCreditStatic::StartRoll() {
    if (m_roll.Empty())
        return false;
    m_canvas.Reset();
    m_timerId = SetTimer(kTimerId, static_cast<UINT>(m_periods[m_periodIndex]));
    m_roll.Restart();
    return true;
}

void CCreditStatic::StopRoll() {
    KillTimer(kTimerId);
    m_timerId = 0;
    m_canvas.Reset();
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

bool CCreditStatic::LoadBackgroundPicture(const char* name) {
    m_backPicture.Reset();
    m_palette.Reset();
    m_backPicture.Reset(static_cast<HBITMAP>(
        ::LoadImageA(Instance(), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (m_backPicture.Get() == nullptr)
        return false;
    DIBSECTION dib = {};
    ::GetObjectA(m_backPicture, sizeof(dib), &dib);
    m_backSize = {dib.dsBm.bmWidth, dib.dsBm.bmHeight};
    const DWORD colours =
        dib.dsBmih.biClrUsed != 0
            ? dib.dsBmih.biClrUsed
            : (dib.dsBmih.biBitCount < 32 ? (1u << dib.dsBmih.biBitCount) : 0xFFFFFFFFu);
    CClientDC screen(nullptr);
    if (colours <= 256) {
        CMemoryDC dc(screen);
        CSelectObject selected(dc, m_backPicture);
        std::vector<RGBQUAD> table(colours);
        const UINT read = ::GetDIBColorTable(dc, 0, colours, table.data());
        std::vector<BYTE> storage(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * (read + 1));
        auto* palette = reinterpret_cast<LOGPALETTE*>(storage.data());
        palette->palVersion = 0x300;
        palette->palNumEntries = static_cast<WORD>(read);
        for (UINT i = 0; i < read; ++i)
            palette->palPalEntry[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
        m_palette.Reset(::CreatePalette(palette));
    } else {
        m_palette.Reset(::CreateHalftonePalette(screen));
    }
    return true;
}

LRESULT CCreditStatic::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_TIMER:
        if (wParam == kTimerId)
            OnTick();
        return DefaultProc(msg, wParam, lParam);
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_DESTROY: {
        const LRESULT result = DefaultProc(msg, wParam, lParam);
        m_roll.Clear();
        return result;
    }
    default:
        return CWnd::OnMessage(msg, wParam, lParam);
    }
}

CCreditStatic::LineStyle CCreditStatic::StyleOf(const std::string& line) {
    LineStyle style{credits::Classify(line, m_markChars), CFont(), 0, false, std::string()};
    const int index = credits::ClassIndex(style.kind);
    if (index >= 0) {
        m_roll.SetLineHeight(m_classHeights[index]);
        style.font.Reset(::CreateFontA(m_classHeights[index], 0, 0, 0,
                                       index < 3 ? kBoldWeight : kThinWeight, FALSE, FALSE, FALSE,
                                       ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                       PROOF_QUALITY, kPitchAndFamily, "Arial"));
        style.colour = m_colours[index + 1];
        style.setColour = true;
        style.text = line.substr(0, credits::DrawnLength(line, style.kind));
    } else if (style.kind == credits::LineKind::Picture) {
        // Reached only when its picture could not be loaded: the whole line is text.
        style.text = line;
    }
    return style;
}

void CCreditStatic::OnTick() {
    const credits::CreditRoll::Tick tick = m_roll.BeginTick();
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    RECT strip = client;
    strip.left = credits::StripLeft(Width(client), m_stripWidth);
    strip.right = strip.left + m_stripWidth;
    CClientDC dc(m_hWnd);
    RollStep(dc, client, strip, tick.measure);
    ComposeToWindow(dc, client, strip);
}

void CCreditStatic::WidenStrip(int measured, const RECT& client, RECT& strip) {
    m_stripWidth = credits::GrowStrip(m_stripWidth, measured, Width(client));
    strip.left = credits::StripLeft(Width(client), m_stripWidth);
    strip.right = strip.left + m_stripWidth;
}

bool CCreditStatic::LoadLinePicture(const std::string& line, CBitmap& picture, SIZE& size) const {
    const std::string name = line.substr(0, line.size() - 1);
    picture.Reset(
        static_cast<HBITMAP>(::LoadImageA(Instance(), name.c_str(), IMAGE_BITMAP, 0, 0, 0)));
    if (picture.Get() == nullptr)
        return false;
    BITMAP info = {};
    ::GetObjectA(picture, sizeof(info), &info);
    size = {info.bmWidth, info.bmHeight};
    return true;
}

void CCreditStatic::RollStep(HDC windowDc, const RECT& client, RECT& strip, bool measure) {
    CMemoryDC canvasDc(windowDc);
    if (m_canvas.Get() == nullptr) {
        m_canvas.Reset(::CreateCompatibleBitmap(windowDc, Width(client), Height(client)));
        CSelectObject selected(canvasDc, m_canvas);
        FillBackground(canvasDc, client, client);
    }
    CSelectObject canvas(canvasDc, m_canvas);

    const int rows = std::abs(m_scrollStep);
    RECT uncovered = {client.left, client.bottom - rows, client.right, client.bottom};
    if (Width(strip) > 0) {
        ::ScrollDC(canvasDc, 0, m_scrollStep, &client, &strip, nullptr, nullptr);
        uncovered = {strip.left, strip.bottom - rows, strip.right, strip.bottom};
    }
    m_roll.Scroll(rows);

    const std::string& line = m_roll.CurrentLine();
    if (credits::Classify(line, m_markChars) == credits::LineKind::Picture &&
        !m_roll.PictureScrolling() && LoadLinePicture(line, m_linePicture, m_pictureSize)) {
        m_picturePos = {strip.right - Width(strip) / 2 - m_pictureSize.cx / 2, strip.bottom};
        m_roll.SetPictureScrolling(true);
    }
    FillBackground(canvasDc, client, uncovered);

    if (m_roll.PictureScrolling()) {
        if (measure && m_pictureSize.cx > m_stripWidth)
            WidenStrip(m_pictureSize.cx, client, strip);
        const int shown = std::min<int>(m_roll.LinePixels(), m_pictureSize.cy);
        DrawPicture(canvasDc, m_linePicture,
                    {m_picturePos.x, m_picturePos.y - shown, m_picturePos.x + m_pictureSize.cx,
                     m_picturePos.y});
        if (m_roll.LinePixels() >= m_pictureSize.cy) {
            m_linePicture.Reset();
            m_roll.EndPicture();
        }
        return;
    }

    LineStyle style = StyleOf(line);
    if (style.text.empty())
        return;
    CSelectObject font(canvasDc, style.font.Get() != nullptr ? static_cast<HGDIOBJ>(style.font)
                                                             : ::GetStockObject(SYSTEM_FONT));
    if (style.setColour)
        ::SetTextColor(canvasDc, style.colour);
    ::SetBkMode(canvasDc, TRANSPARENT);
    if (measure) {
        SIZE extent = {};
        ::GetTextExtentPoint32A(canvasDc, style.text.c_str(), static_cast<int>(style.text.size()),
                                &extent);
        if (extent.cx > m_stripWidth)
            WidenStrip(extent.cx, client, strip);
    }
    RECT target = {strip.left, strip.bottom - m_roll.LinePixels(), strip.right, strip.bottom};
    ::DrawTextA(canvasDc, style.text.c_str(), static_cast<int>(style.text.size()), &target,
                kTextFlags);
}

void CCreditStatic::FillBackground(HDC dc, const RECT& client, const RECT& part) const {
    const bool backPicture = m_backPicture.Get() != nullptr;
    if (m_gradientMode != 0 && !backPicture) {
        FillGradient(dc, client, part, m_colours[0]);
        return;
    }
    FillSolid(dc, part, m_keyPictures && backPicture ? kPictureKey : m_colours[0]);
}

void CCreditStatic::FillGradient(HDC dc, const RECT& full, const RECT& part,
                                 COLORREF colour) const {
    const credits::Rgb base{GetRValue(colour), GetGValue(colour), GetBValue(colour)};
    const int width = Width(full);
    for (const int band : credits::BandsToFill(part.left, part.right, width)) {
        const auto shade = credits::BandColour(m_gradientMode, band, base);
        if (!shade)
            return;
        const credits::Band bounds = credits::BandBounds(band, width);
        const RECT rect = {bounds.left, part.top, bounds.right, part.bottom + 1};
        FillSolid(dc, rect, RGB(shade->r, shade->g, shade->b));
    }
}

void CCreditStatic::DrawPicture(HDC dc, HBITMAP picture, const RECT& target) const {
    const int width = Width(target);
    const int height = Height(target);
    if (width <= 0 || height <= 0)
        return;
    CMemoryDC pictureDc(dc);
    CSelectObject selectedPicture(pictureDc, picture);
    if (!m_keyPictures || m_backPicture.Get() != nullptr) {
        ::BitBlt(dc, target.left, target.top, width, height, pictureDc, 0, 0, SRCCOPY);
        return;
    }
    // Mask: set where the picture has the key colour.
    CBitmap mask(::CreateBitmap(width, height, 1, 1, nullptr));
    CMemoryDC maskDc(dc);
    CSelectObject selectedMask(maskDc, mask);
    ::SetBkColor(pictureDc, kPictureKey);
    ::BitBlt(maskDc, 0, 0, width, height, pictureDc, 0, 0, SRCCOPY);

    // The picture with its key pixels black.
    CBitmap keyed(::CreateCompatibleBitmap(dc, width, height));
    CMemoryDC keyedDc(dc);
    CSelectObject selectedKeyed(keyedDc, keyed);
    ::BitBlt(keyedDc, 0, 0, width, height, pictureDc, 0, 0, SRCCOPY);
    ::SetBkColor(keyedDc, RGB(0, 0, 0));
    ::SetTextColor(keyedDc, RGB(255, 255, 255));
    ::BitBlt(keyedDc, 0, 0, width, height, maskDc, 0, 0, SRCAND);

    // What lies under the picture, black where the picture is not keyed.
    CBitmap under(::CreateCompatibleBitmap(dc, width, height));
    CMemoryDC underDc(dc);
    CSelectObject selectedUnder(underDc, under);
    ::BitBlt(underDc, 0, 0, width, height, dc, target.left, target.top, SRCCOPY);
    ::SetBkColor(underDc, RGB(255, 255, 255));
    ::SetTextColor(underDc, RGB(0, 0, 0));
    ::BitBlt(underDc, 0, 0, width, height, maskDc, 0, 0, SRCAND);

    ::BitBlt(underDc, 0, 0, width, height, keyedDc, 0, 0, SRCPAINT);
    ::BitBlt(dc, target.left, target.top, width, height, underDc, 0, 0, SRCCOPY);
}

void CCreditStatic::ComposeToWindow(HDC dc, const RECT& client, const RECT& strip) {
    CMemoryDC canvasDc(dc);
    CSelectObject canvas(canvasDc, m_canvas);
    if (m_backPicture.Get() == nullptr) {
        ::BitBlt(dc, 0, 0, Width(client), Height(client), canvasDc, 0, 0, SRCCOPY);
        return;
    }
    const int stripWidth = Width(strip);
    const int height = Height(client);

    CBitmap stripImage(::CreateCompatibleBitmap(dc, stripWidth, height));
    CMemoryDC stripDc(dc);
    CSelectObject selectedStrip(stripDc, stripImage);
    ::BitBlt(stripDc, 0, 0, stripWidth, height, canvasDc, strip.left, strip.top, SRCCOPY);

    CBitmap mask(::CreateBitmap(stripWidth, height, 1, 1, nullptr));
    CMemoryDC maskDc(dc);
    CSelectObject selectedMask(maskDc, mask);
    ::SetBkColor(stripDc, m_keyPictures ? kPictureKey : m_colours[0]);
    ::BitBlt(maskDc, 0, 0, stripWidth, height, stripDc, 0, 0, SRCCOPY);

    CBitmap tiles(::CreateCompatibleBitmap(dc, Width(client), height));
    CMemoryDC tilesDc(dc);
    CSelectObject selectedTiles(tilesDc, tiles);
    const bool paletted = (::GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE) != 0;
    const bool usePalette = paletted && m_palette.Get() != nullptr;
    std::unique_ptr<CSelectPalette> windowPalette, tilesPalette;
    if (usePalette) {
        windowPalette = std::make_unique<CSelectPalette>(dc, m_palette, true);
        tilesPalette = std::make_unique<CSelectPalette>(tilesDc, m_palette, false);
    }
    {
        CMemoryDC backDc(dc);
        CSelectObject selectedBack(backDc, m_backPicture);
        for (int y = 0; y < client.bottom; y += m_backSize.cy) {
            for (int x = 0; x < client.right; x += m_backSize.cx)
                ::BitBlt(tilesDc, x, y, m_backSize.cx, m_backSize.cy, backDc, 0, 0, SRCCOPY);
            if (m_backSize.cx <= 0 || m_backSize.cy <= 0)
                break;
        }
    }

    ::SetBkColor(stripDc, RGB(0, 0, 0));
    ::SetTextColor(stripDc, RGB(255, 255, 255));
    ::BitBlt(stripDc, 0, 0, stripWidth, height, maskDc, 0, 0, SRCAND);
    ::SetBkColor(tilesDc, RGB(255, 255, 255));
    ::SetTextColor(tilesDc, RGB(0, 0, 0));
    ::BitBlt(tilesDc, strip.left, strip.top, stripWidth, height, maskDc, 0, 0, SRCAND);
    ::BitBlt(tilesDc, strip.left, strip.top, stripWidth, height, stripDc, 0, 0, SRCPAINT);

    ::BitBlt(dc, 0, 0, Width(client), height, tilesDc, 0, 0, SRCCOPY);
}

void CCreditStatic::Paint() {
    CPaintDC paint(m_hWnd);
    if (m_timerId != 0)
        return; // the next tick draws the whole window
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    if (m_canvas.Get() == nullptr)
        RenderStill(paint, client);
    CMemoryDC canvasDc(paint);
    CSelectObject canvas(canvasDc, m_canvas);
    ::BitBlt(paint, 0, 0, Width(client), Height(client), canvasDc, 0, 0, SRCCOPY);
}

void CCreditStatic::RenderStill(HDC windowDc, const RECT& client) {
    m_canvas.Reset(::CreateCompatibleBitmap(windowDc, Width(client), Height(client)));
    {
        CMemoryDC canvasDc(windowDc);
        CSelectObject canvas(canvasDc, m_canvas);
        FillBackground(canvasDc, client, client);
        ::SetBkMode(canvasDc, TRANSPARENT);
        // Kept selected until the next line replaces it: an empty line measures in it.
        LineStyle previous{credits::LineKind::Empty, CFont(), 0, false, std::string()};
        std::unique_ptr<CSelectObject> selectedFont;
        int y = 0;
        for (const std::string& line : m_roll.Lines()) {
            if (y > Height(client))
                break;
            CBitmap picture;
            SIZE size = {};
            if (credits::Classify(line, m_markChars) == credits::LineKind::Picture &&
                LoadLinePicture(line, picture, size)) {
                const int left = Width(client) / 2 - size.cx / 2;
                DrawPicture(canvasDc, picture, {left, y, left + size.cx, y + size.cy});
                y += size.cy;
                continue;
            }
            LineStyle style = StyleOf(line);
            if (style.font.Get() != nullptr || style.kind == credits::LineKind::Picture) {
                selectedFont.reset();
                previous = std::move(style);
                selectedFont = std::make_unique<CSelectObject>(
                    canvasDc, previous.font.Get() != nullptr ? static_cast<HGDIOBJ>(previous.font)
                                                             : ::GetStockObject(SYSTEM_FONT));
                if (previous.setColour)
                    ::SetTextColor(canvasDc, previous.colour);
                style.text = previous.text;
            }
            if (style.text.empty()) {
                SIZE letter = {};
                ::GetTextExtentPoint32A(canvasDc, "W", 1, &letter);
                y += letter.cy;
                continue;
            }
            RECT target = {client.left, y, client.right, client.bottom};
            y += ::DrawTextA(canvasDc, style.text.c_str(), static_cast<int>(style.text.size()),
                             &target, kTextFlags);
        }
    }
    if (m_backPicture.Get() == nullptr)
        return;
    // Through the same composition as a rolling frame, into a fresh canvas.
    CBitmap composed(::CreateCompatibleBitmap(windowDc, Width(client), Height(client)));
    {
        CMemoryDC composedDc(windowDc);
        CSelectObject selected(composedDc, composed);
        ComposeToWindow(composedDc, client, client);
    }
    m_canvas = std::move(composed);
}
