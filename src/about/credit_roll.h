#pragma once

#include <optional>
#include <string>
#include <vector>

// The arithmetic of the rolling credits that needs no window: how the text splits into
// lines, what kind each line is, when each line starts, how wide the scrolling strip is and
// how the background gradient is banded. CCreditStatic draws what this decides.
namespace credits {

enum class LineKind { Empty, Class0, Class1, Class2, Picture, Normal };

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct Band {
    int left, right; // x range, right exclusive
};

// Every separator ends one line; the text after the last one is a final line.
std::vector<std::string> SplitCreditText(const std::string& text, char separator);

// marks: the characters ending a class-0, class-1, class-2 and a picture line. The marks are
// compared in the order class 1, class 2, class 0, picture.
LineKind Classify(const std::string& line, const char (&marks)[4]);
// Characters drawn: a mark is not drawn, a normal line's last character is.
size_t DrawnLength(const std::string& line, LineKind kind);
// Class index 0..2 of a class line, 3 for normal text; -1 for other kinds.
int ClassIndex(LineKind kind);

// Left edge of a strip of stripWidth columns centred in clientWidth.
int StripLeft(int clientWidth, int stripWidth);
// The strip after measuring a line or picture `measured` wide (first pass only).
int GrowStrip(int stripWidth, int measured, int clientWidth);

// The first band a fill starting at partLeft touches, of 256 across fullWidth.
int FirstBand(int partLeft, int fullWidth);
Band BandBounds(int band, int fullWidth);
// The colour of band 0..255 in gradient mode 1..4 from `colour`; nothing for other modes.
std::optional<Rgb> BandColour(int mode, int band, Rgb colour);
// Bands filled for the columns partLeft..partRight of a fullWidth-wide gradient.
std::vector<int> BandsToFill(int partLeft, int partRight, int fullWidth);

// The line schedule: which line rolls in on which tick, and when the strip is measured.
class CreditRoll {
public:
    struct Tick {
        bool lineStarts; // m_currentLine changed this tick
        bool measure;    // the strip may grow this tick (first pass only)
    };

    void SetLines(std::vector<std::string> lines);
    // Back to the first line, as at the start of a roll; current line and strip stay.
    void Restart();
    void Clear() { m_lines.clear(); }
    bool Empty() const { return m_lines.empty(); }
    const std::vector<std::string>& Lines() const { return m_lines; }

    // The line bookkeeping at the beginning of a tick; nothing while a picture scrolls in.
    Tick BeginTick();
    // Counts the pixel rows the current line has scrolled in.
    void Scroll(int rows) { m_linePixels += rows; }
    // A text line of height `height` is being drawn; its height paces the next line.
    void SetLineHeight(int height) { m_lineHeight = height; }
    // A picture line has scrolled in whole: the next line starts a line height later.
    void EndPicture();
    void SetPictureScrolling(bool on) { m_pictureScrolling = on; }

    const std::string& CurrentLine() const { return m_currentLine; }
    int LinePixels() const { return m_linePixels; }
    int LineHeight() const { return m_lineHeight; }
    bool PictureScrolling() const { return m_pictureScrolling; }
    bool FirstPass() const { return m_firstPass; }

private:
    std::vector<std::string> m_lines;
    std::string m_currentLine;
    int m_tickCount = 1;
    size_t m_nextLine = 0;
    int m_linePixels = 0;
    int m_lineHeight = 15;
    bool m_pictureScrolling = false;
    bool m_firstPass = true;
};

} // namespace credits
