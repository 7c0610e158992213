#include "about/credit_roll.h"

#include <algorithm>
#include <utility>

namespace credits {

std::vector<std::string> SplitCreditText(const std::string& text, char separator) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

LineKind Classify(const std::string& line, const char (&marks)[4]) {
    if (line.empty())
        return LineKind::Empty;
    const char last = line.back();
    if (last == marks[1])
        return LineKind::Class1;
    if (last == marks[2])
        return LineKind::Class2;
    if (last == marks[0])
        return LineKind::Class0;
    if (last == marks[3])
        return LineKind::Picture;
    return LineKind::Normal;
}

size_t DrawnLength(const std::string& line, LineKind kind) {
    switch (kind) {
    case LineKind::Normal:
        return line.size();
    case LineKind::Empty:
        return 0;
    default:
        return line.size() - 1;
    }
}

int ClassIndex(LineKind kind) {
    switch (kind) {
    case LineKind::Class0:
        return 0;
    case LineKind::Class1:
        return 1;
    case LineKind::Class2:
        return 2;
    case LineKind::Normal:
        return 3;
    default:
        return -1;
    }
}

int StripLeft(int clientWidth, int stripWidth) {
    return (clientWidth - stripWidth) / 2;
}

int GrowStrip(int stripWidth, int measured, int clientWidth) {
    if (measured <= stripWidth)
        return stripWidth;
    return std::min(measured, clientWidth);
}

int FirstBand(int partLeft, int fullWidth) {
    return fullWidth > 0 ? partLeft * 256 / fullWidth : 0;
}

Band BandBounds(int band, int fullWidth) {
    const double width = fullWidth / 256.0;
    return {static_cast<int>(band * width), static_cast<int>((band + 1) * width)};
}

std::optional<Rgb> BandColour(int mode, int band, Rgb colour) {
    // Each component is computed in floating point and truncated toward zero.
    const auto shade = [mode, band](int c) -> int {
        const double step = band / 255.0;
        switch (mode) {
        case 1:
            return static_cast<int>(c - step * c);
        case 2:
            return static_cast<int>(c + step * (255 - c));
        case 3:
            return static_cast<int>(step * c);
        default:
            return static_cast<int>(255 - step * (255 - c));
        }
    };
    if (mode < 1 || mode > 4)
        return std::nullopt;
    return Rgb{shade(colour.r), shade(colour.g), shade(colour.b)};
}

std::vector<int> BandsToFill(int partLeft, int partRight, int fullWidth) {
    std::vector<int> bands;
    if (fullWidth <= 0)
        return bands;
    for (int i = FirstBand(partLeft, fullWidth);
         i < 256 && BandBounds(i, fullWidth).left < partRight; ++i)
        bands.push_back(i);
    return bands;
}

void CreditRoll::SetLines(std::vector<std::string> lines) {
    m_lines = std::move(lines);
    Restart();
}

void CreditRoll::Restart() {
    m_nextLine = 0;
    m_tickCount = 1;
    m_linePixels = 0;
}

CreditRoll::Tick CreditRoll::BeginTick() {
    Tick tick{false, false};
    if (m_pictureScrolling || m_lines.empty())
        return tick;
    // A zero height would stall the roll (and divide by zero); one tick is the least.
    const int height = std::max(m_lineHeight, 1);
    const int remainder = m_tickCount % height;
    ++m_tickCount;
    if (remainder != 0)
        return tick;
    m_tickCount = 1;
    m_currentLine = m_lines[m_nextLine++];
    tick = {true, m_firstPass};
    if (m_nextLine >= m_lines.size()) {
        m_firstPass = false;
        m_nextLine = 0;
    }
    m_linePixels = 0;
    return tick;
}

void CreditRoll::EndPicture() {
    m_pictureScrolling = false;
    m_linePixels = 0;
    m_currentLine.clear();
    m_tickCount = 1;
}

} // namespace credits
