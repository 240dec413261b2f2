#pragma once
// A drawing device for tests: every call it receives becomes one text line such as
// "FillRect 0,100,0,40 #ff0000ff" (rects as left,right,top,bottom; colours as #rrggbbaa),
// it keeps a real clip stack (each push intersects with the current clip; the first push
// takes the rect as given) and it remembers every invalidated rect.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/Types.h"
#include "gfx/DC.h"

class RecordingDC : public CKVQDC {
public:
    static std::string Text(const KVQRect& r)
    {
        return std::to_string(r.left) + "," + std::to_string(r.right) + "," + std::to_string(r.top) + "," +
               std::to_string(r.bottom);
    }
    static std::string Text(const KVQPoint& p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
    // Red is the lowest byte of a packed colour; the text reads red, green, blue, alpha.
    static std::string Color(uint32_t c)
    {
        char text[16];
        std::snprintf(text, sizeof text, "#%02x%02x%02x%02x", static_cast<unsigned>(c & 0xff),
                      static_cast<unsigned>((c >> 8) & 0xff), static_cast<unsigned>((c >> 16) & 0xff),
                      static_cast<unsigned>((c >> 24) & 0xff));
        return text;
    }
    static std::string Float(float f)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%g", static_cast<double>(f));
        return text;
    }

    // The recorded lines, oldest first.
    std::vector<std::string> calls;
    // Every rect given to InvalidateRect, in order (ignored ones included).
    std::vector<KVQRect> invalidated;
    std::vector<KVQRect> clipStack;
    int colorDepth = 0;
    int transformDepth = 0;

    void Reset()
    {
        calls.clear();
        invalidated.clear();
        clipStack.clear();
        colorDepth = 0;
        transformDepth = 0;
    }
    // Lines that start with the prefix (an operation name, or a whole line).
    std::vector<std::string> Lines(const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (const auto& line : calls) {
            if (line.compare(0, prefix.size(), prefix) == 0)
                out.push_back(line);
        }
        return out;
    }
    int Count(const std::string& prefix) const { return static_cast<int>(Lines(prefix).size()); }
    // Position of the first line equal to the text at or after `from`; -1 when absent.
    int IndexOf(const std::string& line, int from = 0) const
    {
        for (size_t i = from < 0 ? 0 : static_cast<size_t>(from); i < calls.size(); ++i) {
            if (calls[i] == line)
                return static_cast<int>(i);
        }
        return -1;
    }
    // Only the lines of the named operations, in order: a compact trace for cascade tests.
    std::vector<std::string> Trace(const std::vector<std::string>& operations) const
    {
        std::vector<std::string> out;
        for (const auto& line : calls) {
            const std::string name = line.substr(0, line.find(' '));
            for (const auto& op : operations) {
                if (name == op) {
                    out.push_back(line);
                    break;
                }
            }
        }
        return out;
    }

    int32_t PushClip(const KVQRect& rect, int32_t flag) override
    {
        calls.push_back("PushClip " + Text(rect) + " " + std::to_string(flag));
        clipStack.push_back(clipStack.empty() ? rect : clipStack.back().Intersection(rect));
        return 0;
    }
    int32_t PopClip() override
    {
        calls.push_back("PopClip");
        if (!clipStack.empty())
            clipStack.pop_back();
        return 0;
    }
    int32_t GetClip(KVQRect& rect) override
    {
        rect = clipStack.empty() ? KVQRect{} : clipStack.back();
        return 0;
    }
    int32_t SetBlendMode(int32_t mode) override
    {
        calls.push_back("SetBlendMode " + std::to_string(mode));
        return 0;
    }
    int32_t SetParam(const int32_t* value) override
    {
        calls.push_back("SetParam " + (value ? std::to_string(*value) : std::string("null")));
        return 0;
    }
    int32_t InvalidateRect(const KVQRect& rect, int32_t flag) override
    {
        calls.push_back("InvalidateRect " + Text(rect) + " " + std::to_string(flag));
        invalidated.push_back(rect);
        return 0;
    }
    int32_t RequestRedraw() override
    {
        calls.push_back("RequestRedraw");
        return 0;
    }
    int32_t Blit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color) override
    {
        calls.push_back("Blit " + std::to_string(texture) + " " + Text(src) + " " + Text(dst) + " " + Color(color));
        return 0;
    }
    int32_t BlitOutlined(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t fill,
                         uint32_t outline) override
    {
        calls.push_back("BlitOutlined " + std::to_string(texture) + " " + Text(src) + " " + Text(dst) + " " +
                        Color(fill) + " " + Color(outline));
        return 0;
    }
    int32_t StretchBlit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color) override
    {
        calls.push_back("StretchBlit " + std::to_string(texture) + " " + Text(src) + " " + Text(dst) + " " +
                        Color(color));
        return 0;
    }
    int32_t RotateBlit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color,
                       float angle) override
    {
        calls.push_back("RotateBlit " + std::to_string(texture) + " " + Text(src) + " " + Text(dst) + " " +
                        Color(color) + " " + Float(angle));
        return 0;
    }
    int32_t PlayRecord(int32_t id) override
    {
        calls.push_back("PlayRecord " + std::to_string(id));
        return 0;
    }
    int32_t DrawRect(const KVQRect& rect, uint32_t color) override
    {
        calls.push_back("DrawRect " + Text(rect) + " " + Color(color));
        return 0;
    }
    int32_t FillRect(const KVQRect& rect, uint32_t color) override
    {
        calls.push_back("FillRect " + Text(rect) + " " + Color(color));
        return 0;
    }
    int32_t SetPixel(const KVQPoint& p, uint32_t color) override
    {
        calls.push_back("SetPixel " + Text(p) + " " + Color(color));
        return 0;
    }
    int32_t DrawLine(const KVQPoint& a, const KVQPoint& b, uint32_t color) override
    {
        calls.push_back("DrawLine " + Text(a) + " " + Text(b) + " " + Color(color));
        return 0;
    }
    int32_t SetLineWidth(int32_t width) override
    {
        calls.push_back("SetLineWidth " + std::to_string(width));
        const int32_t previous = lineWidth_;
        lineWidth_ = width;
        return previous;
    }
    int32_t DrawEllipse(const KVQRect& rect, uint32_t color) override
    {
        calls.push_back("DrawEllipse " + Text(rect) + " " + Color(color));
        return 0;
    }
    int32_t FillEllipse(const KVQRect& rect, uint32_t color) override
    {
        calls.push_back("FillEllipse " + Text(rect) + " " + Color(color));
        return 0;
    }
    int32_t PushColor(uint32_t color) override
    {
        calls.push_back("PushColor " + Color(color));
        ++colorDepth;
        return 0;
    }
    int32_t PopColor(uint32_t* color) override
    {
        calls.push_back("PopColor");
        --colorDepth;
        if (color)
            *color = 0xffffffffu;
        return 0;
    }
    int32_t PushTransform(int32_t x, int32_t y, float scaleX, float scaleY) override
    {
        calls.push_back("PushTransform " + std::to_string(x) + "," + std::to_string(y) + " " + Float(scaleX) + "," +
                        Float(scaleY));
        ++transformDepth;
        return 0;
    }
    int32_t PopTransform() override
    {
        calls.push_back("PopTransform");
        --transformDepth;
        return 0;
    }
    // Recorded once, then the usual colour and transform pops (recorded as well).
    void EndWindow() override
    {
        calls.push_back("EndWindow");
        CKVQDC::EndWindow();
    }

private:
    int32_t lineWidth_ = 1;
};
